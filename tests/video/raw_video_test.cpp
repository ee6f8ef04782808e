// Raw frames to video: size checks, file messages, the red/blue swap,
// writer failures, and real AVI files read back byte for byte by a small
// AVI reader of this test (independent of the writer's libraries) and by
// OpenCV.
#include "video/raw_video.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
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
    std::vector<std::string> frames;
    double framesPerSecond = 0;
    int width = 0, height = 0;
    int opens = 0;
    std::vector<bool> closes;  // the `keep` of every close
    bool failOpen = false;
    int failWriteAt = -1;  // 0-based frame whose write fails
    bool failClose = false;
    std::string shrinkAfterFirst;  // raw file cut short after the first frame
    bool outputIsRaw = false;      // the output name is the raw file's
} g_rec;

bool RecordOpen(const char*, int width, int height, double fps) {
    ++g_rec.opens;
    g_rec.width = width;
    g_rec.height = height;
    g_rec.framesPerSecond = fps;
    return !g_rec.failOpen;
}
bool RecordWrite(const uint8_t* bgr) {
    if (int(g_rec.frames.size()) == g_rec.failWriteAt) return false;
    g_rec.frames.emplace_back(reinterpret_cast<const char*>(bgr),
                              size_t(g_rec.width) * g_rec.height * 3);
    if (!g_rec.shrinkAfterFirst.empty()) ::truncate(g_rec.shrinkAfterFirst.c_str(), 1);
    return true;
}
bool RecordClose(bool keep) {
    g_rec.closes.push_back(keep);
    return keep && !g_rec.failClose;
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

std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const FakeBox& box : FakeSys_Boxes()) texts.push_back(box.text);
    return texts;
}

const char kSaved[] = "Video file was successfully saved!";

class RawVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        ResetVideoState();
        g_rec = Recorder();
    }
    void TearDown() override { ResetVideoState(); }
    void UseRecorder() { CurrentRawVideoWriter() = {RecordOpen, RecordWrite, RecordClose}; }
    ScopedTempDir dir_;
};

TEST_F(RawVideoTest, SizeAndFileMessages) {
    const std::string raw = dir_.File("frames.raw");
    WriteWholeFile(raw, std::string(12, '\x01'));
    WriteWholeFile(dir_.File("empty.raw"), "");
    ASSERT_EQ(::mkfifo(dir_.File("fifo.raw").c_str(), 0644), 0);
    const char* sizeX = "Error! Enter integer Size_X in the range: 1...2048 ";
    const char* sizeY = "Error! Enter integer Size_Y in the range: 1...2048 ";
    const char* cannotOpen = " The file can not be opened ";
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
                 {"2", "2", dir_.File("missing.raw"), cannotOpen},
                 {"2", "2", dir_.path(), cannotOpen},  // once read as LONG_MAX bytes
                 {"2", "2", dir_.File("fifo.raw"), cannotOpen},
                 {"2", "2", dir_.File("empty.raw"), "File is empty"}};
    UseRecorder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FakeSys_Reset();
        SetRawPath(c.path);
        Convert(c.x, c.y, dir_.File("out.avi"));
        ASSERT_EQ(FakeSys_Boxes().size(), 1u) << c.x << " " << c.y;
        EXPECT_EQ(FakeSys_Boxes()[0].text, c.message);
        EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
        EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconError);
    }
    EXPECT_EQ(g_rec.opens, 0);
}

TEST_F(RawVideoTest, PixelsReachTheWriterBlueFirst) {
    UseRecorder();
    WriteWholeFile(dir_.File("one.raw"), std::string("\x0A\x14\x1E", 3));
    SetRawPath(dir_.File("one.raw"));
    Convert("1xyz", "1", dir_.File("out.avi"));
    ASSERT_EQ(g_rec.frames.size(), 1u);
    EXPECT_EQ(g_rec.frames[0], std::string("\x1E\x14\x0A", 3));
    EXPECT_EQ(g_rec.framesPerSecond, 25.0);
    EXPECT_EQ(g_rec.width, 1);
    EXPECT_EQ(g_rec.height, 1);
    EXPECT_EQ(g_rec.closes, std::vector<bool>{true});
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, kSaved);
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
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{message, kSaved}));
    }
}

