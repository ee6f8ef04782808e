// Conversion without a window, against the decoder alone.
//
// 1. A 1920 x 1080 video (H.264 where the encoder is present, else MPEG-4
//    part 2) onto a full layout (256 ports x 2048 LEDs): the decode-only
//    rate of the frame reader (frames read and discarded), the rate of the
//    whole conversion into controller files, and their ratio, from passes
//    that alternate so both see much the same machine load. Target: the
//    conversion at least 90 % of the decode-only rate. Then the per-frame
//    cost of the LED map path against the window's grid painting, and area
//    sampling against point sampling on two full layouts: the conversion's
//    (one-cell footprints) and LEDs on every second cell both ways (2 x 2
//    footprints covering the picture). Target: the mapping step with area
//    at most 2 x the one with point per frame, on both. And the power
//    meter's cost per frame.
// 2. A long small video (20,000 frames) onto 16 ports x 2048 LEDs, about
//    2 GB of controller files, converted in a child process whose peak
//    resident memory is printed, next to the same for a quarter of the
//    length. Target: under 512 MiB and not growing with the length.
// Every file is written to a temporary directory removed at the end.
#include <sys/resource.h>
#include <sys/wait.h>
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
#include "convert/frame_reader.h"
#include "convert/led_footprint.h"
#include "convert/led_map.h"
#include "convert/power.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "video/mapping.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Frames per second of the reader alone; `cpu` (when given) gets the
// processor milliseconds per frame.
double DecodeOnlyRate(const std::string& path, double* cpu = nullptr) {
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    FrameReader* reader = OpenFrameReader(path.c_str(), nullptr);
    if (reader == nullptr) return 0;
    cv::Mat frame;
    int frames = 0;
    while (NextFrame(reader, &frame)) ++frames;
    CloseFrameReader(reader);
    if (cpu != nullptr) *cpu = (ProcessCpuSeconds() - cpuStart) * 1e3 / frames;
    return frames / Seconds(start, Clock::now());
}

// The controller-file sink with its finish timed (the files made durable
// and renamed), to tell the disk's share from ours.
OutputSink g_inner;
double g_finishSeconds;

bool TimedFinish(void* state, int32_t frames) {
    const auto start = Clock::now();
    const bool ok = g_inner.finish(state, frames);
    g_finishSeconds += Seconds(start, Clock::now());
    return ok;
}

// Frames per second of a whole conversion into controller files.
double ConversionRate(const std::string& video, const std::string& target, int32_t* frames,
                      double* cpu, SampleMode sample = SampleMode::Point) {
    ControllerFileSink* files = new ControllerFileSink();
    SetControllerFileTarget(files, target.c_str());
    g_inner = ControllerFileOutput(files);
    OutputSink sink = g_inner;
    sink.finish = TimedFinish;
    ConversionSettings settings = {};
    settings.color = {int(ColorOrder::GRB), {90, 100, 80}, {4, 0, 2}};
    settings.sample = sample;
    std::string error;
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    const bool ok =
        RunConversion(video.c_str(), settings, sink, nullptr, nullptr, nullptr, &error, frames);
    const double seconds = Seconds(start, Clock::now());
    *cpu = (ProcessCpuSeconds() - cpuStart) * 1e3 / std::max(*frames, 1);
    delete files;
    if (!ok) {
        std::printf("conversion failed: %s\n", error.c_str());
        return 0;
    }
    return *frames / seconds;
}

// `ports` full chains, LED k of the layout on picture pixel (k % n *
// spacing, k / n * spacing), n = width / spacing.
void BuildLatticeLayout(int ports, int width, int spacing) {
    const int perRow = width / spacing;
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < ports; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) {
            const int k = port * kChainCapacity + i;
            points[i] = {uint16_t(k % perRow * spacing),
                         uint16_t(kGridMax - std::min(k / perRow * spacing, kGridMax))};
        }
        InstallLoadedChain(port, ChainColor(port), points, kChainCapacity, kChainCapacity);
    }
}

