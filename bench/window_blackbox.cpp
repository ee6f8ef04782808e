// The program black-box, as its control program sees it: quorvane started
// in a temporary directory with a stand-in control program that only
// sleeps, and this benchmark as the one client on 127.0.0.1:2023. Measured
// from the times the messages arrive here, over several starts of the
// program (median and worst of each figure):
//   - the open of a full project (256 ports x 2048 LEDs, command 177): from
//     the send of the command to its first and to its last "port loaded"
//     message (target: the last within 100 ms), for the first open after
//     the start and for all opens. Each open is sent into a quiet channel,
//     as a person's is, after a few redraws and at no fixed time: a command
//     right behind another waits for the next tick, 40 ms after that one's
//     end, whatever it does;
//   - the preview of a 1080p MJPEG video on an empty and on a full layout:
//     the time from one progress message to the next (target: at most
//     33 ms a frame), stopped (command 175) before its last frame, whose
//     summary box would wait for a person.
// Needs a display and port 2023 to itself; run it in a network namespace
// of its own under Xvfb:
//   unshare -rn bash -c 'ip link set lo up;
//     xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/window_blackbox'
// An argument names another build of the program to measure instead.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench_support.h"
#include "common/common.h"
#include "common/protocol.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "support/process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStarts = 5;
constexpr int kOpenRuns = 9;  // per start
// A few redraws before each open, for a time drawn anew each open: a fixed
// one would send every command at the same point between two ticks.
constexpr int kQuietMs = 150;
constexpr int kQuietSpreadMs = 100;
constexpr double kOpenTargetMs = 100.0;
constexpr double kFrameTargetMs = 33.0;
constexpr int kVideoFrames = 100;
constexpr uint32_t kFramesLeft = 10;  // not played: the preview is stopped before
constexpr int kReplyWaitMs = 20000;

double MillisecondsSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// One status message as it arrived.
struct Arrival {
    uint8_t tag;
    uint32_t frameNumber;  // progress messages
    uint32_t frameCount;
    Clock::time_point at;
};

// The client end of the channel: splits the byte stream into the program's
// messages and notes when each arrived.
struct Channel {
    int fd = -1;
    std::string pending;

    bool Send(const std::vector<uint8_t>& packet) const {
        return ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) == ssize_t(packet.size());
    }

    // Waits for messages until `done` says enough or `timeoutMs` passes.
    template <typename Done>
    bool Receive(std::vector<Arrival>& arrivals, Done done, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done(arrivals)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) return false;
            pollfd waiting = {fd, POLLIN, 0};
            if (::poll(&waiting, 1, int(left)) <= 0) return false;
            char buffer[8192];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return false;
            const auto at = Clock::now();
            pending.append(buffer, size_t(n));
            for (;;) {
                if (pending.size() < 2) break;
                const uint8_t tag = uint8_t(pending[1]);
                const size_t size = tag == kWindowGeometryTag  ? kWindowGeometryMessageSize
                                    : tag == kPortLoadedTag    ? kPortLoadedMessageSize
                                    : tag == kVideoProgressTag ? kVideoProgressMessageSize
                                                               : 0;
                if (size == 0) return false;  // out of step with the stream
                if (pending.size() < size) break;
                const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pending.data());
                Arrival arrival = {tag, 0, 0, at};
                if (tag == kVideoProgressTag) {
                    arrival.frameCount = ReadBE32(bytes + kProgressCountOffset);
                    arrival.frameNumber = ReadBE32(bytes + kProgressFrameOffset);
                }
                arrivals.push_back(arrival);
                pending.erase(0, size);
            }
        }
        return true;
    }

    // Sends `packet` and waits for the one geometry message that answers it.
    bool Exchange(const std::vector<uint8_t>& packet) {
        std::vector<Arrival> arrivals;
        return Send(packet) &&
               Receive(
                   arrivals, [](const std::vector<Arrival>& a) { return !a.empty(); },
                   kReplyWaitMs);
    }
};

