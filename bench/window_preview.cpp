// The window's preview of a 1920 x 1080 video: the playback step of each
// redraw (a frame taken from the decode-ahead reader, shown in the "Video"
// window and painted onto the grid), run as the redraw loop runs it, after
// the 25 ms pause, on an empty layout and on a full one (256 x 2048 LEDs
// over the picture). Target: a step of at most 8 ms (median), so that a
// redraw of the pause, the step and the scene stays within 33 ms. The
// scene drawing is left out (bench/render_full_layout has it). Besides the
// time a step takes, the processor time the step's own thread spent in it
// (which a machine busy with other work does not inflate), the step with no
// window installed, and the painting alone on decoded frames show where the
// time goes. Needs a display (run under xvfb-run -s "-screen 0 1920x1080x24").
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "app/video_window.h"
#include "bench_support.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "video/mapping.h"
#include "video/video.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080, kFrames = 150;
constexpr int kPauseMs = 25;
constexpr double kStepTargetMs = 8.0;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ThreadCpuMilliseconds() {
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct StepTimes {
    double wall, cpu;  // medians, ms
};

// The median step of a preview played to its end; zero when it did not start.
StepTimes PreviewStep(const std::string& video) {
    SetVideoPath(video.c_str());
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(CommandCode::StartVideo));
    packet[3] = packet[4] = packet[5] = 100;  // brightness; mode 0: preview
    StartVideo(packet.data());
    if (VideoMode() != VideoModeKind::Preview) return {0, 0};
    std::vector<double> steps, cpu;
    while (VideoMode() != VideoModeKind::Idle) {
        Sys_Sleep(kPauseMs);
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMilliseconds();
        StepVideoFrame();
        steps.push_back(MillisecondsSince(start));
        cpu.push_back(ThreadCpuMilliseconds() - cpuStart);
    }
    return {Median(steps), Median(cpu)};
}

// Milliseconds per frame of painting decoded frames onto the grid.
double PaintOnly(const std::string& video) {
    cv::VideoCapture capture(video);
    std::vector<cv::Mat> frames(30);
    for (cv::Mat& frame : frames)
        if (!capture.read(frame)) return 0;
    std::vector<double> times;
    for (size_t f = 0; f < frames.size(); ++f) {
        const auto start = Clock::now();
        MapFrameOntoGrid(frames[f]);
        times.push_back(MillisecondsSince(start));
    }
    return Median(times);
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
    } codecs[] = {{"MJPG", "MJPEG", "preview.avi"}};
    int failures = 0;
    for (const auto& codec : codecs) {
        const std::string video = dir + "/" + codec.file;
        if (!WriteSyntheticVideo(video, codec.code, kWidth, kHeight, kFrames)) {
            std::printf("%s: cannot be written here, skipped\n", codec.name);
            continue;
        }
        for (const bool full : {false, true}) {
            ResetLayoutModel();
            if (full) BuildPictureLayout(kPortCount, kWidth, 3);
            SetVideoDisplay({nullptr, nullptr, nullptr});
            const StepTimes bare = PreviewStep(video);
            InstallVideoWindow();
            const StepTimes step = PreviewStep(video);
            std::printf(
                "%s 1080p preview, %s layout, %d ms pause per redraw: playback step %.1f ms "
                "median (target <= %.0f ms), %.1f ms of it on the processor; without the "
                "\"Video\" window %.1f ms (%.1f ms)\n",
                codec.name, full ? "full" : "empty", kPauseMs, step.wall, kStepTargetMs, step.cpu,
                bare.wall, bare.cpu);
            failures += step.wall == 0 || step.wall > kStepTargetMs;
        }
        std::printf("  painting a decoded frame onto the grid: %.1f ms\n", PaintOnly(video));
    }
    ResetVideoState();
    ResetLayoutModel();
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
