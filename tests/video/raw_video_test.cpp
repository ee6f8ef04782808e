// Raw frames to video: size checks, file messages, the red/blue swap, the
// codec fallback and a real round trip through the writer.
#include "video/raw_video.h"

#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "support/test_support.h"
#include "video/video.h"

namespace {

struct Recorder {
    std::vector<std::string> codesTried;
    std::vector<cv::Mat> frames;
    double framesPerSecond = 0;
    cv::Size size;
    bool released = false;
} g_rec;

// Stands in for a writer that takes "DIB ", as the Windows one does.
bool RecordOpen(const char*, const char* code, double fps, cv::Size size) {
    g_rec.codesTried.push_back(code);
    g_rec.framesPerSecond = fps;
    g_rec.size = size;
    return std::string(code) == "DIB ";
}
void RecordWrite(const cv::Mat& frame) {
    g_rec.frames.push_back(frame.clone());
}
void RecordRelease() {
    g_rec.released = true;
}

void SetRawPath(const std::string& path) {
    SetRawFramePath(path.c_str());
}

// Command 209 with the two 4-character size texts and the output name.
void Convert(const char* sizeX, const char* sizeY, const std::string& output) {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(CommandCode::ConvertRawFrames));
    std::memcpy(packet.data() + 4, sizeX, std::min<size_t>(4, std::strlen(sizeX)));
    std::memcpy(packet.data() + 8, sizeY, std::min<size_t>(4, std::strlen(sizeY)));
    std::memcpy(packet.data() + 12, output.c_str(), output.size());
    ConvertRawFrames(packet.data());
}

class RawVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        ResetVideoState();
        g_rec = Recorder();
    }
    void TearDown() override { ResetVideoState(); }
    void UseRecorder() { CurrentRawVideoWriter() = {RecordOpen, RecordWrite, RecordRelease}; }
    ScopedTempDir dir_;
};

TEST_F(RawVideoTest, SizeAndFileMessages) {
    const std::string raw = dir_.File("frames.raw");
    WriteWholeFile(raw, std::string(12, '\x01'));
    WriteWholeFile(dir_.File("empty.raw"), "");
    const char* sizeX = "Error! Enter integer Size_X in the range: 1...2048 ";
    const char* sizeY = "Error! Enter integer Size_Y in the range: 1...2048 ";
    struct Case {
        const char* x;
        const char* y;
        std::string path;
        const char* message;
    } cases[] = {{"0", "2", raw, sizeX},
                 {"2049", "2", raw, sizeX},
                 {"-1", "2", raw, sizeX},  // 65535
                 {"abc", "0", raw, sizeX},
                 {"2", "0", raw, sizeY},
                 {"2", "2049", raw, sizeY},
                 {"2", "2", dir_.File("missing.raw"), " The file can not be opened "},
                 {"2", "2", dir_.File("empty.raw"), "File is empty"}};
    UseRecorder();
    for (const Case& c : cases) {
        FakeSys_Reset();
        SetRawPath(c.path);
        Convert(c.x, c.y, dir_.File("out.avi"));
        ASSERT_EQ(FakeSys_Boxes().size(), 1u) << c.x << " " << c.y;
        EXPECT_EQ(FakeSys_Boxes()[0].text, c.message);
        EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
        EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconError);
    }
    EXPECT_TRUE(g_rec.codesTried.empty());
}

TEST_F(RawVideoTest, PixelsReachTheWriterBlueFirst) {
    UseRecorder();
    WriteWholeFile(dir_.File("one.raw"), std::string("\x0A\x14\x1E", 3));
    SetRawPath(dir_.File("one.raw"));
    Convert("1xyz", "1", dir_.File("out.avi"));
    ASSERT_EQ(g_rec.frames.size(), 1u);
    EXPECT_EQ(g_rec.frames[0].at<cv::Vec3b>(0, 0), cv::Vec3b(30, 20, 10));
    EXPECT_EQ(g_rec.codesTried, (std::vector<std::string>{"DIB "}));
    EXPECT_EQ(g_rec.framesPerSecond, 25.0);
    EXPECT_EQ(g_rec.size, cv::Size(1, 1));
    EXPECT_TRUE(g_rec.released);
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, "Video file was successfully saved!");
    EXPECT_EQ(FakeSys_Boxes()[0].caption, "");
    EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal);
}

TEST_F(RawVideoTest, PartialFrameWarnsAndIsLeftOut) {
    UseRecorder();
    const std::string message = "File format is not valid or an error Sixe_X or Sixe_Y!";
    struct Case {
        size_t bytes;
        size_t frames;
    } cases[] = {{30, 2}, {5, 0}};  // 2 x 2 frames of 12 bytes
    for (const Case& c : cases) {
        FakeSys_Reset();
        g_rec.frames.clear();
        WriteWholeFile(dir_.File("part.raw"), std::string(c.bytes, '\x07'));
        SetRawPath(dir_.File("part.raw"));
        Convert("2", "2", dir_.File("out.avi"));
        EXPECT_EQ(g_rec.frames.size(), c.frames);
        ASSERT_EQ(FakeSys_Boxes().size(), 2u);
        EXPECT_EQ(FakeSys_Boxes()[0].text, message);
        EXPECT_EQ(FakeSys_Boxes()[1].text, "Video file was successfully saved!");
    }
}

TEST_F(RawVideoTest, RealWriterRoundTripsThePixelsExactly) {
    // Two 4 x 2 frames and half a frame more.
    std::string raw;
    for (int i = 0; i < 4 * 2 * 3 * 2 + 12; ++i) raw += char((i * 37 + 11) & 0xFF);
    WriteWholeFile(dir_.File("frames.raw"), raw);
    SetRawPath(dir_.File("frames.raw"));
    Convert("4", "2", dir_.File("out.avi"));
    ASSERT_EQ(FakeSys_Boxes().size(), 2u);
    EXPECT_EQ(FakeSys_Boxes()[1].text, "Video file was successfully saved!");
    EXPECT_NE(std::string(LastRawVideoCodec()), "");

    cv::VideoCapture capture(dir_.File("out.avi"));
    ASSERT_TRUE(capture.isOpened());
    cv::Mat frame;
    int count = 0;
    while (capture.read(frame)) {
        ASSERT_EQ(frame.size(), cv::Size(4, 2));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                const size_t at = size_t(count) * 24 + size_t(y * 4 + x) * 3;
                const cv::Vec3b expected(uint8_t(raw[at + 2]), uint8_t(raw[at + 1]),
                                         uint8_t(raw[at]));
                ASSERT_EQ(frame.at<cv::Vec3b>(y, x), expected) << count << " " << x << "," << y;
            }
        ++count;
    }
    EXPECT_EQ(count, 2);
}

}  // namespace
