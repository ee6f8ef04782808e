// The live sink on a fake clock: a frame whose slot has passed is counted
// as dropped and sends nothing; the frames on time go out whole, and a
// second pass of a looped video keeps the slots and counts running.
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

int Drain(SysSocket socket) {
    uint8_t buffer[2048];
    int count = 0;
    while (Sys_UdpReceive(socket, buffer, sizeof buffer, 100) > 0) ++count;
    return count;
}

TEST(LiveSink, LateFramesAreDroppedAndSendNothing) {
    SysSocket receiver = Sys_UdpSocket();
    uint16_t port = 0;
    ASSERT_TRUE(Sys_UdpBind(receiver, 0x7f000001, 0, &port));
    std::string text = R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1", "ports": [1],
                           "udp_port": )" +
                       std::to_string(port) + "}]}";
    static LiveConfig config;
    char error[256];
    ASSERT_TRUE(ParseLiveOutputs(text.data(), text.size(), &config, error, sizeof error)) << error;

    FakeClock clock;
    PacerClock pacerClock{&clock, [](void* s) { return static_cast<FakeClock*>(s)->now; },
                          [](void* s, uint64_t deadline) {
                              auto* c = static_cast<FakeClock*>(s);
                              if (deadline > c->now) c->now = deadline;
                          }};
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

    info.framesPerSecond = 50;  // 20 ms slots
    ASSERT_TRUE(output.begin(output.state, info)) << output.error(output.state);
    std::vector<uint8_t> values(1500, 7);
    FrameLeds leds{};
    leds.values[0] = values.data();
    // Frame 2 takes 45 ms: ready at 65 ms after the first slot began, when
    // its slot (40..60) has passed. Frame 3's slot (60..80) is still open.
    const uint64_t work[] = {1, 1, 45, 1, 1, 1};
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
    EXPECT_EQ(stats.lastSend - stats.firstSend, 6 * 20 * kMs);
    LiveSinkEnd(sink);
    LiveSinkDestroy(sink);
    Sys_CloseSocket(receiver);
}

}  // namespace
