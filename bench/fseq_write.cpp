// FSEQ output against controller files: the rate of a whole conversion.
//
// A full layout (256 ports x 2048 LEDs, all inside the picture) and a
// 1920 x 1080 video the benchmark writes itself (H.264 where the encoder is
// present, else MPEG-4 part 2), converted by the conversion core
// (RunConversion, as quorvane-convert runs it) into controller files, and
// into an FSEQ sequence with zstd at the default level, at level 1, and
// uncompressed. The outputs take turns, round after round, so all see much
// the same machine load.
//
// Target: the conversion to FSEQ with zstd (default) at no less than 90 % of
// the rate of the conversion to controller files. Two measures: frames per
// second (wall-clock), and the processor time per frame of the whole
// process (decoder threads included), which other programs on a busy
// machine blur much less; the rate one core allows is its inverse.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert/color.h"
#include "convert/controller_sink.h"
#include "convert/conversion.h"
#include "convert/fseq_sink.h"
#include "model/layout.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 96;
constexpr int kRounds = 3;

using Clock = std::chrono::steady_clock;

// A moving picture: gradients, a checker pattern, a moving disc and some
// grain, so the LED values compress about as a real video's do.
cv::Mat DiscFrame(int width, int height, int f, bool) {
    cv::Mat frame(height, width, CV_8UC3);
    cv::RNG rng(uint64_t(99 + f));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.ptr<uint8_t>(y);
        for (int x = 0; x < width; ++x) {
            const int grain = rng.uniform(0, 6);
            const int dx = x - 200 - 40 * (f % 40), dy = y - 540;
            const bool disc = dx * dx + dy * dy < 180 * 180;
            row[3 * x] = uint8_t(disc ? 30 : (x + 4 * f) / 8 + grain);
            row[3 * x + 1] = uint8_t(disc ? 220 : (y + 2 * f) / 5 + grain);
            row[3 * x + 2] = uint8_t(((x / 64 + y / 64 + f) % 2) * 160 + grain);
        }
    }
    return frame;
}

struct Output {
    const char* name;
    int kind;  // 0 controller files, else an FSEQ sequence
    uint8_t compression;
    int zstdLevel;
    std::vector<double> fps, cpu;  // per round
    long long bytes;
};

long long BytesIn(const std::string& dir, const std::string& name) {
    long long total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (file.size() >= name.size() &&
            file.compare(file.size() - name.size(), name.size(), name) == 0)
            total += (long long)entry.file_size();
    }
    return total;
}

// One conversion into `out`; false when it failed.
bool Convert(const std::string& video, const std::string& dir, Output* out) {
    ControllerFileSink* files = nullptr;
    FseqSinkState* sequence = nullptr;
    OutputSink sink;
    const std::string name = out->kind == 0 ? "bench.led" : "bench.fseq";
    const std::string target = dir + "/" + name;
    if (out->kind == 0) {
        files = new ControllerFileSink();
        SetControllerFileTarget(files, target.c_str());
        sink = ControllerFileOutput(files);
    } else {
        sequence = new FseqSinkState();
        InitFseqSink(sequence, {target.c_str(), out->compression, 0, 0, out->zstdLevel});
        sink = FseqOutputSink(sequence);
    }
    ConversionSettings settings = {};
    settings.color = {int(ColorOrder::GRB), {90, 100, 80}, {4, 0, 2}};
    std::string error;
    int32_t frames = 0;
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    const bool ok =
        RunConversion(video.c_str(), settings, sink, nullptr, nullptr, nullptr, &error, &frames);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    delete files;
    delete sequence;
    if (!ok || frames <= 0) {
        std::printf("%s: conversion failed: %s\n", out->name, error.c_str());
        return false;
    }
    out->fps.push_back(frames / seconds);
    out->cpu.push_back(cpu * 1e3 / frames);
    out->bytes = BytesIn(dir, name);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (file.find(name) != std::string::npos) std::filesystem::remove(entry.path(), ignored);
    }
    return true;
}

}  // namespace

int main() {
    const std::string dir = std::filesystem::temp_directory_path().string() +
                            "/quorvane-bench-fseq-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    BuildPictureLayout(kPortCount, kWidth, 3);

    std::string video = dir + "/bench.mp4";
    const char* codec = "H.264";
    if (!WriteSyntheticVideo(video, "avc1", kWidth, kHeight, kFrames, true, 24, DiscFrame)) {
        video = dir + "/bench.mp4v.mp4";
        codec = "MPEG-4 part 2";
        if (!WriteSyntheticVideo(video, "mp4v", kWidth, kHeight, kFrames, true, 24, DiscFrame)) {
            std::printf("no test video could be written\n");
            return 1;
        }
    }

    Output outputs[] = {
        {"controller files (.led)", 0, 0, 0, {}, {}, 0},
        {"FSEQ zstd (default, level -7)", 1, kFseqZstd, 0, {}, {}, 0},
        {"FSEQ zstd level -3", 1, kFseqZstd, -3, {}, {}, 0},
        {"FSEQ zstd level 1", 1, kFseqZstd, 1, {}, {}, 0},
        {"FSEQ uncompressed", 1, kFseqNone, 0, {}, {}, 0},
    };
    for (int round = 0; round < kRounds; ++round)
        for (Output& out : outputs)
            if (!Convert(video, dir, &out)) return 1;

    std::printf(
        "%d frames of %d x %d (%s) onto %d ports x %d LEDs (%.2f MB of LED values per "
        "frame), median of %d rounds\n",
        kFrames, kWidth, kHeight, codec, kPortCount, kChainCapacity,
        kPortCount * kChainCapacity * 3 / 1e6, kRounds);
    const double ledFps = Median(outputs[0].fps), ledCpu = Median(outputs[0].cpu);
    for (const Output& out : outputs) {
        const double fps = Median(out.fps), cpu = Median(out.cpu);
        std::printf(
            "%s: %.1f frames/s (%.1f %% of .led), %.2f ms processor time per frame "
            "(%.1f %% of .led's rate by it), %.1f MB\n",
            out.name, fps, 100.0 * fps / ledFps, cpu, 100.0 * ledCpu / cpu, out.bytes / 1e6);
    }
    std::printf("target: FSEQ zstd (default) at >= 90 %% of the .led rate\n");
    std::filesystem::remove_all(dir);
    return 0;
}
