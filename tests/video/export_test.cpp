// Controller export: strides, header, file names, the scrambling stream and
// the refusals of PrepareExport.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "convert/color.h"
#include "convert/controller_decode.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "support/edits.h"
#include "support/store_led_value.h"
#include "support/test_support.h"
#include "support/whole_video_export.h"
#include "video/video.h"

namespace {

// `count` LEDs of `port` in a row, from (x0, y) to the right.
void AddRow(int port, int count, int x0, int y) {
    for (int i = 0; i < count; ++i) AddLed(port, {uint16_t(x0 + i), uint16_t(y)});
    ASSERT_EQ(ChainLength(port), count);
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        ResetVideoState();
    }
    void TearDown() override { ResetVideoState(); }
    ScopedTempDir dir_;
};

TEST(FrameStride, RoundsUpToBlocksOf512) {
    const uint32_t cases[][2] = {{0, 512},     {3, 512},     {510, 512},   {513, 1024},
                                 {1024, 1024}, {6144, 6144}, {6145, 6656}, {60000, 6656}};
    for (const auto& c : cases) EXPECT_EQ(FrameStrideFor(c[0]), c[1]) << c[0];
}

TEST_F(ExportTest, ChainLengthsGiveFrameLengthAndStride) {
    const int cases[][3] = {{170, 510, 512}, {171, 513, 1024}, {2048, 6144, 6144}};
    for (const auto& c : cases) {
        ResetLayoutModel();
        AddRow(3, c[0], 0, 10);
        FakeSys_QueueSaveAnswer(dir_.File("show.led"));
        ASSERT_TRUE(PrepareExport(2));
        EXPECT_EQ(CurrentExport().frameLength, uint32_t(c[1]));
        EXPECT_EQ(CurrentExport().frameStride, uint32_t(c[2]));
        EXPECT_EQ(CurrentExport().fileSize, 2 * c[2] + 512);
    }
}

TEST_F(ExportTest, ThreeFrameFilesShareHeaderAndKeys) {
    AddRow(0, 100, 0, 0);
    AddRow(9, 4, 0, 1);
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    ASSERT_TRUE(PrepareExport(3));
    ASSERT_EQ(FakeSys_SaveDialogs().size(), 1u);
    const FakeSaveDialog& dialog = FakeSys_SaveDialogs()[0];
    EXPECT_EQ(dialog.filterName, "Bin Files");
    EXPECT_EQ(dialog.filterPattern, "*.led");
    EXPECT_EQ(dialog.defaultExtension, "led");
    EXPECT_TRUE(dialog.mustExist);
    EXPECT_TRUE(CurrentExport().prepared[0] && CurrentExport().prepared[9]);
    EXPECT_FALSE(CurrentExport().prepared[1]);

    ASSERT_TRUE(WriteControllerFiles());
    const std::string first = ReadWholeFile(dir_.File("PORT-1-show.led"));
    const std::string tenth = ReadWholeFile(dir_.File("PORT-10-show.led"));
    EXPECT_EQ(ReadWholeFile(dir_.File("PORT-2-show.led")), "");
    ASSERT_EQ(first.size(), 2048u);
    ASSERT_EQ(tenth.size(), 2048u);
    EXPECT_EQ(uint8_t(first[0]), 0x2C);
    EXPECT_EQ(uint8_t(first[1]), 0x01);
    EXPECT_NE(first[254], 0);
    EXPECT_NE(first[255], 0);
    EXPECT_EQ(first.substr(0, 512), tenth.substr(0, 512));
    for (int i = 2; i < 512; ++i) {
        if (i == 254 || i == 255) continue;
        ASSERT_EQ(first[size_t(i)], 0) << i;
    }
}

TEST_F(ExportTest, ShortPortCarriesTheStreamThenPadding) {
    AddRow(0, 100, 0, 0);
    AddRow(1, 10, 0, 1);
    SetActiveRange(1, 4, 5, 0);  // one dark LED
    SetColorSettings({int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}});
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    ASSERT_TRUE(PrepareExport(2));
    const uint8_t rgb[3] = {40, 50, 60};
    for (int i = 0; i < 10; ++i) StoreLedValue(1, 1, i, rgb);
    ScrambleFrame(1);

    const ExportState& state = CurrentExport();
    std::vector<uint8_t> stream(300, 0);
    ScrambleBytes(stream.data(), stream.size(), state.keyA, state.keyB);
    const uint8_t* frame = state.buffer[1] + 512 + 512;
    for (int k = 0; k < 30; ++k) {
        const int position = k / 3;
        const uint8_t plain = position == 4 ? 0 : rgb[k % 3];
        ASSERT_EQ(uint8_t(frame[k] ^ stream[size_t(k)]), plain) << k;
    }
    for (int k = 30; k < 300; ++k) ASSERT_EQ(frame[k], stream[size_t(k)]) << k;
    for (int k = 300; k < 512; ++k) ASSERT_EQ(frame[k], 0) << k;
    // Frame 0 was never reached: all zero, unscrambled.
    for (int k = 0; k < 512; ++k) ASSERT_EQ(state.buffer[1][512 + k], 0) << k;

    ScrambleFrame(1);
    for (int k = 0; k < 30; ++k) ASSERT_EQ(frame[k], k / 3 == 4 ? 0 : rgb[k % 3]) << k;
}

