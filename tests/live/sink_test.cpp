// The live sink on a fake clock: a frame whose slot has passed is counted
// as dropped and sends nothing; the frames on time go out whole, and a
// second pass of a looped video keeps the slots and counts running. With a
// sync universe the data leaves early and the sync at the deadline.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "live/live_sink.h"
#include "live/outputs.h"
#include "platform/sys.h"

namespace {

constexpr uint64_t kMs = 1000000;

struct FakeClock {
    uint64_t now = 5000 * kMs;
};

// A receiver on 127.0.0.1 and an OUTPUTS config sending port 1 to it over
// DDP; false with the parser's message in `error`.
bool DdpToReceiver(SysSocket* receiver, LiveConfig* config, std::string* error) {
    *receiver = Sys_UdpSocket();
    uint16_t port = 0;
    if (!Sys_UdpBind(*receiver, 0x7f000001, 0, &port)) {
        *error = "cannot bind a receiver on 127.0.0.1";
        return false;
    }
    const std::string text =
        R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1", "ports": [1], "udp_port": )" +
        std::to_string(port) + "}]}";
    char message[256] = "";
    if (ParseLiveOutputs(text.data(), text.size(), config, message, sizeof message)) return true;
    *error = message;
    return false;
}

// The pacer's clock reading `clock`; waiting moves it to the deadline.
PacerClock FakePacerClock(FakeClock* clock) {
    return PacerClock{clock, [](void* s) { return static_cast<FakeClock*>(s)->now; },
                      [](void* s, uint64_t deadline) {
                          auto* c = static_cast<FakeClock*>(s);
                          if (deadline > c->now) c->now = deadline;
                      }};
}

int Drain(SysSocket socket) {
    uint8_t buffer[2048];
    int count = 0;
    while (Sys_UdpReceiveFrom(socket, buffer, sizeof buffer, 100, nullptr, nullptr) > 0) ++count;
    return count;
}

TEST(LiveSink, LateFramesAreDroppedAndSendNothing) {
    SysSocket receiver;
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(DdpToReceiver(&receiver, &config, &error)) << error;

    FakeClock clock;
    const PacerClock pacerClock = FakePacerClock(&clock);
    LiveSink* sink = LiveSinkCreate(config, pacerClock, 0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.videoPath = "clip.mp4";
    info.frameCount = 6;
    info.framesPerSecond = 0;
    info.ledCount[0] = 500;  // 1500 bytes: two DDP packets per frame
    EXPECT_FALSE(output.begin(output.state, info));
    EXPECT_STREQ(output.error(output.state),
                 "clip.mp4: the video gives no frame rate; give one with --fps");

    info.framesPerSecond = 40;  // 25 ms slots
    ASSERT_TRUE(output.begin(output.state, info)) << output.error(output.state);
    std::vector<uint8_t> values(1500, 7);
    FrameLeds leds{};
    leds.values[0] = values.data();
    // Frame 2 takes 60 ms: ready at 85 ms after the first slot began, when
    // its slot (50..75) has passed. Frame 3's slot (75..100) is still open.
    const uint64_t work[] = {1, 1, 60, 1, 1, 1};
    for (int f = 0; f < 6; ++f) {
        clock.now += work[f] * kMs;
        leds.frameIndex = f;
        ASSERT_TRUE(output.frame(output.state, leds));
    }
    ASSERT_TRUE(output.finish(output.state, 6));
    LiveStats stats = LiveSinkStatsOf(sink);
    EXPECT_EQ(stats.framesSent, 5);
    EXPECT_EQ(stats.framesDropped, 1);
    EXPECT_EQ(stats.packetsSent, 10);
    EXPECT_EQ(Drain(receiver), 10);

    // The next pass of a loop: same slots, counts go on.
    ASSERT_TRUE(output.begin(output.state, info));
    clock.now += 1 * kMs;
    ASSERT_TRUE(output.frame(output.state, leds));
    stats = LiveSinkStatsOf(sink);
    EXPECT_EQ(stats.framesSent, 6);
    EXPECT_EQ(stats.lastSend - stats.firstSend, 6 * 25 * kMs);
    LiveSinkEnd(sink);
    LiveSinkDestroy(sink);
    Sys_CloseSocket(receiver);
}

struct Played {
    LiveStats stats;
    std::vector<std::vector<uint8_t>> packets;
};

// `frames` frames of one LED over DDP to a receiver here, each ready 1 ms
// after the one before went out, on the fake clock.
Played PlayOnFakeClock(double videoRate, double fpsOption, int frames) {
    SysSocket receiver;
    static LiveConfig config;
    std::string error;
    EXPECT_TRUE(DdpToReceiver(&receiver, &config, &error)) << error;
    FakeClock clock;
    const PacerClock pacerClock = FakePacerClock(&clock);
    LiveSink* sink = LiveSinkCreate(config, pacerClock, fpsOption);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.frameCount = frames;
    info.framesPerSecond = videoRate;
    info.ledCount[0] = 1;
    EXPECT_TRUE(output.begin(output.state, info));
    uint8_t values[3] = {};
    FrameLeds leds{};
    leds.values[0] = values;
    for (int f = 0; f < frames; ++f) {
        clock.now += kMs;
        values[0] = uint8_t(f);
        leds.frameIndex = f;
        EXPECT_TRUE(output.frame(output.state, leds));
    }
    Played played{LiveSinkStatsOf(sink), {}};
    LiveSinkDestroy(sink);
    uint8_t buffer[2048];
    int n;
    while ((n = Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 100, nullptr, nullptr)) > 0)
        played.packets.emplace_back(buffer, buffer + n);
    Sys_CloseSocket(receiver);
    return played;
}

// At 0.3 frames per second the last frame goes out again every second
// while the next one is not due, with new sequence numbers.
TEST(LiveSink, KeepAliveAtALowFrameRate) {
    const Played played = PlayOnFakeClock(25, 0.3, 3);
    EXPECT_EQ(played.stats.framesSent, 3);
    EXPECT_EQ(played.stats.keepAlives, 6);
    // Frame 0, its keep-alives at 1, 2 and 3 s, frame 1 at 3.33 s, ...
    const uint8_t expected[] = {0, 0, 0, 0, 1, 1, 1, 1, 2};
    ASSERT_EQ(played.packets.size(), std::size(expected));
    for (size_t i = 0; i < played.packets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(played.packets[i][10], expected[i]);
        EXPECT_EQ(played.packets[i][1] & 0x0F, int(i % 15 + 1)) << "the sequence goes on";
    }
}

// A 60 fps video is sent at 44 frames per second, frames held back evenly;
// --fps 60 sends them all.
TEST(LiveSink, FrameRateHeldAt44UnlessAsked) {
    Played played = PlayOnFakeClock(60, 0, 60);
    EXPECT_EQ(played.stats.framesSent, 44);
    EXPECT_EQ(played.stats.framesHeldBack, 16);
    EXPECT_EQ(played.stats.framesDropped, 0);
    ASSERT_EQ(played.packets.size(), 44u);
    for (size_t i = 1; i < played.packets.size(); ++i) {
        const int step = played.packets[i][10] - played.packets[i - 1][10];
        EXPECT_TRUE(step == 1 || step == 2) << i << ": evenly, never two frames left out in a row";
    }
    played = PlayOnFakeClock(60, 60, 60);
    EXPECT_EQ(played.stats.framesSent, 60);
    EXPECT_EQ(played.stats.framesHeldBack, 0);
}

// A decoder stall on the real clock: no frame comes for 2.3 s, and the
// last one goes out again about every second meanwhile.
TEST(LiveSink, KeepAliveDuringAStall) {
    SysSocket receiver;
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(DdpToReceiver(&receiver, &config, &error)) << error;
    LiveSink* sink = LiveSinkCreate(config, MonotonicPacerClock(), 0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.frameCount = 2;
    info.framesPerSecond = 25;
    info.ledCount[0] = 1;
    ASSERT_TRUE(output.begin(output.state, info));
    uint8_t values[3] = {9, 8, 7};
    FrameLeds leds{};
    leds.values[0] = values;
    ASSERT_TRUE(output.frame(output.state, leds));
    Sys_Sleep(2300);
    const LiveStats stats = LiveSinkStatsOf(sink);
    LiveSinkEnd(sink);
    LiveSinkDestroy(sink);
    EXPECT_GE(stats.keepAlives, 2);
    uint8_t buffer[64];
    int packets = 0;
    for (int n;
         (n = Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 100, nullptr, nullptr)) > 0;
         ++packets) {
        ASSERT_EQ(n, 13);
        EXPECT_EQ(buffer[10], 9);
    }
    EXPECT_EQ(packets, 1 + stats.keepAlives);
    Sys_CloseSocket(receiver);
}

// What had arrived at a receiver each time the sink waited for a deadline.
struct WaitLog {
    FakeClock clock;
    SysSocket receiver;
    std::vector<uint64_t> deadlines;
    std::vector<std::vector<int>> arrivedBefore;  // packet sizes, per wait
};

std::vector<int> Arrived(SysSocket receiver) {
    std::vector<int> sizes;
    uint8_t buffer[2048];
    for (int n; (n = Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 0, nullptr, nullptr)) > 0;)
        sizes.push_back(n);
    return sizes;
}

