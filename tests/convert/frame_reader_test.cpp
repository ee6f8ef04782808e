// The decode-ahead reader: the same frames in the same order as reading the
// capture directly, the reported count, a close at any point while the
// decoding thread runs ahead, an unopenable file, and a looping reader
// that starts the video again after its last frame.
#include "convert/frame_reader.h"

#include <gtest/gtest.h>

#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

constexpr int kFrames = 3 * kFrameReaderQueueDepth + 1;

std::string WriteVideo(const ScopedTempDir& dir) {
    const std::string path = dir.File("reader.avi");
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 25.0,
                           cv::Size(16, 12), true);
    EXPECT_TRUE(writer.isOpened());
    cv::RNG rng(7);
    for (int f = 0; f < kFrames; ++f) {
        cv::Mat frame(12, 16, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        writer.write(frame);
    }
    return path;
}

TEST(FrameReader, GivesTheCapturesFramesInOrder) {
    ScopedTempDir dir;
    const std::string path = WriteVideo(dir);
    std::string error;
    FrameReader* reader = OpenFrameReader(path.c_str(), &error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(FrameReaderInfoOf(reader).frameCount, kFrames);
    EXPECT_EQ(FrameReaderInfoOf(reader).width, 16);
    EXPECT_EQ(FrameReaderInfoOf(reader).height, 12);
    cv::VideoCapture capture(path);
    cv::Mat expected, frame;
    int frames = 0;
    while (capture.read(expected)) {
        ASSERT_TRUE(NextFrame(reader, &frame)) << frames;
        ASSERT_EQ(cv::norm(expected, frame, cv::NORM_INF), 0.0) << frames;
        ++frames;
    }
    EXPECT_EQ(frames, kFrames);
    EXPECT_FALSE(NextFrame(reader, &frame));
    EXPECT_TRUE(frame.empty());
    EXPECT_FALSE(NextFrame(reader, &frame));  // stays at the end
    CloseFrameReader(reader);
}

TEST(FrameReader, LoopsPassAfterPassMarkingEachStart) {
    ScopedTempDir dir;
    const std::string path = WriteVideo(dir);
    std::vector<cv::Mat> expected;
    cv::VideoCapture capture(path);
    for (cv::Mat f; capture.read(f);) expected.push_back(f.clone());
    ASSERT_EQ(int(expected.size()), kFrames);
    std::string error;
    FrameReader* reader = OpenFrameReader(path.c_str(), &error, ReaderPriority::Inherited, true);
    ASSERT_NE(reader, nullptr) << error;
    cv::Mat frame;
    for (int i = 0; i < 3 * kFrames; ++i) {
        bool passStart = true;
        ASSERT_TRUE(NextFrame(reader, &frame, &passStart)) << i;
        EXPECT_EQ(passStart, i > 0 && i % kFrames == 0) << i;
        ASSERT_EQ(cv::norm(expected[size_t(i % kFrames)], frame, cv::NORM_INF), 0.0) << i;
    }
    CloseFrameReader(reader);  // while the fourth pass decodes ahead
}

TEST(FrameReader, ClosesWhileDecodingAheadAndRefusesWhatItCannotOpen) {
    ScopedTempDir dir;
    const std::string path = WriteVideo(dir);
    for (int taken = 0; taken < 3; ++taken) {
        FrameReader* reader = OpenFrameReader(path.c_str(), nullptr);
        ASSERT_NE(reader, nullptr);
        cv::Mat frame;
        for (int k = 0; k < taken; ++k) ASSERT_TRUE(NextFrame(reader, &frame));
        CloseFrameReader(reader);  // returns with the thread gone
    }
    CloseFrameReader(nullptr);
    std::string error;
    EXPECT_EQ(OpenFrameReader(dir.File("missing.avi").c_str(), &error), nullptr);
    EXPECT_EQ(error, "cannot open the video");
}

}  // namespace