TEST_F(ExportTest, DecoderReadsTheFileBack) {
    AddRow(0, 2, 0, 0);
    SetColorSettings({int(ColorOrder::GRB), {100, 100, 100}, {0, 0, 0}});
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    ASSERT_TRUE(PrepareExport(2));
    const uint8_t a[3] = {1, 2, 3}, b[3] = {200, 100, 50};
    StoreLedValue(0, 0, 0, a);
    StoreLedValue(0, 0, 1, b);
    ScrambleFrame(0);
    ScrambleFrame(1);
    ASSERT_TRUE(WriteControllerFiles());

    DecodedControllerFile decoded;
    std::string error;
    ASSERT_TRUE(DecodeControllerFile(dir_.File("PORT-1-show.led").c_str(), &decoded, &error));
    ASSERT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(decoded.frames[0], (std::vector<uint8_t>{2, 1, 3, 100, 200, 50}));
    EXPECT_EQ(decoded.frames[1], (std::vector<uint8_t>(6, 0)));

    // The command-line tool prints the same values.
    const std::string out = dir_.File("decoded.txt");
    const std::string command =
        BuildDirectory() + "/quorvane_decode_led " + dir_.File("PORT-1-show.led") + " > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = ReadWholeFile(out);
    EXPECT_NE(text.find("leds 2 frames 2 "), std::string::npos) << text;
    EXPECT_NE(text.find("\n020103 64c832\n000000 000000\n"), std::string::npos) << text;
}

TEST_F(ExportTest, RefusalsLeaveTheEarlierExportAlone) {
    AddRow(0, 5, 0, 0);
    FakeSys_QueueSaveAnswer(dir_.File("first.led"));
    ASSERT_TRUE(PrepareExport(2));
    const uint8_t* buffer = CurrentExport().buffer[0];

    struct Case {
        int32_t frames;
        bool cancel;
        const char* box;
    } cases[] = {{3, true, nullptr},
                 {200001, false, "File size is very large."},
                 {0, false, "The video reports no frames, so it cannot be converted."},
                 {-5, false, "The video reports no frames, so it cannot be converted."}};
    for (const Case& c : cases) {
        FakeSys_Reset();
        if (c.cancel)
            FakeSys_QueueSaveCancel();
        else
            FakeSys_QueueSaveAnswer(dir_.File("second.led"));
        EXPECT_FALSE(PrepareExport(c.frames)) << c.frames;
        EXPECT_EQ(FakeSys_SaveDialogs().size(), 1u);  // the check follows the dialog
        if (c.box == nullptr) {
            EXPECT_TRUE(FakeSys_Boxes().empty());
        } else {
            ASSERT_EQ(FakeSys_Boxes().size(), 1u);
            EXPECT_EQ(FakeSys_Boxes()[0].text, c.box);
            EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
            EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconError);
        }
        EXPECT_EQ(CurrentExport().buffer[0], buffer);
        EXPECT_EQ(CurrentExport().frameCount, 2);
    }
    FakeSys_QueueSaveAnswer(dir_.File("limit.led"));
    EXPECT_TRUE(PrepareExport(200000));
}

void* FailingAllocation(size_t) {
    return nullptr;
}

TEST_F(ExportTest, AllocationFailureIsRefusedWithAMessage) {
    AddRow(0, 5, 0, 0);
    AddRow(1, 5, 0, 1);
    SetExportAllocatorForTests(FailingAllocation);
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    EXPECT_FALSE(PrepareExport(10));
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Not enough memory for the controller files of this video.");
    for (int port = 0; port < kPortCount; ++port) EXPECT_FALSE(CurrentExport().prepared[port]);
    EXPECT_TRUE(WriteControllerFiles());  // nothing to write
}

TEST_F(ExportTest, StoresOutsideThePreparedLayoutAreIgnored) {
    AddRow(0, 2, 0, 0);
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    ASSERT_TRUE(PrepareExport(1));
    const std::vector<uint8_t> before(CurrentExport().buffer[0],
                                      CurrentExport().buffer[0] + CurrentExport().fileSize);
    // Edits made during the conversion: a new port and a longer chain.
    AddRow(1, 3, 0, 1);
    AddLed(0, {5, 5});
    const uint8_t rgb[3] = {9, 9, 9};
    // The pixel walk's store and the one-by-one reference refuse alike.
    LedStoreFrame store;
    ASSERT_TRUE(BeginLedStoreFrame(0, &store));
    StoreLed(store, 1, 0, 9, 9, 9);  // port without a buffer
    StoreLed(store, 0, 2, 9, 9, 9);  // position past the frame length
    StoreLed(store, 256, 0, 9, 9, 9);
    EXPECT_FALSE(BeginLedStoreFrame(1, &store));  // frame past the count
    EXPECT_FALSE(BeginLedStoreFrame(-1, &store));
    StoreLedValue(1, 0, 0, rgb);
    StoreLedValue(0, 0, 2, rgb);
    StoreLedValue(0, 1, 0, rgb);
    StoreLedValue(0, -1, 0, rgb);
    ScrambleFrame(1);
    ScrambleFrame(-1);
    const std::vector<uint8_t> after(CurrentExport().buffer[0],
                                     CurrentExport().buffer[0] + CurrentExport().fileSize);
    EXPECT_EQ(before, after);
}

TEST_F(ExportTest, UnwritableTargetFails) {
    AddRow(0, 2, 0, 0);
    FakeSys_QueueSaveAnswer(dir_.File("missing/show.led"));
    ASSERT_TRUE(PrepareExport(1));
    EXPECT_FALSE(WriteControllerFiles());
}

}  // namespace