TEST_F(RawVideoTest, AFailureIsNeverReportedAsSaved) {
    UseRecorder();
    const std::string raw = dir_.File("three.raw");
    struct Case {
        const char* name;
        void (*arrange)(const std::string& raw);
        const char* message;
        std::vector<bool> closes;
    } cases[] = {
        {"open", [](const std::string&) { g_rec.failOpen = true; }, "Error saving file ", {false}},
        {"second write",
         [](const std::string&) { g_rec.failWriteAt = 1; },
         "Error saving file ",
         {false}},
        {"finishing",
         [](const std::string&) { g_rec.failClose = true; },
         "Error saving file ",
         {true}},
        {"raw file cut short",
         [](const std::string& path) { g_rec.shrinkAfterFirst = path; },
         "Error reading",
         {false}},
        {"output over the raw file",
         [](const std::string&) { g_rec.outputIsRaw = true; },
         "Error saving file ",
         {false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys_Reset();
        g_rec = Recorder();
        // Three 64 x 64 frames: more than the reader buffers at once.
        WriteWholeFile(raw, std::string(3 * 64 * 64 * 3, '\x05'));
        c.arrange(raw);
        SetRawPath(raw);
        Convert("64", "64", g_rec.outputIsRaw ? raw : dir_.File("out.avi"));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.message});
        if (g_rec.outputIsRaw) {
            EXPECT_EQ(g_rec.opens, 0);
            EXPECT_EQ(ReadWholeFile(raw).size(), size_t(3 * 64 * 64 * 3));
        }
        EXPECT_EQ(g_rec.closes, c.closes);
    }
}

TEST_F(RawVideoTest, RealWriterRefusesOutputsThatAreNotFiles) {
    WriteWholeFile(dir_.File("one.raw"), "abc");
    ASSERT_EQ(::mkfifo(dir_.File("fifo.avi").c_str(), 0644), 0);  // no reader: would block
    std::filesystem::create_directory(dir_.File("folder.avi"));
    for (const std::string& output :
         {dir_.File("fifo.avi"), dir_.File("folder.avi"), std::string("tcp://127.0.0.1:2023"),
          dir_.File("missing/out.avi")}) {
        SCOPED_TRACE(output);
        FakeSys_Reset();
        SetRawPath(dir_.File("one.raw"));
        Convert("1", "1", output);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error saving file "});
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir_.File("fifo.avi")));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.File("folder.avi")));
}

// The parts of an AVI file this test looks at, read by walking its RIFF
// chunks.
struct AviFile {
    uint32_t totalFrames = 0;
    std::string streamType;
    uint32_t scale = 0, rate = 0;
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0xFFFFFFFF;
    std::vector<std::string> frames;
};

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

bool WalkChunks(const std::string& b, size_t at, size_t end, AviFile& avi) {
    while (at + 8 <= end) {
        const std::string id = b.substr(at, 4);
        const size_t size = Le32(b, at + 4);
        const size_t body = at + 8;
        if (body + size > end) return false;
        if (id == "LIST") {
            if (size < 4 || !WalkChunks(b, body + 4, body + size, avi)) return false;
        } else if (id == "avih" && size >= 20) {
            avi.totalFrames = Le32(b, body + 16);
        } else if (id == "strh" && size >= 28) {
            avi.streamType = b.substr(body, 4);
            avi.scale = Le32(b, body + 20);
            avi.rate = Le32(b, body + 24);
        } else if (id == "strf" && size >= 20) {
            avi.width = int32_t(Le32(b, body + 4));
            avi.height = int32_t(Le32(b, body + 8));
            avi.bitCount = uint16_t(Le32(b, body + 14) & 0xFFFF);
            avi.compression = Le32(b, body + 16);
        } else if (id == "00db" || id == "00dc") {
            avi.frames.push_back(b.substr(body, size));
        }
        at = body + size + (size & 1);
    }
    return true;
}

