// The window's preview of a 1920 x 1080 video: frames per second of the
// redraw loop (the 25 ms pause, then one playback step: a frame taken,
// shown in the "Video" window and painted onto the grid), with the frames
// from the decode-ahead reader as the window now takes them, and with the
// capture read in the step itself as it did before. The scene drawing of
// the redraw is left out. Target: at least 30 frames per second. Needs a
// display (run under xvfb-run).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "app/video_window.h"
#include "bench_support.h"
#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "platform/sys.h"
#include "video/mapping.h"
#include "video/video.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080, kFrames = 120;
constexpr int kPauseMs = 25;

double ReaderPreviewRate(const std::string& video) {
    InstallVideoWindow();
    SetVideoPath(video.c_str());
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(CommandCode::StartVideo));
    packet[3] = packet[4] = packet[5] = 100;  // brightness; mode 0: preview
    StartVideo(packet.data());
    if (VideoMode() != VideoModeKind::Preview) return 0;
    int frames = 0;
    double pause = 0, step = 0;
    const auto start = Clock::now();
    while (VideoMode() != VideoModeKind::Idle) {
        const auto a = Clock::now();
        Sys_Sleep(kPauseMs);
        const auto b = Clock::now();
        StepVideoFrame();
        step += std::chrono::duration<double, std::milli>(Clock::now() - b).count();
        pause += std::chrono::duration<double, std::milli>(b - a).count();
        ++frames;
    }
    std::printf("  per redraw: pause %.1f ms, playback step %.1f ms\n", pause / frames,
                step / frames);
    return (frames - 1) / std::chrono::duration<double>(Clock::now() - start).count();
}

double CapturePreviewRate(const std::string& video) {
    cv::VideoCapture capture(video);
    cv::Mat frame;
    int frames = 0;
    const auto start = Clock::now();
    for (;;) {
        Sys_Sleep(kPauseMs);
        if (!capture.read(frame)) break;
        cv::imshow("Video", frame);
        cv::waitKey(1);
        MapFrameOntoGrid(frame);
        ++frames;
    }
    cv::destroyWindow("Video");
    return frames / std::chrono::duration<double>(Clock::now() - start).count();
}

// Milliseconds per frame of the step's own parts on decoded frames: the
// "Video" window's show and event pump, and the painting onto the grid.
void StepParts(const std::string& video) {
    cv::VideoCapture capture(video);
    std::vector<cv::Mat> frames(30);
    for (cv::Mat& frame : frames)
        if (!capture.read(frame)) return;
    auto start = Clock::now();
    for (const cv::Mat& frame : frames) {
        cv::imshow("Video", frame);
        cv::waitKey(1);
    }
    const double show =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames.size();
    start = Clock::now();
    for (size_t f = 0; f < frames.size(); ++f) MapFrameOntoGrid(frames[f]);
    const double paint =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames.size();
    cv::destroyWindow("Video");
    std::printf("  of a step: showing the frame %.1f ms, painting the grid %.1f ms\n", show, paint);
}

}  // namespace

int main() {
    const std::string dir = std::filesystem::temp_directory_path().string() +
                            "/quorvane-bench-preview-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const struct {
        const char* code;
        const char* name;
        const char* file;
    } codecs[] = {{"avc1", "H.264", "preview.mp4"}, {"mp4v", "MPEG-4 part 2", "preview.mp4v.mp4"}};
    for (const auto& codec : codecs) {
        const std::string video = dir + "/" + codec.file;
        if (!WriteSyntheticVideo(video, codec.code, kWidth, kHeight, kFrames)) {
            std::printf("%s: cannot be written here, skipped\n", codec.name);
            continue;
        }
        const double before = CapturePreviewRate(video);
        const double now = ReaderPreviewRate(video);
        std::printf(
            "%s 1080p preview, %d ms pause per redraw: %.1f fps with the decode-ahead reader "
            "(target >= 30), %.1f fps reading in the step as before\n",
            codec.name, kPauseMs, now, before);
        StepParts(video);
    }
    ResetVideoState();
    std::filesystem::remove_all(dir);
    return 0;
}