// Every port a full chain on its own rows: LED i of port p at (i, 8p).
void SaveFullProject(const std::string& path) {
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < kPortCount; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) points[i] = {uint16_t(i), uint16_t(port * 8)};
        const uint8_t color[3] = {uint8_t(port), 100, 200};
        InstallLoadedChain(port, color, points, kChainCapacity, kChainCapacity);
    }
    SaveProject(path.c_str(), HeaderView{4, 0, 0});
    ResetLayoutModel();
}

struct OpenTimes {
    double first, last;  // ms from the send of 177
};

bool OpenProject(Channel& channel, const std::string& project, OpenTimes* times) {
    std::vector<Arrival> arrivals;
    const auto sent = Clock::now();
    if (!channel.Send(CommandPacket(CommandCode::OpenFile, 0, project))) return false;
    int ports = 0;
    const bool all = channel.Receive(
        arrivals,
        [&](const std::vector<Arrival>& a) {
            ports = 0;
            for (const Arrival& arrival : a) ports += arrival.tag == kPortLoadedTag;
            return ports == kPortCount;
        },
        kReplyWaitMs);
    if (!all) return false;
    times->first = times->last = 0;
    bool seenFirst = false;
    for (const Arrival& arrival : arrivals) {
        if (arrival.tag != kPortLoadedTag) continue;
        if (!seenFirst) times->first = MillisecondsSince(sent, arrival.at);
        seenFirst = true;
        times->last = MillisecondsSince(sent, arrival.at);
    }
    return true;
}

// Plays the video in preview mode up to a few frames before its end; the
// median time between consecutive progress messages, 0 when the playback
// did not run that far.
double PreviewFramePace(Channel& channel) {
    // 170: order RGB, brightness 100 %, preview, no black level.
    const std::vector<uint8_t> start = {0x00, 0xAA, 0, 100, 100, 100, 0, 0, 0, 0};
    std::vector<Arrival> arrivals;
    if (!channel.Send(start)) return 0;
    const bool played = channel.Receive(
        arrivals,
        [](const std::vector<Arrival>& a) {
            return !a.empty() && a.back().tag == kVideoProgressTag &&
                   a.back().frameNumber + kFramesLeft >= a.back().frameCount;
        },
        kVideoFrames * 1000);
    if (!played) return 0;
    // The progress of the frames stepped meanwhile comes before the answer.
    std::vector<Arrival> rest;
    if (!channel.Send(CommandPacket(CommandCode::StopVideo, 0, "")) ||
        !channel.Receive(
            rest,
            [](const std::vector<Arrival>& a) {
                return !a.empty() && a.back().tag == kWindowGeometryTag;
            },
            kReplyWaitMs))
        return 0;
    std::vector<double> steps;
    const Arrival* previous = nullptr;
    for (const Arrival& arrival : arrivals) {
        if (arrival.tag != kVideoProgressTag) continue;
        if (previous != nullptr) steps.push_back(MillisecondsSince(previous->at, arrival.at));
        previous = &arrival;
    }
    return Median(steps);
}

// The figures of one start of the program; empty when it did not get that far.
struct StartFigures {
    std::vector<double> firsts, lasts;  // per open, in order
    double emptyPace = 0, fullPace = 0;
};