bool ReadAvi(const std::string& bytes, AviFile& avi) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0)
        return false;
    return WalkChunks(bytes, 12, std::min<size_t>(bytes.size(), 8 + Le32(bytes, 4)), avi);
}

TEST_F(RawVideoTest, RealWriterKeepsEverySizeAndPixel) {
    struct Size {
        int x, y;
    } sizes[] = {{1, 1}, {3, 1}, {3, 3}, {2048, 1}, {1, 2048}, {2048, 2048}};
    for (const Size& size : sizes) {
        const std::string label = std::to_string(size.x) + " x " + std::to_string(size.y);
        SCOPED_TRACE(label);
        // Two frames and a part of a third; a pattern that differs in every
        // byte of a row and between rows and frames.
        const size_t frameLength = size_t(size.x) * size.y * 3;
        const int frames = size.x * size.y > 4096 ? 1 : 2;
        std::string raw(frameLength * frames + 2, '\0');
        for (size_t i = 0; i < raw.size(); ++i) raw[i] = char((i * 37 + i / 251 + 11) & 0xFF);
        WriteWholeFile(dir_.File("frames.raw"), raw);
        FakeSys_Reset();
        SetRawPath(dir_.File("frames.raw"));
        Convert(std::to_string(size.x).c_str(), std::to_string(size.y).c_str(),
                dir_.File("out.avi"));
        ASSERT_EQ(BoxTexts().back(), kSaved);

        // On disk: a bottom-up 24-bit BI_RGB bitmap per frame, rows padded to
        // 4 bytes, at 25 frames per second.
        AviFile avi;
        ASSERT_TRUE(ReadAvi(ReadWholeFile(dir_.File("out.avi")), avi));
        EXPECT_EQ(avi.streamType, "vids");
        EXPECT_EQ(avi.width, size.x);
        EXPECT_EQ(avi.height, size.y);
        EXPECT_EQ(avi.bitCount, 24);
        EXPECT_EQ(avi.compression, 0u);
        EXPECT_EQ(double(avi.rate) / avi.scale, 25.0);
        EXPECT_EQ(avi.totalFrames, uint32_t(frames));
        ASSERT_EQ(avi.frames.size(), size_t(frames));
        const size_t stride = (size_t(size.x) * 3 + 3) / 4 * 4;
        for (int f = 0; f < frames; ++f) {
            const std::string& stored = avi.frames[size_t(f)];
            ASSERT_EQ(stored.size(), stride * size_t(size.y));
            std::string expected(stored.size(), '\0');
            for (int y = 0; y < size.y; ++y)
                for (int x = 0; x < size.x; ++x) {
                    const size_t from = size_t(f) * frameLength + (size_t(y) * size.x + x) * 3;
                    const size_t to = size_t(size.y - 1 - y) * stride + size_t(x) * 3;
                    expected[to] = raw[from + 2];
                    expected[to + 1] = raw[from + 1];
                    expected[to + 2] = raw[from];
                }
            ASSERT_TRUE(stored == expected) << "frame " << f;
        }

        // A standard reader shows the top row first, as the raw file has it.
        cv::VideoCapture capture(dir_.File("out.avi"), cv::CAP_FFMPEG);
        ASSERT_TRUE(capture.isOpened());
        cv::Mat picture;
        for (int f = 0; f < frames; ++f) {
            ASSERT_TRUE(capture.read(picture));
            ASSERT_EQ(picture.size(), cv::Size(size.x, size.y));
            ASSERT_TRUE(picture.isContinuous());
            std::string bgr(reinterpret_cast<const char*>(picture.data), frameLength);
            for (size_t i = 0; i < frameLength; i += 3) std::swap(bgr[i], bgr[i + 2]);
            ASSERT_TRUE(bgr == raw.substr(size_t(f) * frameLength, frameLength)) << "frame " << f;
        }
        EXPECT_FALSE(capture.read(picture));
    }
}

}  // namespace
