// Live output on the beat: a full layout (256 ports x 2048 LEDs, 3,328 sACN
// universes and a sync universe) played from a 2048 x 256 FFV1 video at 40
// frames per second, as quorvane-play plays it (the sender raised where the
// system allows, the decoder below it), to 127.0.0.1 on a port held by a
// socket that is never read. Runs for 60 s (or the seconds given), the video
// looped, and prints how late the sync packets left against their deadlines:
// mean, standard deviation, 99th percentile and maximum, and the frames
// dropped. Target: p99 at most 0.5 ms, no frame dropped.
//
//   build/bench/live_beat [SECONDS]
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench_support.h"
#include "convert/conversion.h"
#include "live/live_sink.h"
#include "live/outputs.h"
#include "platform/sys.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 256;
constexpr int kVideoFrames = 400;  // 10 s at 40 fps, then looped
constexpr double kRate = 40.0;

// The frames per second the source gives alone: one pass of the video
// decoded and mapped into a sink that keeps nothing.
double SourceRate(const std::string& video, const ConversionSettings& settings) {
    OutputSink none{nullptr,
                    [](void*, const ConversionInfo&) { return true; },
                    [](void*, const FrameLeds&) { return true; },
                    [](void*, int32_t) { return true; },
                    [](void*) {},
                    [](const void*) { return ""; }};
    std::string error;
    int32_t done = 0;
    const auto start = std::chrono::steady_clock::now();
    if (!RunConversion(video.c_str(), settings, none, nullptr, nullptr, nullptr, &error, &done))
        return 0;
    return done / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (!(seconds > 0)) {
        fprintf(stderr, "usage: live_beat [SECONDS]\n");
        return 2;
    }
    char dir[] = "/tmp/quorvane-live-beat-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        perror("mkdtemp");
        return 1;
    }
    const std::string video = std::string(dir) + "/show.avi";
    if (!WriteSyntheticVideo(video, "FFV1", kWidth, kHeight, kVideoFrames, false)) {
        fprintf(stderr, "%s: the video writer refuses FFV1\n", video.c_str());
        return 1;
    }
    BuildPictureLayout(kPortCount, kWidth, 1);

    SysSocket held = Sys_UdpSocket();
    uint16_t port = 0;
    if (held == kSysInvalidSocket || !Sys_UdpBind(held, 0x7f000001, 0, &port)) {
        fprintf(stderr, "cannot bind a UDP socket on 127.0.0.1\n");
        return 1;
    }
    std::string text =
        R"({"outputs": [{"protocol": "sacn", "address": "127.0.0.1", "sync_universe": 7000, )"
        R"("udp_port": )" +
        std::to_string(port) + R"(, "ports": [)";
    for (int p = 1; p <= kPortCount; ++p) text += std::to_string(p) + (p < kPortCount ? "," : "");
    text += "]}]}";
    static LiveConfig config;
    char error[512];
    if (!ParseLiveOutputs(text.data(), text.size(), &config, error, sizeof error)) {
        fprintf(stderr, "%s\n", error);
        return 1;
    }

    const bool raised = Sys_RaiseThreadPriority();
    LiveSink* live = LiveSinkCreate(config, MonotonicPacerClock(), kRate);
    OutputSink sink = LiveSinkOutput(live);
    ConversionSettings settings{};
    settings.color = {int(ColorOrder::GRB), {90, 100, 80}, {4, 0, 2}};
    settings.readerPriority = raised ? ReaderPriority::Normal : ReaderPriority::Background;
    printf(
        "Full layout: %d ports x %d LEDs, sACN with a sync universe, %.0f frames/s for %.0f s "
        "from a %d x %d FFV1 video (sender priority %s)\n",
        kPortCount, kChainCapacity, kRate, seconds, kWidth, kHeight,
        raised ? "raised" : "normal: not allowed here");
    printf("the source alone (decoding and mapping): %.1f frames/s\n", SourceRate(video, settings));
    fflush(stdout);
    std::atomic<bool> stop{false};
    std::thread timer([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!stop.load() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.store(true);
    });
    const double cpuStart = ProcessCpuSeconds();
    std::string cause;
    settings.loop = true;
    int32_t done = 0;
    bool ok = RunConversion(video.c_str(), settings, sink, nullptr, nullptr, &stop, &cause, &done);
    if (!ok && stop.load()) ok = true;  // the timer ended the run
    stop.store(true);
    timer.join();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    LiveSinkEnd(live);
    const LiveStats stats = LiveSinkStatsOf(live);
    LiveSinkDestroy(live);
    Sys_CloseSocket(held);
    unlink(video.c_str());
    rmdir(dir);
    if (!ok) {
        fprintf(stderr, "%s\n", cause.c_str());
        return 1;
    }
    const double span = double(stats.lastSend - stats.firstSend) / 1e9;
    printf(
        "%lld frames sent, %lld dropped, %lld not sent whole, %lld packets, %.2f frames/s, "
        "processor %.0f %% of one core\n",
        (long long)stats.framesSent, (long long)stats.framesDropped, (long long)stats.framesNotSent,
        (long long)stats.packetsSent, span > 0 ? double(stats.framesSent - 1) / span : 0.0,
        100 * cpu / seconds);
    const PacingSummary& p = stats.pacing;
    printf(
        "sync against its deadline: mean %.3f ms, deviation %.3f ms, p99 %.3f ms, max %.3f ms"
        " (target p99 <= 0.5 ms, 0 dropped: %s)\n",
        p.meanMs, p.deviationMs, p.p99Ms, p.maxMs,
        stats.framesSent > 0 && p.p99Ms <= 0.5 && stats.framesDropped == 0 ? "met" : "NOT met");
    return 0;
}