// One start of the program in `dir`: the preview on the empty layout, the
// opens, the preview on the full layout. False when the program did not
// answer at all.
bool MeasureOneStart(const std::string& programPath, const std::string& dir,
                     const std::string& project, const std::string& video, StartFigures& figures) {
    ChildProcess program = StartChild(programPath, {}, dir, "quorvane");
    Channel channel;
    channel.fd = ConnectLoopback(kCommandPort, 15000);
    if (channel.fd < 0 || !channel.Exchange(CommandPacket(CommandCode::SelectPort, 0, ""))) {
        if (channel.fd >= 0) ::close(channel.fd);
        StopChild(program);
        return false;
    }
    int on = 1;
    ::setsockopt(channel.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    const bool pathSet = channel.Exchange(CommandPacket(CommandCode::SetVideoPath, 0, video));
    figures.emptyPace = pathSet ? PreviewFramePace(channel) : 0;
    static std::mt19937 random(2023);
    std::uniform_int_distribution<int> quiet(kQuietMs * 1000, (kQuietMs + kQuietSpreadMs) * 1000);
    for (int run = 0; run < kOpenRuns; ++run) {
        usleep(useconds_t(quiet(random)));
        OpenTimes times;
        if (!OpenProject(channel, project, &times)) break;
        figures.firsts.push_back(times.first);
        figures.lasts.push_back(times.last);
    }
    figures.fullPace = pathSet ? PreviewFramePace(channel) : 0;
    ::close(channel.fd);
    StopChild(program);
    // The port is free again only once the program is gone.
    usleep(200 * 1000);
    return true;
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Prints one figure's median and worst; true when the median meets the target.
bool Report(const char* what, const std::vector<double>& values, double target) {
    const double median = Median(values);
    std::printf("%s: %.1f ms median, %.1f ms worst of %zu (target <= %.0f ms)%s\n", what, median,
                Worst(values), values.size(), target, median <= target ? "" : "  MISSED");
    return median <= target;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string programPath = argc > 1 ? argv[1] : QUORVANE_PROGRAM;
    const std::string dir = std::filesystem::temp_directory_path().string() +
                            "/quorvane-bench-blackbox-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string project = dir + "/full.quor";
    const std::string video = dir + "/preview.avi";
    SaveFullProject(project);
    if (!WriteSyntheticVideo(video, "MJPG", 1920, 1080, kVideoFrames)) {
        std::fprintf(stderr, "window_blackbox: cannot write an MJPEG video here\n");
        return 1;
    }
    WriteExecutable(dir + "/Quorvane_Net.exe", "#!/bin/sh\nexec sleep 600\n");

    std::vector<double> firstOpens, firstOpenPorts, allOpens, emptyPaces, fullPaces;
    int failures = 0;
    for (int start = 0; start < kStarts; ++start) {
        StartFigures figures;
        if (!MeasureOneStart(programPath, dir, project, video, figures)) {
            std::fprintf(stderr, "window_blackbox: no answer from %s on port %d\n",
                         programPath.c_str(), kCommandPort);
            std::filesystem::remove_all(dir);
            return 1;
        }
        if (figures.lasts.size() != size_t(kOpenRuns)) {
            std::fprintf(stderr, "window_blackbox: an open did not report all %d ports\n",
                         kPortCount);
            ++failures;
        }
        if (!figures.lasts.empty()) {
            firstOpens.push_back(figures.lasts[0]);
            firstOpenPorts.push_back(figures.firsts[0]);
            allOpens.insert(allOpens.end(), figures.lasts.begin(), figures.lasts.end());
        }
        for (const auto& [name, pace, paces] : {std::tuple{"empty", figures.emptyPace, &emptyPaces},
                                                std::tuple{"full", figures.fullPace, &fullPaces}}) {
            if (pace == 0) {
                std::fprintf(stderr, "window_blackbox: the preview on the %s layout did not run\n",
                             name);
                ++failures;
            } else {
                paces->push_back(pace);
            }
        }
    }
    std::filesystem::remove_all(dir);

    std::printf(
        "over %d starts of the program, %d opens each, every open after %d to %d ms quiet:\n",
        kStarts, kOpenRuns, kQuietMs, kQuietMs + kQuietSpreadMs);
    std::printf(
        "open full project (%d ports x %d LEDs), command 177 to its port messages over "
        "TCP, the first open after the start: first port after %.1f ms median\n",
        kPortCount, kChainCapacity, Median(firstOpenPorts));
    failures +=
        !Report("  first open after the start, to its last port", firstOpens, kOpenTargetMs);
    failures += !Report("  every open, to its last port", allOpens, kOpenTargetMs);
    failures += !Report(
        "1080p MJPEG preview on the empty layout, a frame between progress "
        "messages (median per start)",
        emptyPaces, kFrameTargetMs);
    failures += !Report(
        "1080p MJPEG preview on the full layout, a frame between progress "
        "messages (median per start)",
        fullPaces, kFrameTargetMs);
    return failures == 0 ? 0 : 1;
}
