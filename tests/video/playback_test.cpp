// Playback end to end with real video files written here with a lossless
// codec: progress messages, grid colours, controller files decoded back,
// the summary and warning boxes, the frame image and the mapping bounds.
#include "video/playback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "common/report.h"
#include "convert/color.h"
#include "convert/controller_decode.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "support/edits.h"
#include "support/reference_color.h"
#include "support/test_support.h"
#include "video/mapping.h"
#include "video/video.h"

namespace {

constexpr int kWidth = 8;
constexpr int kHeight = 6;
constexpr int kFrames = 3;

struct Rgb {
    uint8_t r, g, b;
};

Rgb PixelColor(int frame, int x, int y) {
    return {uint8_t(200 - 10 * frame + x), uint8_t(30 * y + frame), uint8_t(5 * x + 40)};
}

// Frame `f` of the test video as written (and, the codec being lossless,
// as read): BGR.
cv::Mat TestFrame(int f, int width = kWidth, int height = kHeight) {
    cv::Mat frame(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = PixelColor(f, x, y);
            frame.at<cv::Vec3b>(y, x) = cv::Vec3b(c.b, c.g, c.r);
        }
    return frame;
}

void WriteTestVideo(const std::string& path, int frames, int width = kWidth, int height = kHeight) {
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 25.0,
                           cv::Size(width, height), true);
    ASSERT_TRUE(writer.isOpened());
    for (int f = 0; f < frames; ++f) writer.write(TestFrame(f, width, height));
}

struct Progress {
    uint32_t frameNumber;
    uint32_t frameCount;
    size_t boxesBefore;
};
std::vector<Progress> g_progress;

void RecordProgress(uint32_t frameNumber, uint32_t frameCount) {
    g_progress.push_back({frameNumber, frameCount, FakeSys_Boxes().size()});
}

// Command 170: order, brightness r g b, mode selector, black levels r g b.
std::vector<uint8_t> StartPacket(uint8_t order, Rgb brightness, uint8_t selector, Rgb black) {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(CommandCode::StartVideo));
    const uint8_t fields[8] = {order,    brightness.r, brightness.g, brightness.b,
                               selector, black.r,      black.g,      black.b};
    std::memcpy(packet.data() + 2, fields, sizeof fields);
    return packet;
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        ResetVideoState();
        g_progress.clear();
        SetReportHook({nullptr, RecordProgress});
        video_ = dir_.File("clip.avi");
        WriteTestVideo(video_, kFrames);
        SetVideoPath((video_).c_str());
    }
    void TearDown() override { ResetVideoState(); }

    // Steps until the playback ends (bounded).
    void RunToEnd() {
        for (int i = 0; i < 50 && VideoMode() != VideoModeKind::Idle; ++i) StepVideoFrame();
        ASSERT_EQ(VideoMode(), VideoModeKind::Idle);
    }

    std::vector<std::string> PortFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            if (entry.path().filename().string().rfind("PORT-", 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    }

    // Every name in the directory, hidden temporary files included.
    std::vector<std::string> AllFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScopedTempDir dir_;
    std::string video_;
};

