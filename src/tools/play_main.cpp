// quorvane-play: a video played onto the installation live, over sACN
// (E1.31), Art-Net or DDP, without a window.
//
//   quorvane-play [options] LAYOUT VIDEO OUTPUTS
//   quorvane-play --discover [--interface ADDR] [--wait SECONDS]
//
// LAYOUT is opened as quorvane-convert opens it, VIDEO goes through the same
// conversion, and OUTPUTS (JSON) says where each port's LEDs are sent. The
// OUTPUTS file and the layout are checked before anything is sent. Frames go
// out at the video's rate (or --fps), late ones dropped; at the end or on
// Ctrl+C one line tells frames sent and dropped, packets sent, the rate
// achieved and the 99th percentile of how late frames were shown (and with --power-report or
// --limit-amps the whole show's peak current); with --stats the same line also comes once a second
// while it plays, for a program that shows it. Frames of which a packet could not be sent are
// counted apart, with the first failure, on standard error. Exit status 0 when the video played
// whole (also when stopped with Ctrl+C), 1 on an error or a failed send (one line on standard error
// naming the file or address and the cause), 2 on a usage error.
//
//   quorvane-play --test PATTERN [options] LAYOUT OUTPUTS
//
// sends a test pattern made from the layout instead, repeating until Ctrl+C
// (see test_play.h for the keys on a terminal). --discover sends one Art-Net
// ArtPoll instead and lists the nodes that answer.
#include <arpa/inet.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/conversion.h"
#include "live/live_map.h"
#include "live/live_sink.h"
#include "live/outputs.h"
#include "live/packets.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "tools/open_layout.h"
#include "tools/test_options.h"
#include "tools/test_play.h"
#include "tools/tool_main.h"
#include "tools/tool_options.h"