// Milliseconds per frame of point and area sampling of `frame` on the
// current layout (medians), and of building the footprints once.
void CompareSampling(const char* name, const cv::Mat& frame, const LedParts& parts,
                     uint8_t* const out[kPortCount], const std::string& video,
                     const std::string& dir) {
    constexpr int kTimed = 20;
    LedMap* map = new LedMap();
    LedFootprints* footprints = new LedFootprints();
    UpdateLedMap(map, frame.cols, frame.rows);
    auto start = Clock::now();
    UpdateLedFootprints(footprints, *map);
    const double build = Seconds(start, Clock::now()) * 1e3;
    std::vector<double> point, area;
    for (int f = 0; f < kTimed; ++f) {
        start = Clock::now();
        MapFrameLeds(*map, frame.ptr<uint8_t>(0), parts, kChainCapacity, out);
        const auto a = Clock::now();
        AreaFrameLeds(*footprints, frame.ptr<uint8_t>(0), parts, kChainCapacity, out);
        point.push_back(Seconds(start, a) * 1e3);
        area.push_back(Seconds(a, Clock::now()) * 1e3);
    }
    uint64_t cells = 0;
    uint32_t leds = 0;
    for (int port = 0; port < kPortCount; ++port)
        for (int k = 0; k < footprints->positions[port]; ++k) {
            cells += uint64_t(footprints->led[port][k].columns) * footprints->led[port][k].rows;
            leds += footprints->led[port][k].columns != 0;
        }
    // Whole conversions into controller files, alternating.
    std::vector<double> pointRun, areaRun;
    for (int round = 0; round < 2; ++round) {
        int32_t frames = 0;
        double cpu = 0;
        const double p = ConversionRate(video, dir + "/point.led", &frames, &cpu);
        pointRun.push_back(p > 0 ? 1e3 / p : 0);
        const double a = ConversionRate(video, dir + "/area.led", &frames, &cpu, SampleMode::Area);
        areaRun.push_back(a > 0 ? 1e3 / a : 0);
    }
    const double pointFrame = *std::min_element(pointRun.begin(), pointRun.end());
    const double areaFrame = *std::min_element(areaRun.begin(), areaRun.end());
    const double ratio = Median(area) / Median(point);
    std::printf(
        "sampling, %s: %u LEDs in the frame, %.1f cells per footprint; mapping step per frame: "
        "point %.2f ms, area %.2f ms, area / point %.2f (target <= 2: %s); whole conversion "
        "(decode, map, controller files): point %.1f ms, area %.1f ms per frame (ratio %.2f); "
        "footprints built once in %.1f ms\n",
        name, leds, double(cells) / std::max(leds, 1u), Median(point), Median(area), ratio,
        ratio <= 2 ? "met" : "NOT met", pointFrame, areaFrame, areaFrame / pointFrame, build);
    delete footprints;
    delete map;
}

void FullLayout1080p(const std::string& dir) {
    constexpr int kWidth = 1920, kHeight = 1080, kFrames = 300, kRounds = 3;
    BuildPictureLayout(kPortCount, kWidth, 3);
    std::string video;
    const char* codecName = nullptr;
    const struct {
        const char* code;
        const char* name;
        const char* file;
    } codecs[] = {{"avc1", "H.264", "full.mp4"}, {"mp4v", "MPEG-4 part 2", "full.mp4v.mp4"}};
    for (const auto& codec : codecs) {
        video = dir + "/" + codec.file;
        if (WriteSyntheticVideo(video, codec.code, kWidth, kHeight, kFrames) &&
            DecodeOnlyRate(video) > 0) {
            codecName = codec.name;
            break;
        }
    }
    if (codecName == nullptr) {
        std::printf("1080p: no test video could be written and read back, skipped\n");
        return;
    }
    std::vector<double> decode, convert, decodeCpu, convertCpu;
    int32_t frames = 0;
    g_finishSeconds = 0;
    for (int round = 0; round < kRounds; ++round) {
        double cpu = 0;
        decode.push_back(DecodeOnlyRate(video, &cpu));
        decodeCpu.push_back(cpu);
        convert.push_back(ConversionRate(video, dir + "/full.led", &frames, &cpu));
        convertCpu.push_back(cpu);
    }
    const double d = Median(decode), c = Median(convert);
    std::printf(
        "1080p %s, %d frames, %d ports x %d LEDs: decode only %.1f fps, conversion %.1f fps "
        "(controller files written), ratio %.1f %% (target >= 90 %%); processor time per frame "
        "(all threads) %.1f ms decoding only, %.1f ms converting; waiting for the disk at the "
        "end %.1f ms per frame\n",
        codecName, frames, kPortCount, kChainCapacity, d, c, 100.0 * c / d, Median(decodeCpu),
        Median(convertCpu), g_finishSeconds * 1e3 / (kRounds * std::max(frames, 1)));

    // Per frame: the LED map path (map, then scramble and write through the
    // sink) against the window's grid path (paint and store, scramble).
    FrameReader* reader = OpenFrameReader(video.c_str(), nullptr);
    cv::Mat frame;
    NextFrame(reader, &frame);
    CloseFrameReader(reader);
    constexpr int kTimed = 20;
    LedMap* map = new LedMap();
    auto start = Clock::now();
    UpdateLedMap(map, frame.cols, frame.rows);
    const double build = Seconds(start, Clock::now()) * 1e3;
    LedParts parts;
    BuildLedParts({int(ColorOrder::GRB), {90, 100, 80}, {4, 0, 2}}, parts);
    std::vector<uint8_t> values(size_t(kPortCount) * kChainCapacity * 3);
    uint8_t* out[kPortCount];
    FrameLeds leds = {};
    ConversionInfo info = {};
    info.frameCount = kTimed;
    for (int port = 0; port < kPortCount; ++port) {
        out[port] = values.data() + size_t(port) * kChainCapacity * 3;
        leds.values[port] = out[port];
        info.ledCount[port] = kChainCapacity;
    }
    ControllerFileSink* files = new ControllerFileSink();
    SetControllerFileTarget(files, (dir + "/frame.led").c_str());
    OutputSink sink = ControllerFileOutput(files);
    sink.begin(sink.state, info);
    std::vector<double> mapped, written, painted;
    for (int f = 0; f < kTimed; ++f) {
        start = Clock::now();
        MapFrameLeds(*map, frame.ptr<uint8_t>(0), parts, kChainCapacity, out);
        const auto a = Clock::now();
        leds.frameIndex = f;
        sink.frame(sink.state, leds);
        mapped.push_back(Seconds(start, a) * 1e3);
        written.push_back(Seconds(a, Clock::now()) * 1e3);
    }
    sink.abort(sink.state);
    delete files;

    for (int f = 0; f < kTimed; ++f) {
        start = Clock::now();
        MapFrameOntoGrid(frame);
        painted.push_back(Seconds(start, Clock::now()) * 1e3);
    }
    std::printf(
        "per frame: LED map path %.2f ms (map %.2f, scramble and write %.2f; map built once in "
        "%.1f ms); the window's grid painting %.2f ms\n",
        Median(mapped) + Median(written), Median(mapped), Median(written), build, Median(painted));

    static PowerMeter meter;
    StartPowerMeter(&meter, {20.0, 5.0, 1.0});
    std::vector<double> metered;
    for (int f = 0; f < kTimed; ++f) {
        MapFrameLeds(*map, frame.ptr<uint8_t>(0), parts, kChainCapacity, out);
        start = Clock::now();
        MeterFrameLeds(&meter, info.ledCount, out, kChainCapacity, f);
        metered.push_back(Seconds(start, Clock::now()) * 1e3);
    }
    long long limited = 0;
    for (int port = 0; port < kPortCount; ++port) limited += meter.port[port].limitedFrames;
    std::printf(
        "power meter with a limit of 1 A per port (%lld of %d port frames limited): %.2f "
        "ms per frame\n",
        limited, kTimed * kPortCount, Median(metered));

    delete map;
    CompareSampling("the conversion's layout (LEDs 3 apart in rows 1 apart)", frame, parts, out,
                    video, dir);
    ResetLayoutModel();
    BuildLatticeLayout(kPortCount, kWidth, 2);
    CompareSampling("LEDs 2 apart both ways", frame, parts, out, video, dir);
}