TEST_F(PlaybackTest, ConvertWritesFilesThatDecodeToTheProcessedColors) {
    // Port 0: three LEDs inside the picture. Port 2: one lit, one dark.
    // Port 5: one LED outside the picture.
    struct Led {
        int port, x, y;  // picture coordinates for the first two ports
    };
    const Led leds[] = {{0, 0, 0}, {0, 7, 5}, {0, 3, 2}, {2, 1, 1}, {2, 2, 1}};
    for (const Led& led : leds) AddLed(led.port, {uint16_t(led.x), uint16_t(2047 - led.y)});
    SetActiveRange(2, 1, 2, 0);
    AddLed(5, {100, 100});
    CellColorColumn(100)[100] = 0x123456;

    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    const Rgb brightness = {100, 50, 200}, black = {10, 0, 5};
    StartVideo(StartPacket(uint8_t(ColorOrder::GRB), brightness, 1, black).data());
    ASSERT_EQ(VideoMode(), VideoModeKind::Convert);

    StepVideoFrame();
    SetVideoPaused(true);  // a pause holds the position
    StepVideoFrame();
    EXPECT_EQ(g_progress.size(), 1u);
    SetVideoPaused(false);
    RunToEnd();

    // Frames 1..3 of 3 reported (the messages say 33, 66, 100: see the
    // status message tests); the last one after the summary box.
    ASSERT_EQ(g_progress.size(), size_t(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(g_progress[size_t(i)].frameNumber, uint32_t(i + 1));
        EXPECT_EQ(g_progress[size_t(i)].frameCount, uint32_t(kFrames));
    }
    EXPECT_EQ(g_progress[0].boxesBefore, 0u);
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(g_progress.back().boxesBefore, 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "video capture is successful 3 video frames ");
    EXPECT_EQ(FakeSys_Boxes()[0].caption, "Information ");
    EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconInformation);

    // The grid holds the last frame, top row on row 2047.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = PixelColor(kFrames - 1, x, y);
            ASSERT_EQ(CellColor(x, 2047 - y), uint32_t(c.r << 16 | c.g << 8 | c.b))
                << x << "," << y;
        }
    EXPECT_EQ(CellColor(100, 100), 0x123456u);
    EXPECT_EQ(CellColor(kWidth, 2047), 0u);

    // Each file decodes to the processed colours of its LEDs.
    SetColorSettings({int(ColorOrder::GRB), {100, 50, 200}, {10, 0, 5}});
    struct Expect {
        const char* file;
        std::vector<Led> leds;  // port -1: stays black (dark or outside)
    } files[] = {{"PORT-1-show.led", {leds[0], leds[1], leds[2]}},
                 {"PORT-3-show.led", {leds[3], {-1, 0, 0}}},
                 {"PORT-6-show.led", {{-1, 0, 0}}}};
    for (const Expect& e : files) {
        DecodedControllerFile decoded;
        std::string error;
        ASSERT_TRUE(DecodeControllerFile(dir_.File(e.file).c_str(), &decoded, &error)) << e.file;
        ASSERT_EQ(decoded.frameLength, 9u);
        ASSERT_EQ(decoded.frames.size(), size_t(kFrames));
        for (int f = 0; f < kFrames; ++f)
            for (size_t i = 0; i < 3; ++i) {
                uint8_t expected[3] = {0, 0, 0};
                if (i < e.leds.size() && e.leds[i].port >= 0) {
                    const Rgb c = PixelColor(f, e.leds[i].x, e.leds[i].y);
                    uint8_t rgb[3] = {c.r, c.g, c.b};
                    ApplyBlackLevel(rgb);
                    ApplyBrightness(rgb);
                    ReorderColor(rgb, int(ColorOrder::GRB), expected);
                }
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(decoded.frames[size_t(f)][i * 3 + size_t(k)], expected[k])
                        << e.file << " frame " << f << " led " << i;
            }
    }
    EXPECT_EQ(PortFiles().size(), 3u);
}

TEST_F(PlaybackTest, CancelledDialogFallsBackToPreview) {
    AddLed(0, {0, 2047});
    FakeSys_QueueSaveCancel();
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 2, {0, 0, 0}).data());
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Preview mode is used as the file name is not specified!");
    EXPECT_EQ(FakeSys_Boxes()[0].caption, "A warning");
    EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconInformation);
    EXPECT_EQ(VideoMode(), VideoModeKind::Preview);
    RunToEnd();
    ASSERT_EQ(FakeSys_Boxes().size(), 2u);
    EXPECT_EQ(FakeSys_Boxes()[1].text, "Video playback successful execution 3 video frames ");
    EXPECT_EQ(g_progress.size(), size_t(kFrames));
    EXPECT_TRUE(PortFiles().empty());
}