namespace {

const char kProgram[] = "quorvane-play";
std::atomic<bool>& g_stop = ToolStopFlag();

int Fail(const std::string& line) {
    return ToolError(kProgram, line);
}

void PrintSummary(const LiveStats& stats, double rate, const PowerMeter* power) {
    double seconds = stats.framesSent > 1 ? double(stats.lastSend - stats.firstSend) / 1e9 : 0;
    double achieved = seconds > 0 ? double(stats.framesSent - 1) / seconds : 0;
    const std::string tail = power != nullptr ? "; power: " + PowerSummary(*power) : "";
    std::printf(
        "%lld frames sent, %lld dropped, %lld packets sent, %.2f frames/s (target %.2f), "
        "pacing p99 %.2f ms%s\n",
        (long long)stats.framesSent, (long long)stats.framesDropped, (long long)stats.packetsSent,
        achieved, rate, stats.pacing.p99Ms, tail.c_str());
    if (stats.framesHeldBack > 0)
        std::printf("%lld frames held back to stay within %.0f frames/s (--fps sends more)\n",
                    (long long)stats.framesHeldBack, kMaxLiveRate);
    std::fflush(stdout);
}

// The send failures of a run: one line on standard error; true when there were any.
bool ReportSendErrors(const LiveStats& stats) {
    if (stats.framesNotSent == 0) return false;
    Fail(std::to_string(stats.framesNotSent) +
         " frames not sent whole; the first: " + stats.firstSendError);
    return true;
}

// --discover: one ArtPoll to the directed broadcast of the interface's
// network (or 255.255.255.255), from UDP port 6454 where the answers come;
// one line per answering node.
int Discover(const std::string& interfaceText, double wait) {
    uint32_t local = 0, target = 0xFFFFFFFFu;
    if (!interfaceText.empty()) {
        in_addr parsed;
        if (inet_pton(AF_INET, interfaceText.c_str(), &parsed) != 1) {
            std::fprintf(stderr,
                         "%s: --interface must be a numeric IPv4 address\nTry '%s --help' for "
                         "more information.\n",
                         kProgram, kProgram);
            return 2;
        }
        local = ntohl(parsed.s_addr);
        if (!Sys_Ipv4BroadcastFor(local, &target))
            return Fail("--interface " + interfaceText +
                        ": not the address of a network card of this machine that can broadcast");
    }
    SysSocket socket = Sys_UdpSocket();
    if (socket == kSysInvalidSocket)
        return Fail(std::string("cannot open a UDP socket: ") + strerror(Sys_LastSocketError()));
    if (!Sys_UdpBind(socket, local, kArtNetUdpPort, nullptr)) {
        const int code = Sys_LastSocketError();
        Sys_CloseSocket(socket);
        if (code == EADDRNOTAVAIL)
            return Fail("--interface " + interfaceText + ": not an address of this machine");
        return Fail("cannot listen on UDP port 6454" +
                    (local != 0 ? " of " + interfaceText : std::string()) + ": " + strerror(code) +
                    (code == EADDRINUSE ? " (another Art-Net program holds it)" : ""));
    }
    Sys_UdpAllowBroadcast(socket);
    uint8_t poll[kArtPollSize];
    const SysDatagram datagram{poll, uint32_t(BuildArtPoll(poll)), target, kArtNetUdpPort};
    if (Sys_UdpSendBatch(socket, &datagram, 1) != 1) {
        const int code = Sys_LastSocketError();
        Sys_CloseSocket(socket);
        return Fail("send to " + Dotted(target) + ":6454 failed: " + strerror(code));
    }
    const uint64_t deadline = Sys_MonotonicNanoseconds() + uint64_t(wait * 1e9);
    int nodes = 0;
    for (;;) {
        const uint64_t now = Sys_MonotonicNanoseconds();
        if (now >= deadline) break;
        uint8_t buffer[1024];
        uint32_t from = 0;
        const int n = Sys_UdpReceiveFrom(socket, buffer, sizeof buffer,
                                         int((deadline - now) / 1000000 + 1), &from, nullptr);
        ArtNode node;
        if (n <= 0 || !ParseArtPollReply(buffer, size_t(n), &node)) continue;
        std::string ports;
        for (int i = 0; i < node.portCount; ++i) {
            if (!node.output[i] && !node.input[i]) continue;
            ports += std::string(ports.empty() ? "" : ", ") +
                     (node.output[i] ? "output " : "input ") + std::to_string(node.portAddress[i]);
        }
        std::printf("%s \"%s\" %s\n", Dotted(from).c_str(), node.shortName,
                    ports.empty() ? "no ports" : ports.c_str());
        std::fflush(stdout);
        ++nodes;
    }
    Sys_CloseSocket(socket);
    std::printf("%d nodes answered\n", nodes);
    return 0;
}

// The --stats line once a second, from the conversion's per-frame call.
struct StatsLine {
    LiveSink* live;
    std::chrono::steady_clock::time_point next;
};

void PrintStatsLine(void* context, int32_t, int32_t) {
    StatsLine* line = static_cast<StatsLine*>(context);
    const auto now = std::chrono::steady_clock::now();
    if (now < line->next) return;
    line->next = now + std::chrono::seconds(1);
    PrintSummary(LiveSinkStatsOf(line->live), LiveSinkRate(line->live), nullptr);
    std::fflush(stdout);
}

// The pattern until Ctrl+C, q or `frames` (0: no limit); the keys when
// standard input is a terminal, or always with `keysFromInput`.
bool PlayTest(TestPatternPlan* plan, OutputSink& sink, int32_t frames, bool keysFromInput,
              std::string* error, int64_t* total) {
    TerminalKeys terminal;
    const bool keys = BeginTerminalKeys(STDIN_FILENO, &terminal);
    if (keys)
        std::fprintf(stderr, "%s\n",
                     plan->settings.kind == TestPatternKind::Walk
                         ? "keys: space pause/resume, left/right one LED, up/down ten, p next "
                           "port, q quit"
                         : "keys: space pause/resume, q quit");
    const bool ok = PlayTestPattern(plan, sink, keys || keysFromInput ? STDIN_FILENO : -1, stdout,
                                    frames, &g_stop, error, total);
    EndTerminalKeys(STDIN_FILENO, &terminal);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Plays a video onto the LEDs of a layout live over sACN, Art-Net or DDP.",
                 kProgram};
    AddVersionFlag(app, kProgram);
    ToolOptionTexts texts;
    std::string layout, video, outputs;
    double fps = 0;
    bool loop = false;
    int32_t frames = 0;
    bool discover = false;
    std::string interfaceText;
    double wait = 3.0;
    app.add_option("LAYOUT", layout, "a .quor project or an .iqp import list");
    // Not required by the parser: with --test the second one is OUTPUTS, and
    // --discover takes none.
    app.add_option("VIDEO", video, "the video to play (none with --test)");
    app.add_option("OUTPUTS", outputs, "JSON file: protocols, addresses, ports, universes");
    app.add_flag("--discover", discover,
                 "send an Art-Net ArtPoll, list the nodes that answer and exit");
    app.add_option("--interface", interfaceText,
                   "with --discover: poll the network of this local IPv4 address");
    app.add_option("--wait", wait, "with --discover: seconds to wait for answers (default 3)")
        ->check(CLI::Range(0.1, 30.0));
    app.add_option("--fps", fps, "frames per second instead of the video's rate")
        ->check(CLI::Range(0.1, 1000.0));
    app.add_flag("--loop", loop, "start again after the last frame, until Ctrl+C");
    app.add_option("--frames", frames, "stop after N frames")->check(CLI::Range(1, INT32_MAX));
    bool statsEachSecond = false;
    app.add_flag("--stats", statsEachSecond,
                 "print the frames sent and dropped and the rate once a second while playing");
    AddColorOptions(app, &texts);
    TestOptionTexts test;
    AddTestOptions(app, &test);
    int stepMs = 0;
    bool keysFromInput = false;
    CLI::Option* keysOption = app.add_flag(
        "--keys", keysFromInput,
        "with --test: read the keys from standard input also when it is no terminal (a program "
        "driving the walk)");
    CLI::Option* stepOption =
        app.add_option("--step-ms", stepMs,
                       "with --test: the time each step of walk or chase lasts")
            ->check(CLI::Range(1, 3600000));
    app.footer(
        "With --test PATTERN the arguments are LAYOUT OUTPUTS: the pattern is sent (25 frames "
        "per second unless --fps) until Ctrl+C. On a terminal: space pauses and resumes; walk: "
        "left/right one LED, up/down ten, p the next port; q ends.");
    AddPowerOptions(app, &texts);
    const int parsed = ParseToolCommandLine(app, argc, argv, kProgram);
    if (parsed >= 0) return parsed;
    const bool testing = !test.pattern.empty();
    std::string problem = TestOptionProblem(test, texts);
    if (problem.empty() && discover && (!layout.empty() || testing))
        problem = "--discover takes no LAYOUT, VIDEO or OUTPUTS";
    if (problem.empty() && !discover && (!interfaceText.empty() || app.count("--wait") > 0))
        problem = "--interface and --wait go with --discover (an OUTPUTS file names interfaces)";
    if (problem.empty() && !testing && (stepOption->count() > 0 || keysOption->count() > 0))
        problem = "--step-ms and --keys need --test";
    if (problem.empty() && testing && !outputs.empty())
        problem = "--test takes LAYOUT OUTPUTS, no VIDEO";
    if (problem.empty() && !discover && (testing ? video.empty() : outputs.empty()))
        problem = testing ? "--test needs LAYOUT OUTPUTS" : "LAYOUT VIDEO OUTPUTS are required";
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                     problem.c_str(), kProgram);
        return 2;
    }
    if (discover) return Discover(interfaceText, wait);
    if (testing) outputs = video;

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

    static TestPatternPlan plan;
    if (testing &&
        !PlanTestPattern(TestSettingsFromOptions(test, texts, stepMs, fps > 0 ? fps : 25), &plan,
                         &error))
        return Fail(layout + ": " + error);

    LiveSink* live = LiveSinkCreate(config, MonotonicPacerClock(), testing && fps <= 0 ? 25 : fps);
    // This thread sends on the clock: raised above the decoder where the
    // system allows it, else the decoder goes below it.
    const bool raised = Sys_RaiseThreadPriority();
    OutputSink sink = LiveSinkOutput(live);
    InstallStopSignals();

    StatsLine statsLine = {live, std::chrono::steady_clock::now() + std::chrono::seconds(1)};
    ConversionSettings settings = SettingsFromOptions(texts);
    settings.readerPriority = raised ? ReaderPriority::Normal : ReaderPriority::Background;
    static PowerMeter meter;
    if (PowerMeterWanted(texts)) {
        StartPowerMeter(&meter, PowerSettingsFromOptions(texts));
        settings.power = &meter;
    }
    bool ok;
    if (testing) {
        int64_t total = 0;
        ok = PlayTest(&plan, sink, frames, keysFromInput, &error, &total);
    } else {
        settings.frameLimit = int32_t(frames);
        settings.loop = loop;
        ok =
            RunConversion(video.c_str(), settings, sink, statsEachSecond ? PrintStatsLine : nullptr,
                          &statsLine, &g_stop, &error, nullptr);
    }
    LiveSinkEnd(live);
    LiveStats stats = LiveSinkStatsOf(live);
    double rate = LiveSinkRate(live);
    LiveSinkDestroy(live);
    if (!ok && !g_stop.load()) {
        if (stats.framesSent > 0 || stats.framesNotSent > 0)
            PrintSummary(stats, rate, settings.power);
        ReportSendErrors(stats);
        return Fail(error);
    }
    if (!texts.powerReport.empty() && !WritePowerReport(meter, texts.powerReport.c_str(), &error))
        return Fail(error);
    PrintSummary(stats, rate, settings.power);
    return ReportSendErrors(stats) ? 1 : 0;
}
