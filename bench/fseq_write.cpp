// FSEQ write rate next to the controller-file (.led) output, per frame of a
// conversion.
//
// A full layout (256 ports x 2048 LEDs, all inside the picture) and a
// 1920 x 1080 video the benchmark writes itself (H.264 where the encoder is
// present, else MPEG-4 part 2). Every frame is decoded, walked onto the grid
// with its LED values stored in the controller buffers (the work every
// output shares), and then handed to each output: scrambled for the .led
// files, and given as per-port LED values to the FSEQ sink, with zstd at a
// few levels and uncompressed. The files are written at the end, and their
// writing is shared out over the frames.
//
// Target: a conversion to FSEQ with zstd (the default level) runs at no
// less than 90 % of the frame rate of the same conversion to .led files.
//
// Times are processor time, not wall-clock time, so that other programs on
// a busy machine do not blur the comparison: each phase on the converting
// thread by that thread's clock; decoding as the whole process's time over
// the pass (the decoder's own threads included) less the converting
// thread's other phases. The frame rate a phase allows is then what one
// core gives it.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "model/layout.h"
#include "platform/sys_fake.h"
#include "video/color.h"
#include "video/export.h"
#include "video/fseq_sink.h"
#include "video/mapping.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 24;

double CpuMs(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double ThreadMs() {
    return CpuMs(CLOCK_THREAD_CPUTIME_ID);
}
double ProcessMs() {
    return CpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Every port full, LED k of the layout on picture pixel 3k (row-major).
void BuildFullLayout() {
    for (int port = 0; port < kPortCount; ++port) {
        StartLoadedChain(port, false);
        ChainPoint* points = WritableLevelPoints(port, CurrentLevel(port));
        for (int i = 0; i < kChainCapacity; ++i) {
            const int pixel = (port * kChainCapacity + i) * 3;
            points[i] = {uint16_t(pixel % kWidth), uint16_t(kGridSide - 1 - pixel / kWidth)};
        }
        SetLevelCount(port, CurrentLevel(port), kChainCapacity);
        MarkChain(port);
    }
}

// A moving picture: gradients, a checker pattern, a moving disc and
// grain, so the LED values compress no better than those of a real video.
cv::Mat SyntheticFrame(int f) {
    cv::Mat frame(kHeight, kWidth, CV_8UC3);
    cv::RNG rng(uint64_t(99 + f));
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = frame.ptr<uint8_t>(y);
        for (int x = 0; x < kWidth; ++x) {
            const int grain = rng.uniform(0, 6);
            const int dx = x - 200 - 40 * f, dy = y - 540;
            const bool disc = dx * dx + dy * dy < 180 * 180;
            row[3 * x] = uint8_t(disc ? 30 : (x + 4 * f) / 8 + grain);
            row[3 * x + 1] = uint8_t(disc ? 220 : (y + 2 * f) / 5 + grain);
            row[3 * x + 2] = uint8_t(((x / 64 + y / 64 + f) % 2) * 160 + grain);
        }
    }
    return frame;
}

bool WriteVideo(const std::string& path, const char* code) {
    cv::VideoWriter writer;
    try {
        if (!writer.open(path, cv::VideoWriter::fourcc(code[0], code[1], code[2], code[3]), 25.0,
                         cv::Size(kWidth, kHeight), true))
            return false;
        for (int f = 0; f < kFrames; ++f) writer.write(SyntheticFrame(f));
    } catch (const cv::Exception&) {
        return false;
    }
    return true;
}

struct FseqRun {
    const char* name;
    uint8_t compression;
    int level;
    FseqSinkState state;
    OutputSink sink;
    std::vector<double> frame;
    double finish;
    long long bytes;
};

long long FileBytes(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : (long long)size;
}

}  // namespace