// Converts `frames` frames of `video` onto 16 full ports in a child
// process; its peak resident memory in MiB, or -1.
double LongConversionPeak(const std::string& video, const std::string& target, int32_t limit,
                          double* rate) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        ResetLayoutModel();
        BuildPictureLayout(16, 256, 1);
        ControllerFileSink* files = new ControllerFileSink();
        SetControllerFileTarget(files, target.c_str());
        OutputSink sink = ControllerFileOutput(files);
        ConversionSettings settings = {};
        settings.color = {int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}};
        settings.frameLimit = limit;
        std::string error;
        int32_t done = 0;
        const auto start = Clock::now();
        const bool ok =
            RunConversion(video.c_str(), settings, sink, nullptr, nullptr, nullptr, &error, &done);
        double fps = ok ? done / Seconds(start, Clock::now()) : 0;
        if (!ok) std::fprintf(stderr, "conversion failed: %s\n", error.c_str());
        if (write(pipeEnds[1], &fps, sizeof fps) != sizeof fps) _exit(1);
        _exit(ok ? 0 : 1);
    }
    close(pipeEnds[1]);
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || status != 0) return -1;
    if (read(pipeEnds[0], rate, sizeof *rate) != sizeof *rate) *rate = 0;
    close(pipeEnds[0]);
    return usage.ru_maxrss / 1024.0;
}

void LongVideo(const std::string& dir) {
    constexpr int kFrames = 20000;
    const std::string video = dir + "/long.avi";
    if (!WriteSyntheticVideo(video, "MJPG", 256, 128, kFrames, false)) {
        std::printf("long video: cannot be written here, skipped\n");
        return;
    }
    const double fileBytes =
        16.0 * (kControllerHeaderSize + double(kFrames) * FrameStrideFor(kChainCapacity * 3));
    double shortRate = 0, longRate = 0;
    const double shortPeak = LongConversionPeak(video, dir + "/short.led", kFrames / 4, &shortRate);
    for (int port = 1; port <= 16; ++port)
        std::filesystem::remove(dir + "/PORT-" + std::to_string(port) + "-short.led");
    const double longPeak = LongConversionPeak(video, dir + "/long.led", 0, &longRate);
    std::printf(
        "long video 256 x 128, 16 ports x %d LEDs: %d frames (%.2f GB of files) peak resident "
        "%.1f MiB at %.0f fps; %d frames peak %.1f MiB (target < 512 MiB, flat with the "
        "length)\n",
        kChainCapacity, kFrames, fileBytes / 1e9, longPeak, longRate, kFrames / 4, shortPeak);
}

}  // namespace

int main() {
    const std::string dir = std::filesystem::temp_directory_path().string() +
                            "/quorvane-bench-convert-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    if (getenv("QUORVANE_BENCH_SKIP_LONG") == nullptr) LongVideo(dir);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    FullLayout1080p(dir);
    std::filesystem::remove_all(dir);
    return 0;
}