// The installed display: opened at the start, each frame shown (the first
// one twice, as it is read before the capture is rewound), closed at the end.
struct DisplayCalls {
    int opened, closed;
    std::vector<int> shownRows;
};
DisplayCalls g_display;

TEST_F(PlaybackTest, FramesGoToTheInstalledDisplay) {
    g_display = {};
    SetVideoDisplay({[] { ++g_display.opened; },
                     [](const cv::Mat& frame) { g_display.shownRows.push_back(frame.rows); },
                     [] { ++g_display.closed; }});
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
    EXPECT_EQ(g_display.opened, 1);
    RunToEnd();
    SetVideoDisplay({nullptr, nullptr, nullptr});
    EXPECT_EQ(g_display.shownRows, std::vector<int>(kFrames + 1, kHeight));
    EXPECT_EQ(g_display.closed, 1);
}

TEST_F(PlaybackTest, StoppedConversionLeavesNothingForALaterPreview) {
    AddLed(0, {0, 2047});
    WriteWholeFile(dir_.File("PORT-1-show.led"), "earlier");
    FakeSys_QueueSaveAnswer(dir_.File("show.led"));
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 1, {0, 0, 0}).data());
    StepVideoFrame();
    EXPECT_EQ(AllFiles().size(), 3u);  // the video, the earlier file, one being written
    SetVideoModeIdle();                // command 175
    StepVideoFrame();
    EXPECT_EQ(g_progress.size(), 1u);
    EXPECT_EQ(AllFiles(), (std::vector<std::string>{"PORT-1-show.led", "clip.avi"}));
    EXPECT_EQ(ReadWholeFile(dir_.File("PORT-1-show.led")), "earlier");
    std::filesystem::remove(dir_.File("PORT-1-show.led"));

    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
    RunToEnd();
    EXPECT_TRUE(PortFiles().empty());
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Video playback successful execution 3 video frames ");
}

// A target the files cannot be written to: the conversion plays to its end
// and reports the failure instead of the summary, leaving no file.
TEST_F(PlaybackTest, UnwritableTargetEndsWithTheSavingError) {
    AddLed(0, {0, 2047});
    FakeSys_QueueSaveAnswer(dir_.File("gone/show.led"));
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 1, {0, 0, 0}).data());
    ASSERT_EQ(VideoMode(), VideoModeKind::Convert);
    RunToEnd();
    EXPECT_EQ(g_progress.size(), size_t(kFrames));
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Error saving file ");
    EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
    EXPECT_EQ(AllFiles(), std::vector<std::string>{"clip.avi"});
}

TEST_F(PlaybackTest, UnopenableVideoIsSilentAndEndsARunningPlayback) {
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
    StepVideoFrame();
    SetVideoPath((dir_.File("missing.avi")).c_str());
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(VideoMode(), VideoModeKind::Preview);
    StepVideoFrame();  // no frame: the summary of the frames done
    EXPECT_EQ(VideoMode(), VideoModeKind::Idle);
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Video playback successful execution 1 video frames ");
    EXPECT_EQ(g_progress.size(), 1u);
}

