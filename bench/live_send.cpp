// Live output of a full layout (256 ports x 2048 LEDs) over loopback.
//
// sACN needs 13 universes per port, 3,328 data packets per frame; Art-Net
// the same number of ArtDmx, DDP 1,093 packets of 1,440 bytes. Each frame
// goes through the live sink as in playback (packets filled into the reused
// buffers, sent in sendmmsg batches), but unpaced, to 127.0.0.1 on a port
// held by a socket that is never read, so the kernel drops what does not
// fit. Prints frames and packets per second for each protocol, and how much
// of the time filling the packets takes. Target: 40 full-layout frames per
// second with sACN.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "live/live_sink.h"
#include "live/outputs.h"
#include "live_outputs.h"
#include "model/layout.h"
#include "platform/sys.h"

namespace {

constexpr double kSeconds = 3.0;

// A clock that never reaches the next slot: every frame is on time, none waits.
PacerClock UnpacedClock() {
    return PacerClock{nullptr, [](void*) -> uint64_t { return 0; }, [](void*, uint64_t) {}};
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Run(const char* protocol, uint16_t port, const std::vector<std::vector<uint8_t>>& values) {
    static LiveConfig config;
    if (!FullLayoutOutputs(protocol, port, "", &config)) return;
    LiveSink* sink = LiveSinkCreate(config, UnpacedClock(), 40.0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.videoPath = "bench";
    info.frameCount = 1 << 30;
    for (int p = 0; p < kPortCount; ++p) info.ledCount[p] = kChainCapacity;
    if (!output.begin(output.state, info)) {
        fprintf(stderr, "%s\n", output.error(output.state));
        return;
    }
    FrameLeds leds{};
    for (int p = 0; p < kPortCount; ++p) leds.values[p] = values[p].data();

    // Filling alone.
    int packetsPerFrame = 0;
    double start = Now();
    int filled = 0;
    while (Now() - start < 1.0) {
        packetsPerFrame = LiveSinkFillFrame(sink, leds, 0);
        ++filled;
    }
    double fillSeconds = (Now() - start) / filled;

    start = Now();
    int frames = 0;
    while (Now() - start < kSeconds) {
        leds.frameIndex = frames;
        if (!output.frame(output.state, leds)) {
            fprintf(stderr, "%s\n", output.error(output.state));
            break;
        }
        ++frames;
    }
    double elapsed = Now() - start;
    LiveStats stats = LiveSinkStatsOf(sink);
    LiveSinkDestroy(sink);
    printf(
        "%-7s %5d packets/frame  %7.1f frames/s  %9.0f packets/s  filling %.2f ms of each frame\n",
        protocol, packetsPerFrame, frames / elapsed, double(stats.packetsSent) / elapsed,
        fillSeconds * 1e3);
}

}  // namespace

int main() {
    // A socket that holds the port and is never read.
    SysSocket sinkSocket = Sys_UdpSocket();
    uint16_t port = 0;
    if (sinkSocket == kSysInvalidSocket || !Sys_UdpBind(sinkSocket, 0x7f000001, 0, &port)) {
        fprintf(stderr, "cannot bind a UDP socket on 127.0.0.1\n");
        return 1;
    }
    std::vector<std::vector<uint8_t>> values(kPortCount);
    for (int p = 0; p < kPortCount; ++p) {
        values[p].resize(3 * kChainCapacity);
        for (size_t i = 0; i < values[p].size(); ++i) values[p][i] = uint8_t(i * 31 + size_t(p));
    }
    printf("Full layout: %d ports x %d LEDs to 127.0.0.1:%u; target 40 frames/s (sACN)\n",
           kPortCount, kChainCapacity, unsigned(port));
    Run("sacn", port, values);
    Run("artnet", port, values);
    Run("ddp", port, values);
    Sys_CloseSocket(sinkSocket);
    return 0;
}