int main() {
    const std::string dir = std::filesystem::temp_directory_path().string() +
                            "/quorvane-bench-fseq-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);

    BuildFullLayout();
    SetColorSettings({int(ColorOrder::GRB), {90, 100, 80}, {4, 0, 2}});
    std::string video = dir + "/bench.mp4";
    const char* codec = "H.264";
    if (!WriteVideo(video, "avc1")) {
        video = dir + "/bench.mp4v.mp4";
        codec = "MPEG-4 part 2";
        if (!WriteVideo(video, "mp4v")) {
            std::printf("no test video could be written\n");
            return 1;
        }
    }
    FakeSys_QueueSaveAnswer(dir + "/bench.led");
    if (!PrepareExport(kFrames)) {
        std::printf("export could not be prepared\n");
        return 1;
    }

    static FseqRun runs[] = {
        {"FSEQ zstd (default, level -3)", kFseqZstd, 0, {}, {}, {}, 0, 0},
        {"FSEQ zstd level 1", kFseqZstd, 1, {}, {}, {}, 0, 0},
        {"FSEQ zstd level -5", kFseqZstd, -5, {}, {}, {}, 0, 0},
        {"FSEQ zstd level -7", kFseqZstd, -7, {}, {}, {}, 0, 0},
        {"FSEQ uncompressed", kFseqNone, 0, {}, {}, {}, 0, 0},
    };
    ConversionInfo info = {};
    info.videoPath = video.c_str();
    info.frameCount = kFrames;
    info.framesPerSecond = 25.0;
    info.colorOrder = uint8_t(ColorOrder::GRB);
    for (int port = 0; port < kPortCount; ++port) info.ledCount[port] = kChainCapacity;
    int k = 0;
    for (FseqRun& run : runs) {
        const std::string target = dir + "/bench" + std::to_string(k++) + ".fseq";
        InitFseqSink(&run.state, {target.c_str(), run.compression, 0, 0, run.level});
        run.sink = FseqOutputSink(&run.state);
        if (!run.sink.begin(run.sink.state, info)) {
            std::printf("%s\n", run.sink.error(run.sink.state));
            return 1;
        }
    }

    // Decoding is timed over the whole pass (the decoder may run threads
    // ahead); every other phase per frame.
    std::vector<double> walk, scramble;
    cv::VideoCapture capture(video);
    cv::Mat frame;
    int frames = 0;
    const double passStart = ProcessMs();
    double others = 0;
    while (frames < kFrames && capture.read(frame)) {
        const int32_t index = frames++;
        double t0 = ThreadMs();
        MapFrameOntoGrid(frame, index, true);
        walk.push_back(ThreadMs() - t0);
        // The LED values of every port, before the controller scrambling.
        FrameLeds leds = {};
        leds.frameIndex = index;
        const ExportState& state = CurrentExport();
        for (int port = 0; port < kPortCount; ++port)
            leds.values[port] =
                state.buffer[port] + kControllerHeaderSize + size_t(index) * state.frameStride;
        for (FseqRun& run : runs) {
            const double start = ThreadMs();
            if (!run.sink.frame(run.sink.state, leds)) {
                std::printf("%s\n", run.sink.error(run.sink.state));
                return 1;
            }
            run.frame.push_back(ThreadMs() - start);
        }
        t0 = ThreadMs();
        ScrambleFrame(index);
        scramble.push_back(ThreadMs() - t0);
        others += walk.back() + scramble.back();
        for (const FseqRun& run : runs) others += run.frame.back();
    }
    const double pass = ProcessMs() - passStart;
    const double decode = (pass - others) / std::max(1, frames);

    double t0 = ThreadMs();
    if (!WriteControllerFiles()) {
        std::printf("controller files could not be written\n");
        return 1;
    }
    const double ledWrite = (ThreadMs() - t0) / std::max(1, frames);
    long long ledBytes = 0;
    for (int n = 1; n <= kPortCount; ++n)
        ledBytes += FileBytes(dir + "/PORT-" + std::to_string(n) + "-bench.led");
    k = 0;
    for (FseqRun& run : runs) {
        t0 = ThreadMs();
        if (!run.sink.finish(run.sink.state, frames)) {
            std::printf("%s\n", run.sink.error(run.sink.state));
            return 1;
        }
        run.finish = (ThreadMs() - t0) / std::max(1, frames);
        run.bytes = FileBytes(dir + "/bench" + std::to_string(k++) + ".fseq");
    }

    const double shared = decode + Median(walk);
    const double led = shared + Median(scramble) + ledWrite;
    std::printf(
        "%d frames of %d x %d (%s), layout %d ports x %d LEDs (%.1f MB of LED values "
        "per frame)\n",
        frames, kWidth, kHeight, codec, kPortCount, kChainCapacity,
        kPortCount * kChainCapacity * 3 / 1e6);
    std::printf("shared per frame: decode %.2f ms, walk and store %.2f ms\n", decode, Median(walk));
    std::printf(
        ".led: scramble %.2f ms + file writing %.2f ms per frame; conversion %.2f ms "
        "per frame (%.1f frames/s), %.1f MB\n",
        Median(scramble), ledWrite, led, 1000.0 / led, ledBytes / 1e6);
    for (const FseqRun& run : runs) {
        const double fseq = shared + Median(run.frame) + run.finish;
        std::printf(
            "%s: sink %.2f ms + finish %.2f ms per frame; conversion %.2f ms per frame "
            "(%.1f frames/s) = %.1f %% of the .led rate; %.1f MB (%.1f %% of the LED "
            "values)\n",
            run.name, Median(run.frame), run.finish, fseq, 1000.0 / fseq, 100.0 * led / fseq,
            run.bytes / 1e6,
            100.0 * run.bytes / (double(frames) * kPortCount * kChainCapacity * 3));
    }
    std::printf("target: FSEQ zstd (default) at >= 90 %% of the .led rate\n");

    ReleaseExport();
    std::filesystem::remove_all(dir);
    return 0;
}