// The settings parsed are seen where they act: the first frame of a
// preview reaches the grid resized to them (or as read after a refusal),
// with the interpolation the packet names (2: bicubic).
TEST_F(PlaybackTest, ResizeCommandParsesAndClamps) {
    struct Case {
        const char* width;
        const char* height;
        bool error;
        int expectWidth, expectHeight;
    } cases[] = {{"4000", "10", false, 2048, 10}, {" +16", "8x", false, 16, 8},
                 {"00001", "5", false, 15, 5},  // no end before 9: the digits run on
                 {"16", "0", true, 0, 0},         {"16", "abc", true, 0, 0},
                 {"-3", "5", true, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.width << "\" \"" << c.height << '"');
        FakeSys_Reset();
        ResetLayoutModel();  // an unpainted grid
        std::vector<uint8_t> packet(kPacketSize, 0);
        WriteBE16(packet.data(), uint16_t(CommandCode::SetVideoResize));
        std::memcpy(packet.data() + 4, c.width, std::strlen(c.width));
        std::memcpy(packet.data() + 9, c.height, std::strlen(c.height));
        packet[14] = 1;
        packet[15] = 2;
        SetVideoResize(packet.data());
        if (c.error) {
            ASSERT_EQ(FakeSys_Boxes().size(), 1u);
            EXPECT_EQ(FakeSys_Boxes()[0].text, "Video resizing error");
            EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
        } else {
            EXPECT_TRUE(FakeSys_Boxes().empty());
        }

        StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
        StepVideoFrame();
        cv::Mat expected = TestFrame(0);
        if (!c.error)
            cv::resize(TestFrame(0), expected, cv::Size(c.expectWidth, c.expectHeight), 0, 0,
                       cv::INTER_CUBIC);
        for (int y = 0; y < expected.rows; ++y)
            for (int x = 0; x < expected.cols; ++x) {
                const cv::Vec3b bgr = expected.at<cv::Vec3b>(y, x);
                ASSERT_EQ(CellColor(x, 2047 - y), uint32_t(bgr[2] << 16 | bgr[1] << 8 | bgr[0]))
                    << x << "," << y;
            }
        if (expected.cols < kGridSide) {
            EXPECT_EQ(CellColor(expected.cols, 2047), 0u);
        }
        EXPECT_EQ(CellColor(0, 2047 - expected.rows), 0u);
        SetVideoModeIdle();
    }
}

TEST_F(PlaybackTest, FrameImageIsTheFrameAsReadNotTheResizedOne) {
    SaveHeldFrameImage();  // no frame held: no dialog
    EXPECT_TRUE(FakeSys_SaveDialogs().empty());

    std::vector<uint8_t> resize(kPacketSize, 0);
    std::memcpy(resize.data() + 4, "4", 1);
    std::memcpy(resize.data() + 9, "2", 1);
    resize[14] = 1;
    SetVideoResize(resize.data());
    StartVideo(StartPacket(uint8_t(ColorOrder::RGB), {100, 100, 100}, 0, {0, 0, 0}).data());
    StepVideoFrame();
    // Only the 4 x 2 resized picture reached the grid.
    EXPECT_EQ(CellColor(kWidth - 1, 2047), 0u);

    FakeSys_QueueSaveCancel();
    SaveHeldFrameImage();
    FakeSys_QueueSaveAnswer(dir_.File("frame.bmp"));
    SaveHeldFrameImage();
    ASSERT_EQ(FakeSys_SaveDialogs().size(), 2u);
    EXPECT_EQ(FakeSys_SaveDialogs()[1].filterName, "Image Files");
    EXPECT_EQ(FakeSys_SaveDialogs()[1].filterPattern, "*.bmp");
    EXPECT_EQ(FakeSys_SaveDialogs()[1].defaultExtension, "bmp");
    const cv::Mat saved = cv::imread(dir_.File("frame.bmp"));
    ASSERT_EQ(saved.cols, kWidth);
    ASSERT_EQ(saved.rows, kHeight);
    const Rgb c = PixelColor(0, 7, 5);
    EXPECT_EQ(saved.at<cv::Vec3b>(5, 7), cv::Vec3b(c.b, c.g, c.r));
}

TEST(Mapping, FramesLargerThanTheGridAreClipped) {
    ResetRunState();
    cv::Mat frame(2100, 2100, CV_8UC3, cv::Scalar(3, 2, 1));
    frame.at<cv::Vec3b>(2047, 2047) = cv::Vec3b(30, 20, 10);
    MapFrameOntoGrid(frame);
    EXPECT_EQ(CellColor(0, 2047), 0x010203u);
    EXPECT_EQ(CellColor(2047, 0), 0x0A141Eu);
    cv::Mat gray(4, 4, CV_8UC1, cv::Scalar(7));
    MapFrameOntoGrid(gray);
    EXPECT_EQ(CellColor(3, 2044), 0x070707u);
    ResetLayoutModel();
}

}  // namespace
