// quorvane-play: a video played onto the installation live, over sACN
// (E1.31), Art-Net or DDP, without a window.
//
//   quorvane-play [options] LAYOUT VIDEO OUTPUTS
//
// LAYOUT is opened as quorvane-convert opens it, VIDEO goes through the same
// conversion, and OUTPUTS (JSON) says where each port's LEDs are sent. The
// OUTPUTS file and the layout are checked before anything is sent. Frames go
// out at the video's rate (or --fps), late ones dropped; at the end or on
// Ctrl+C one line tells frames sent and dropped, packets sent and the rate
// achieved (and with --power-report or --limit-amps the whole show's peak
// current). Exit status 0 when the video played (also when stopped with
// Ctrl+C), 1 on an error (one line on standard error naming the file or
// address and the cause), 2 on a usage error.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/conversion.h"
#include "live/live_map.h"
#include "live/live_sink.h"
#include "live/outputs.h"
#include "model/layout.h"
#include "tools/open_layout.h"
#include "tools/tool_options.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

namespace {

const char kProgram[] = "quorvane-play";
std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop.store(true);
}

int Fail(const std::string& line) {
    return ToolError(kProgram, line);
}

void PrintSummary(const LiveStats& stats, double rate, const PowerMeter* power) {
    double seconds = stats.framesSent > 1 ? double(stats.lastSend - stats.firstSend) / 1e9 : 0;
    double achieved = seconds > 0 ? double(stats.framesSent - 1) / seconds : 0;
    const std::string tail = power != nullptr ? "; power: " + PowerSummary(*power) : "";
    std::printf(
        "%lld frames sent, %lld dropped, %lld packets sent, %.2f frames/s (target %.2f)%s\n",
        (long long)stats.framesSent, (long long)stats.framesDropped, (long long)stats.packetsSent,
        achieved, rate, tail.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Plays a video onto the LEDs of a layout live over sACN, Art-Net or DDP.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + QUORVANE_VERSION);
    ToolOptionTexts texts;
    std::string layout, video, outputs;
    double fps = 0;
    bool loop = false;
    int32_t frames = 0;
    app.add_option("LAYOUT", layout, "a .quor project or an .iqp import list")->required();
    app.add_option("VIDEO", video, "the video to play")->required();
    app.add_option("OUTPUTS", outputs, "JSON file: protocols, addresses, ports, universes")
        ->required();
    app.add_option("--fps", fps, "frames per second instead of the video's rate")
        ->check(CLI::Range(0.1, 1000.0));
    app.add_flag("--loop", loop, "start again after the last frame, until Ctrl+C");
    app.add_option("--frames", frames, "stop after N frames")->check(CLI::Range(1, INT32_MAX));
    AddColorOptions(app, &texts);
    AddPowerOptions(app, &texts);
    const int parsed = ParseToolCommandLine(app, argc, argv, kProgram);
    if (parsed >= 0) return parsed;

    SilenceVideoLibraries();

    static LiveConfig config;
    char message[600];
    if (!ReadLiveOutputs(outputs.c_str(), &config, message, sizeof message)) return Fail(message);
    std::string error;
    if (!OpenLayoutForTool(layout, &error)) return Fail(error);
    // The universes each port needs are known now: check them against the
    // protocols' ranges before the video is even opened.
    uint16_t ledCount[kPortCount];
    for (int port = 0; port < kPortCount; ++port) ledCount[port] = ChainLength(port);
    static LiveMap map;
    if (!BuildLiveMap(config, ledCount, &map, message, sizeof message))
        return Fail(outputs + ": " + message);

    LiveSink* live = LiveSinkCreate(config, MonotonicPacerClock(), fps);
    OutputSink sink = LiveSinkOutput(live);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    ConversionSettings settings = SettingsFromOptions(texts);
    static PowerMeter meter;
    if (PowerMeterWanted(texts)) {
        StartPowerMeter(&meter, PowerSettingsFromOptions(texts));
        settings.power = &meter;
    }
    int64_t total = 0;
    bool ok = true;
    while (true) {
        settings.frameLimit = frames > 0 ? int32_t(frames - total) : 0;
        int32_t done = 0;
        ok = RunConversion(video.c_str(), settings, sink, nullptr, nullptr, &g_stop, &error, &done);
        total += done;
        if (!ok || !loop || g_stop.load() || done == 0) break;
        if (frames > 0 && total >= frames) break;
    }
    LiveSinkEnd(live);
    LiveStats stats = LiveSinkStatsOf(live);
    double rate = LiveSinkRate(live);
    LiveSinkDestroy(live);
    if (!ok && !g_stop.load()) {
        if (stats.framesSent > 0) PrintSummary(stats, rate, settings.power);
        return Fail(error);
    }
    if (!texts.powerReport.empty() && !WritePowerReport(meter, texts.powerReport.c_str(), &error))
        return Fail(error);
    PrintSummary(stats, rate, settings.power);
    return 0;
}