PacerClock LoggingClock(WaitLog* log) {
    return PacerClock{log, [](void* s) { return static_cast<WaitLog*>(s)->clock.now; },
                      [](void* s, uint64_t deadline) {
                          auto* l = static_cast<WaitLog*>(s);
                          l->deadlines.push_back(deadline);
                          l->arrivedBefore.push_back(Arrived(l->receiver));
                          if (deadline > l->clock.now) l->clock.now = deadline;
                      }};
}

// Ports 1 (200 LEDs: two universes) and 2 (100 LEDs) over sACN to a
// receiver here, 40 frames per second, with or without a sync universe;
// each frame is ready `readyMs` after the one before left.
TEST(LiveSink, SyncLeavesAtTheDeadlineAfterDataSentEarly) {
    constexpr int kData = 3, kSync = 49, kDataSize = 126 + 3 * 170;
    for (const bool synced : {true, false}) {
        SCOPED_TRACE(synced ? "sync universe" : "no sync universe");
        WaitLog log;
        log.receiver = Sys_UdpSocket();
        uint16_t port = 0;
        ASSERT_TRUE(Sys_UdpBind(log.receiver, 0x7f000001, 0, &port));
        const std::string text =
            R"({"outputs": [{"protocol": "sacn", "address": "127.0.0.1", "ports": [1, 2], )" +
            std::string(synced ? R"("sync_universe": 7000, )" : "") + R"("udp_port": )" +
            std::to_string(port) + "}]}";
        static LiveConfig config;
        char message[256] = "";
        ASSERT_TRUE(ParseLiveOutputs(text.data(), text.size(), &config, message, sizeof message))
            << message;
        LiveSink* sink = LiveSinkCreate(config, LoggingClock(&log), 40);
        OutputSink output = LiveSinkOutput(sink);
        ConversionInfo info{};
        info.frameCount = 4;
        info.ledCount[0] = 200;
        info.ledCount[1] = 100;
        ASSERT_TRUE(output.begin(output.state, info)) << output.error(output.state);
        std::vector<uint8_t> values(600, 5);
        FrameLeds leds{};
        leds.values[0] = leds.values[1] = values.data();
        // Frame 3 is ready 4 ms after its deadline: it is shown 4 ms late.
        const uint64_t readyMs[] = {2, 3, 20, 29};
        std::vector<uint64_t> ready;
        std::vector<std::vector<int>> afterFrame;
        for (uint64_t ms : readyMs) {
            log.clock.now += ms * kMs;
            ready.push_back(log.clock.now);
            ASSERT_TRUE(output.frame(output.state, leds));
            afterFrame.push_back(Arrived(log.receiver));
        }
        const LiveStats stats = LiveSinkStatsOf(sink);
        LiveSinkDestroy(sink);
        Sys_CloseSocket(log.receiver);

        // The slots start when frame 0 is out; frames 1 and 2 wait for theirs.
        const uint64_t start = ready[0];
        ASSERT_EQ(log.deadlines, (std::vector<uint64_t>{start + 25 * kMs, start + 50 * kMs}));
        for (size_t wait = 0; wait < 2; ++wait) {
            SCOPED_TRACE(wait);
            const std::vector<int> arrived = log.arrivedBefore[wait];
            const std::vector<int> shown = afterFrame[wait + 1];
            if (synced) {
                // The frame's data was there before its deadline, its sync after.
                EXPECT_EQ(arrived.size(), size_t(kData));
                EXPECT_EQ(arrived.front(), kDataSize);
                EXPECT_EQ(shown, std::vector<int>{kSync});
            } else {
                EXPECT_TRUE(arrived.empty()) << "no data before the deadline";
                EXPECT_EQ(shown.size(), size_t(kData));
            }
        }
        EXPECT_EQ(afterFrame[0].size(), size_t(synced ? kData + 1 : kData) + 1)
            << "frame 0, and the universe discovery after it";
        EXPECT_EQ(stats.framesSent, 4);
        EXPECT_EQ(stats.pacing.frames, 4);
        EXPECT_DOUBLE_EQ(stats.pacing.maxMs, 4.0);
        EXPECT_DOUBLE_EQ(stats.pacing.p99Ms, 4.0);
        EXPECT_DOUBLE_EQ(stats.pacing.meanMs, 1.0);
    }
}

}  // namespace
