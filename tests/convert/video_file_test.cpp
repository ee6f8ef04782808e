// Opening a video: names the video library would take for a URL or a
// numbered image sequence open the local file they name, and what is not a
// regular file is refused without waiting.
#include "convert/video_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <opencv2/videoio.hpp>
#include <string>

#include "support/test_support.h"

namespace {

// In the working directory.
void WriteClip(const std::string& name, int frames) {
    // Written under a plain name, then moved to the name under test.
    const std::string plain = "plain.avi";
    cv::VideoWriter writer(plain, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 25.0, cv::Size(8, 6),
                           true);
    ASSERT_TRUE(writer.isOpened());
    for (int f = 0; f < frames; ++f)
        writer.write(cv::Mat(6, 8, CV_8UC3, cv::Scalar(f, 2 * f, 3 * f)));
    writer.release();
    std::filesystem::rename(plain, name);
}

TEST(VideoFile, OpensTheLocalFileANameStandsFor) {
    ScopedTempDir dir;  // the working directory: the names are relative
    std::filesystem::create_directory("tcp:");
    for (const char* name : {"tcp://127.0.0.1:2023", "clip%03d.avi", "clip.avi"}) {
        SCOPED_TRACE(name);
        WriteClip(name, 3);
        cv::VideoCapture capture;
        ASSERT_TRUE(OpenVideoFile(capture, name));
        int frames = 0;
        cv::Mat frame;
        while (capture.read(frame)) ++frames;
        EXPECT_EQ(frames, 3);
    }
}

TEST(VideoFile, RefusesWhatIsNotARegularFile) {
    ScopedTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo.avi").c_str(), 0644), 0);  // no writer: would block
    for (const std::string& path : {dir.File("fifo.avi"), dir.path(), std::string("/dev/zero"),
                                    std::string("tcp://127.0.0.1:2023"),
                                    std::string("http://127.0.0.1/x.avi"), std::string("")}) {
        SCOPED_TRACE(path);
        cv::VideoCapture capture;
        EXPECT_FALSE(OpenVideoFile(capture, path.c_str()));
        EXPECT_FALSE(capture.isOpened());
    }
}

}  // namespace
