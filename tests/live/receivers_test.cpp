// Live output against real receivers: the npm packages `sacn` and `dmxnet`
// run by Node.js, and a DDP receiver written here from the public DDP
// description. Each protocol's pixels must arrive exactly as the sink got
// them (the values a .led conversion stores). A raw receiver checks the
// sequence numbers and the synchronization packets.
//
// Everything is sent to 127.0.0.1, to sACN multicast groups on loopback, or
// (the interface, broadcast and discovery cases) to 192.0.2.0/24 over a veth
// pair a test makes and removes; the binary runs only where loopback is the
// only interface (CTest starts it in a network namespace of its own), and so
// do the Node.js receivers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "live/live_sink.h"
#include "live/outputs.h"
#include "live/packets.h"
#include "node_receiver.h"
#include "platform/sys.h"
#include "support/process.h"
#include "support/test_support.h"

namespace {

using nlohmann::json;

std::string Hex(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// LED values of a small layout, different in every frame, port and LED.
struct Frames {
    uint16_t ledCount[kPortCount] = {};
    std::vector<std::vector<uint8_t>> values[kPortCount];  // [port][frame]

    Frames(std::initializer_list<std::pair<int, int>> ports, int frameCount) {
        for (auto [port, leds] : ports) {
            ledCount[port] = uint16_t(leds);
            for (int f = 0; f < frameCount; ++f) {
                std::vector<uint8_t> bytes(size_t(3 * leds));
                for (size_t i = 0; i < bytes.size(); ++i)
                    bytes[i] = uint8_t(i * 7 + size_t(port) * 13 + size_t(f) * 29 + (i >> 8));
                values[port].push_back(bytes);
            }
        }
    }
    FrameLeds Frame(int f) const {
        FrameLeds leds{};
        leds.frameIndex = f;
        for (int p = 0; p < kPortCount; ++p)
            if (ledCount[p]) leds.values[p] = values[p][size_t(f)].data();
        return leds;
    }
};

LiveConfig ParseConfig(const std::string& text) {
    static LiveConfig config;
    char error[512];
    EXPECT_TRUE(ParseLiveOutputs(text.data(), text.size(), &config, error, sizeof error)) << error;
    return config;
}

// Plays `frameCount` frames through a live sink at 200 frames per second.
LiveStats Play(const LiveConfig& config, const Frames& frames, int frameCount) {
    LiveSink* sink = LiveSinkCreate(config, MonotonicPacerClock(), 200.0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.videoPath = "test.mp4";
    info.frameCount = frameCount;
    info.framesPerSecond = 25;
    memcpy(info.ledCount, frames.ledCount, sizeof info.ledCount);
    EXPECT_TRUE(output.begin(output.state, info)) << output.error(output.state);
    for (int f = 0; f < frameCount; ++f)
        EXPECT_TRUE(output.frame(output.state, frames.Frame(f))) << output.error(output.state);
    EXPECT_TRUE(output.finish(output.state, frameCount));
    LiveSinkEnd(sink);
    LiveStats stats = LiveSinkStatsOf(sink);
    LiveSinkDestroy(sink);
    return stats;
}

class LiveReceivers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OnlyLoopback())
            << "run inside a network namespace with loopback only: "
               "unshare -rn sh -c 'ip link set lo up; ...' (CTest does this)";
    }
    ScopedTempDir dir{"live-receivers"};
};

TEST_F(LiveReceivers, SacnReceiverGetsEveryUniverseAsConverted) {
    // Port 2 (340 LEDs) fills universes 1 and 2 exactly; port 1 (171 LEDs)
    // takes 3 and 4, the last with a single LED.
    const int kFrames = 3;
    Frames frames({{1, 340}, {0, 171}}, kFrames);
    LiveConfig config = ParseConfig(R"({"source_name": "Quorvane test", "outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [2, 1], "universe": 1, "priority": 150}]})");
    NodeReceiver receiver(dir, "sacn_receiver.js", {"5568", "1", "2", "3", "4"});
    LiveStats stats = Play(config, frames, kFrames);
    EXPECT_EQ(stats.framesSent, kFrames);
    EXPECT_EQ(stats.packetsSent, 4 * kFrames + 4 * 3 + 1);  // and one universe discovery

    // The package takes the discovery packet for a corrupt one; it is
    // checked on its own in UniverseDiscoveryEveryTenSeconds.
    std::vector<json> lines = receiver.WaitForLines(4 * kFrames + 4 * 3 + 1);
    size_t discovery = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i]["kind"] == "corrupt") discovery = i;
    ASSERT_EQ(discovery, 4u) << "after the first frame";
    lines.erase(lines.begin() + long(discovery));
    struct Slice {
        int port, first, count;
    };
    std::map<int, Slice> universes = {
        {1, {1, 0, 170}}, {2, {1, 170, 170}}, {3, {0, 0, 170}}, {4, {0, 170, 1}}};
    std::map<int, std::vector<json>> byUniverse;
    for (const json& line : lines) {
        ASSERT_EQ(line["kind"], "data") << line.dump();
        byUniverse[line["universe"].get<int>()].push_back(line);
    }
    ASSERT_EQ(byUniverse.size(), 4u);
    std::string cid = lines[0]["cid"];
    for (auto& [universe, packets] : byUniverse) {
        SCOPED_TRACE(universe);
        ASSERT_EQ(packets.size(), size_t(kFrames + 3));
        const Slice& slice = universes[universe];
        int firstSequence = packets[0]["sequence"];
        for (int f = 0; f < kFrames + 3; ++f) {
            const json& p = packets[size_t(f)];
            EXPECT_EQ(p["sequence"].get<int>(), (firstSequence + f) & 0xff);
            EXPECT_EQ(p["priority"], 150);
            EXPECT_EQ(p["source"], "Quorvane test");
            EXPECT_EQ(p["cid"], cid);
            EXPECT_EQ(p["sync"], 0);
            if (f < kFrames) {
                EXPECT_EQ(p["options"], 0);
                const auto& bytes = frames.values[slice.port][size_t(f)];
                EXPECT_EQ(p["data"], Hex(bytes.data() + 3 * slice.first, size_t(3 * slice.count)));
            } else {
                EXPECT_EQ(p["options"], 0x40);  // the stream ends
            }
        }
    }
}

TEST_F(LiveReceivers, SacnMulticastReachesEachUniversesGroup) {
    Frames frames({{4, 200}}, 2);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "sacn", "address": "multicast", "ports": [5], "universe": 300}]})");
    NodeReceiver receiver(dir, "sacn_receiver.js", {"5568", "300", "301"});
    Play(config, frames, 2);
    std::vector<json> lines = receiver.WaitForLines(4);
    std::map<int, std::vector<std::string>> data;
    for (const json& line : lines)
        if (line["kind"] == "data" && line["options"] == 0)
            data[line["universe"]].push_back(line["data"]);
    ASSERT_EQ(data[300].size(), 2u);
    ASSERT_EQ(data[301].size(), 2u);
    EXPECT_EQ(data[300][1], Hex(frames.values[4][1].data(), 510));
    EXPECT_EQ(data[301][1], Hex(frames.values[4][1].data() + 510, 90));
}

TEST_F(LiveReceivers, ArtNetReceiverGetsEveryUniverseAsConverted) {
    // Port-addresses 255 and 256 (net 0 sub-uni 0xff, then net 1 sub-uni 0),
    // then port 9 on 257 with one LED: 3 channels sent as 4.
    const int kFrames = 3;
    Frames frames({{2, 171}, {8, 1}}, kFrames);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [3, 9], "universe": 255}]})");
    NodeReceiver receiver(dir, "artnet_receiver.js", {"6454", "255", "256", "257"});
    Play(config, frames, kFrames);
    std::vector<json> lines = receiver.WaitForLines(3 * kFrames);
    std::map<int, std::vector<std::string>> data;
    for (const json& line : lines) data[line["universe"]].push_back(line["data"]);
    ASSERT_EQ(data.size(), 3u);
    for (int f = 0; f < kFrames; ++f) {
        SCOPED_TRACE(f);
        ASSERT_EQ(data[255].size(), size_t(kFrames));
        ASSERT_EQ(data[256].size(), size_t(kFrames));
        ASSERT_EQ(data[257].size(), size_t(kFrames));
        const auto& port3 = frames.values[2][size_t(f)];
        EXPECT_EQ(data[255][size_t(f)], Hex(port3.data(), 510));
        EXPECT_EQ(data[256][size_t(f)], Hex(port3.data() + 510, 3) + "00");
        EXPECT_EQ(data[257][size_t(f)], Hex(frames.values[8][size_t(f)].data(), 3) + "00");
    }
}

// Everything a raw UDP socket on 127.0.0.1:port receives, until quiet.
struct RawReceiver {
    SysSocket socket = Sys_UdpSocket();
    std::vector<std::vector<uint8_t>> packets;
    std::thread thread;
    std::atomic<bool> quit{false};

    explicit RawReceiver(uint16_t port) {
        // Room for a whole test's packets, should this thread be kept from
        // running for a while on a busy machine.
        int size = 16 << 20;
        if (setsockopt(int(socket), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            setsockopt(int(socket), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        EXPECT_TRUE(Sys_UdpBind(socket, 0x7f000001, port, nullptr));
        thread = std::thread([this] {
            uint8_t buffer[2048];
            while (!quit) {
                int n = Sys_UdpReceiveFrom(socket, buffer, sizeof buffer, 50, nullptr, nullptr);
                if (n > 0) packets.emplace_back(buffer, buffer + n);
            }
        });
    }
    std::vector<std::vector<uint8_t>> Stop() {
        Sys_Sleep(300);
        quit = true;
        thread.join();
        Sys_CloseSocket(socket);
        return packets;
    }
};

unsigned Get16(const std::vector<uint8_t>& p, size_t at) {
    return unsigned(p[at] << 8 | p[at + 1]);
}
uint32_t Get32(const std::vector<uint8_t>& p, size_t at) {
    return uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 | p[at + 3];
}

// The DDP receiver, from the public description: 10-byte header (flags with
// version 1 in bits 6-7 and push in bit 0, sequence in the low 4 bits, data
// type, destination id, 32-bit offset, 16-bit length, big-endian), the data
// placed at its offset, and the frame complete at the packet with push.
TEST_F(LiveReceivers, DdpReceiverGetsTheStreamAsConverted) {
    const int kFrames = 4;
    Frames frames({{2, 481}, {0, 2048}}, kFrames);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "ddp", "address": "127.0.0.1", "ports": [3, 1]}]})");
    RawReceiver receiver(kDdpUdpPort);
    Play(config, frames, kFrames);
    std::vector<std::vector<uint8_t>> packets = receiver.Stop();

    const size_t streamSize = 3 * (481 + 2048);
    const size_t perFrame = (streamSize + 1439) / 1440;
    ASSERT_EQ(packets.size(), perFrame * kFrames);
    std::vector<uint8_t> display(streamSize, 0);
    std::vector<std::vector<uint8_t>> shown;
    int expectedSequence = 1;
    size_t nextOffset = 0;
    for (const auto& p : packets) {
        ASSERT_GE(p.size(), 10u);
        EXPECT_EQ(p[0] & 0xc0, 0x40);  // version 1
        EXPECT_EQ(p[1] & 0x0f, expectedSequence);
        expectedSequence = expectedSequence == 15 ? 1 : expectedSequence + 1;
        EXPECT_EQ(p[2], 0x0b);
        EXPECT_EQ(p[3], 1);
        uint32_t offset = Get32(p, 4);
        unsigned length = Get16(p, 8);
        EXPECT_EQ(offset, nextOffset);
        EXPECT_LE(length, 1440u);
        ASSERT_EQ(p.size(), 10u + length);
        ASSERT_LE(offset + length, display.size());
        memcpy(display.data() + offset, p.data() + 10, length);
        nextOffset = offset + length;
        bool push = p[0] & 0x01;
        EXPECT_EQ(push, nextOffset == streamSize);
        if (push) {
            shown.push_back(display);
            nextOffset = 0;
        }
    }
    ASSERT_EQ(shown.size(), size_t(kFrames));
    for (int f = 0; f < kFrames; ++f) {
        std::vector<uint8_t> expected = frames.values[2][size_t(f)];
        expected.insert(expected.end(), frames.values[0][size_t(f)].begin(),
                        frames.values[0][size_t(f)].end());
        EXPECT_TRUE(shown[size_t(f)] == expected) << "frame " << f;
    }
}

// Sequence numbers over more than 255 frames and one synchronization packet
// after each frame's data, for sACN and Art-Net at once.
TEST_F(LiveReceivers, SequenceNumbersWrapAndSyncFollowsEachFrame) {
    const int kFrames = 260;
    Frames frames({{0, 171}, {1, 10}}, kFrames);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 7, "sync_universe": 9},
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [2], "universe": 3, "sync": true}]})");
    RawReceiver sacn(kSacnUdpPort);
    RawReceiver artnet(kArtNetUdpPort);
    Play(config, frames, kFrames);
    std::vector<std::vector<uint8_t>> sacnPackets = sacn.Stop();
    std::vector<std::vector<uint8_t>> artnetPackets = artnet.Stop();
    // The universe discovery after the first frame (checked apart).
    ASSERT_GT(sacnPackets.size(), 3u);
    EXPECT_EQ(sacnPackets[3].size(), 120u + 2 * 2);
    sacnPackets.erase(sacnPackets.begin() + 3);

    // sACN: per frame universe 7, universe 8, then the sync packet for 9;
    // then three stream-terminated packets per universe.
    ASSERT_EQ(sacnPackets.size(), size_t(3 * kFrames + 2 * 3));
    int dataSequence[2] = {-1, -1};
    int syncSequence = -1;
    for (int f = 0; f < kFrames; ++f) {
        SCOPED_TRACE(f);
        for (int u = 0; u < 2; ++u) {
            const auto& p = sacnPackets[size_t(3 * f + u)];
            ASSERT_EQ(p.size(), size_t(126 + (u == 0 ? 510 : 3)));
            EXPECT_EQ(Get16(p, 113), unsigned(7 + u));
            EXPECT_EQ(Get16(p, 109), 9u);  // waits for universe 9's sync
            if (dataSequence[u] >= 0) {
                EXPECT_EQ(p[111], uint8_t(dataSequence[u] + 1));
            }
            dataSequence[u] = p[111];
        }
        const auto& sync = sacnPackets[size_t(3 * f + 2)];
        ASSERT_EQ(sync.size(), 49u);
        EXPECT_EQ(Get32(sync, 18), 8u);  // extended root vector
        EXPECT_EQ(Get32(sync, 40), 1u);  // synchronization
        EXPECT_EQ(Get16(sync, 45), 9u);
        if (syncSequence >= 0) {
            EXPECT_EQ(sync[44], uint8_t(syncSequence + 1));
        }
        syncSequence = sync[44];
        EXPECT_TRUE(memcmp(sync.data() + 22, sacnPackets[0].data() + 22, 16) == 0);  // one CID
    }
    for (size_t i = size_t(3 * kFrames); i < sacnPackets.size(); ++i)
        EXPECT_EQ(sacnPackets[i][112], 0x40);

    // Art-Net: ArtDmx for port-address 3 with sequence 1..255, 1, 2, ..., then ArtSync.
    ASSERT_EQ(artnetPackets.size(), size_t(2 * kFrames));
    for (int f = 0; f < kFrames; ++f) {
        SCOPED_TRACE(f);
        const auto& dmx = artnetPackets[size_t(2 * f)];
        ASSERT_EQ(dmx.size(), 18u + 30u);
        EXPECT_EQ(dmx[9], 0x50);
        EXPECT_EQ(dmx[12], f % 255 + 1);
        EXPECT_EQ(dmx[14], 3);
        EXPECT_EQ(Hex(dmx.data() + 18, 30), Hex(frames.values[1][size_t(f)].data(), 30));
        const auto& sync = artnetPackets[size_t(2 * f + 1)];
        ASSERT_EQ(sync.size(), 14u);
        EXPECT_EQ(sync[9], 0x52);
    }
}

// A destination without a route (there is none to 192.0.2.0/24 in this
// namespace): its packets fail, each frame is counted as not sent whole
// with the first failure kept, and the packets after it still go out.
TEST_F(LiveReceivers, SendErrorsAreCountedAndTheRestStillGoesOut) {
    Frames frames({{0, 5}, {1, 5}}, 3);
    RawReceiver ddp(kDdpUdpPort);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "ddp", "address": "192.0.2.200", "ports": [1]},
        {"protocol": "ddp", "address": "127.0.0.1", "ports": [2]}]})");
    LiveSink* sink = LiveSinkCreate(config, MonotonicPacerClock(), 200.0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.videoPath = "test.mp4";
    info.frameCount = 3;
    info.framesPerSecond = 25;
    memcpy(info.ledCount, frames.ledCount, sizeof info.ledCount);
    ASSERT_TRUE(output.begin(output.state, info)) << output.error(output.state);
    for (int f = 0; f < 3; ++f) EXPECT_TRUE(output.frame(output.state, frames.Frame(f)));
    LiveSinkEnd(sink);
    const LiveStats stats = LiveSinkStatsOf(sink);
    LiveSinkDestroy(sink);
    EXPECT_EQ(stats.framesSent, 0);
    EXPECT_EQ(stats.framesNotSent, 3);
    EXPECT_EQ(stats.packetsSent, 3);
    EXPECT_STREQ(stats.firstSendError, "send to 192.0.2.200:4048 failed: Network is unreachable");
    const std::vector<std::vector<uint8_t>> got = ddp.Stop();
    ASSERT_EQ(got.size(), 3u);
    for (int f = 0; f < 3; ++f)
        EXPECT_EQ(Hex(got[size_t(f)].data() + 10, 15), Hex(frames.values[1][size_t(f)].data(), 15));
}

// Universe discovery on a fake clock: with the first frame and every 10 s
// after, to each sACN destination (the discovery universe's group for
// multicast), listing every universe in ascending order, 512 per page.
TEST_F(LiveReceivers, UniverseDiscoveryEveryTenSeconds) {
    struct Clock {
        uint64_t now = 1000000000;
    } clock;
    PacerClock pacerClock{&clock, [](void* s) { return static_cast<Clock*>(s)->now; },
                          [](void* s, uint64_t deadline) {
                              auto* c = static_cast<Clock*>(s);
                              if (deadline > c->now) c->now = deadline;
                          }};
    // 60 ports of 10 universes, 300 per output: two pages.
    std::vector<std::pair<int, int>> ports;
    std::string list;
    for (int p = 0; p < 60; ++p) ports.push_back({p, 1700});  // 10 universes each
    Frames frames({{0, 1}}, 1);
    for (auto [port, leds] : ports) frames.ledCount[port] = uint16_t(leds);
    for (int p = 0; p < 60; ++p) list += (p ? ", " : "") + std::to_string(p + 1);
    LiveConfig config = ParseConfig(R"({"outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [)" +
                                    list.substr(0, list.find(", 31")) + R"(], "universe": 101},
        {"protocol": "sacn", "address": "multicast", "ports": [)" +
                                    list.substr(list.find("31")) + R"(], "universe": 1001}]})");
    RawReceiver unicast(kSacnUdpPort);
    SysSocket group = Sys_UdpSocket();
    int on = 1;
    setsockopt(int(group), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ASSERT_TRUE(
        Sys_UdpBind(group, SacnMulticastAddress(kSacnDiscoveryUniverse), kSacnUdpPort, nullptr));
    ip_mreq join{};
    join.imr_multiaddr.s_addr = htonl(SacnMulticastAddress(kSacnDiscoveryUniverse));
    join.imr_interface.s_addr = htonl(0x7f000001);
    ASSERT_EQ(setsockopt(int(group), IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);

    LiveSink* sink = LiveSinkCreate(config, pacerClock, 0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.frameCount = 22;
    info.framesPerSecond = 2;
    memcpy(info.ledCount, frames.ledCount, sizeof info.ledCount);
    ASSERT_TRUE(output.begin(output.state, info)) << output.error(output.state);
    std::vector<uint8_t> values(3 * 1700, 1);
    FrameLeds leds{};
    for (auto [port, count] : ports) leds.values[port] = values.data();
    for (int f = 0; f < 22; ++f) {  // 10.5 s
        leds.frameIndex = f;
        ASSERT_TRUE(output.frame(output.state, leds));
    }
    EXPECT_EQ(LiveSinkStatsOf(sink).discoveries, 2);
    LiveSinkDestroy(sink);

    std::vector<std::vector<uint8_t>> found;
    for (const auto& p : unicast.Stop())
        if (p.size() >= 120 && Get32(p, 18) == 8 && Get32(p, 40) == 2) found.push_back(p);
    uint8_t buffer[2048];
    int n;
    std::vector<std::vector<uint8_t>> grouped;
    while ((n = Sys_UdpReceiveFrom(group, buffer, sizeof buffer, 200, nullptr, nullptr)) > 0)
        grouped.emplace_back(buffer, buffer + n);
    Sys_CloseSocket(group);
    ASSERT_EQ(found.size(), 4u) << "two pages, twice";
    ASSERT_EQ(grouped.size(), 4u);
    std::vector<unsigned> expected;
    for (int u = 0; u < 300; ++u) expected.push_back(unsigned(101 + u));
    for (int u = 0; u < 300; ++u) expected.push_back(unsigned(1001 + u));
    for (const auto* packets : {&found, &grouped})
        for (size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            const std::vector<uint8_t>& p = (*packets)[i];
            const size_t count = i % 2 == 0 ? 512 : 88;
            ASSERT_EQ(p.size(), 120 + 2 * count);
            EXPECT_EQ(Get32(p, 18), 8u);  // extended root vector
            EXPECT_EQ(Get16(p, 16) & 0x0FFF, p.size() - 16);
            EXPECT_EQ(Get16(p, 38) & 0x0FFF, p.size() - 38);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 44)), "Quorvane");
            EXPECT_EQ(Get16(p, 112) & 0x0FFF, p.size() - 112);
            EXPECT_EQ(Get32(p, 114), 1u);  // universe list
            EXPECT_EQ(p[118], i % 2);      // page
            EXPECT_EQ(p[119], 1);          // last page
            for (size_t u = 0; u < count; ++u)
                ASSERT_EQ(Get16(p, 120 + 2 * u), expected[(i % 2) * 512 + u]) << u;
        }
}

LiveSink* Begun(const LiveConfig& config, const Frames& frames, std::string* error) {
    LiveSink* sink = LiveSinkCreate(config, MonotonicPacerClock(), 200.0);
    OutputSink output = LiveSinkOutput(sink);
    ConversionInfo info{};
    info.videoPath = "test.mp4";
    info.frameCount = 1;
    info.framesPerSecond = 25;
    memcpy(info.ledCount, frames.ledCount, sizeof info.ledCount);
    const bool ok = output.begin(output.state, info);
    *error = ok ? "" : output.error(output.state);
    return sink;
}

// Art-Net leaves from UDP port 6454; when another program holds it the
// output is refused naming the port, and "artnet_source_port": 0 sends
// from any port.
TEST_F(LiveReceivers, ArtNetLeavesFromPort6454) {
    Frames frames({{0, 4}}, 1);
    SysSocket receiver = Sys_UdpSocket();
    uint16_t port = 0;
    ASSERT_TRUE(Sys_UdpBind(receiver, 0x7f000001, 0, &port));
    const std::string outputs = R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1],
        "udp_port": )" + std::to_string(port) +
                                "}]}";
    LiveConfig config = ParseConfig("{\"outputs\": " + outputs);
    std::string error;
    LiveSink* sink = Begun(config, frames, &error);
    ASSERT_EQ(error, "");
    ASSERT_TRUE(LiveSinkOutput(sink).frame(sink, frames.Frame(0)));
    LiveSinkDestroy(sink);
    uint8_t buffer[600];
    uint32_t from = 0;
    uint16_t fromPort = 0;
    ASSERT_GT(Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 2000, &from, &fromPort), 0);
    EXPECT_EQ(fromPort, kArtNetUdpPort);

    SysSocket holder = Sys_UdpSocket();
    ASSERT_TRUE(Sys_UdpBind(holder, 0x7f000001, kArtNetUdpPort, nullptr));
    sink = Begun(config, frames, &error);
    LiveSinkDestroy(sink);
    EXPECT_EQ(error,
              "outputs[0] (artnet 127.0.0.1): cannot send from UDP port 6454, another program "
              "holds it (an Art-Net node or controller program?); \"artnet_source_port\": 0 "
              "sends from any port");
    config = ParseConfig("{\"artnet_source_port\": 0, \"outputs\": " + outputs);
    sink = Begun(config, frames, &error);
    EXPECT_EQ(error, "");
    ASSERT_TRUE(LiveSinkOutput(sink).frame(sink, frames.Frame(0)));
    LiveSinkDestroy(sink);
    ASSERT_GT(Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 2000, &from, &fromPort), 0);
    EXPECT_NE(fromPort, kArtNetUdpPort);
    Sys_CloseSocket(holder);
    Sys_CloseSocket(receiver);
}

int Shell(const std::string& command) {
    return std::system((command + " > /dev/null 2>&1").c_str());
}

// Packets sent through `device`, from this namespace's /proc/net/dev.
uint64_t PacketsSent(const std::string& device) {
    std::ifstream devices("/proc/net/dev");
    for (std::string line; std::getline(devices, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        name.erase(0, name.find_first_not_of(' '));
        if (name != device) continue;
        std::istringstream fields(line.substr(colon + 1));
        uint64_t value = 0;
        for (int k = 0; k < 10; ++k) fields >> value;  // the tenth: packets sent
        return value;
    }
    return 0;
}

// A veth pair in this namespace for the time of a test: qv0 192.0.2.1 (this
// side) and qv1 192.0.2.2 (the node's), on 192.0.2.0/25 (so the upper half
// of 192.0.2.0/24 has no route), no default route.
struct VethPair {
    bool made;
    VethPair() {
        made = Shell(
                   "ip link add qv0 type veth peer name qv1 && ip addr add 192.0.2.1/25 dev qv0 "
                   "&& ip addr add 192.0.2.2/25 dev qv1 && ip link set qv0 up && ip link set "
                   "qv1 up") == 0;
        Shell(
            "cd /proc/sys/net/ipv4/conf && echo 1 > qv1/accept_local && echo 0 > all/rp_filter && "
            "echo 0 > qv1/rp_filter");
        Sys_Sleep(200);
    }
    ~VethPair() { Shell("ip link del qv0"); }
};

SysSocket BoundTo(uint32_t address, uint16_t port) {
    SysSocket socket = Sys_UdpSocket();
    int on = 1;
    setsockopt(int(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    EXPECT_TRUE(Sys_UdpBind(socket, address, port, nullptr)) << strerror(errno);
    return socket;
}

// "interface": multicast leaves through the named interface even without a
// route for it, unicast from that address; an address this machine does
// not have, or no route from it, is refused before anything is sent. A
// veth pair made here, removed at the end: qv0 192.0.2.1 sends, qv1
// 192.0.2.2 receives; no default route.
TEST_F(LiveReceivers, InterfaceNamesWherePacketsLeave) {
    VethPair veth;
    ASSERT_TRUE(veth.made);
    // No route for multicast at all while this test runs.
    struct RouteAway {
        RouteAway() { Shell("ip route del 239.255.0.0/16 dev lo"); }
        ~RouteAway() { Shell("ip route add 239.255.0.0/16 dev lo"); }
    } away;
    Frames frames({{0, 4}}, 3);
    SysSocket receiver = Sys_UdpSocket();
    ASSERT_TRUE(Sys_UdpBind(receiver, 0, kSacnUdpPort, nullptr));
    ip_mreq group{};
    group.imr_multiaddr.s_addr = htonl(SacnMulticastAddress(1));
    group.imr_interface.s_addr = htonl(0xC0000202);
    ASSERT_EQ(setsockopt(int(receiver), IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group), 0)
        << strerror(errno);

    // Without an interface multicast has no way out here.
    LiveConfig config = ParseConfig(R"({"outputs": [
        {"protocol": "sacn", "address": "multicast", "ports": [1]}]})");
    std::string error;
    LiveSink* sink = Begun(config, frames, &error);
    ASSERT_EQ(error, "");
    LiveSinkOutput(sink).frame(sink, frames.Frame(0));
    EXPECT_EQ(LiveSinkStatsOf(sink).framesNotSent, 1);
    EXPECT_NE(std::string(LiveSinkStatsOf(sink).firstSendError).find("unreachable"),
              std::string::npos);
    LiveSinkDestroy(sink);

    const uint64_t before = PacketsSent("qv0");
    config = ParseConfig(R"({"interface": "192.0.2.1", "outputs": [
        {"protocol": "sacn", "address": "multicast", "ports": [1]},
        {"protocol": "ddp", "address": "192.0.2.2", "ports": [2], "udp_port": 4999}]})");
    frames = Frames({{0, 4}, {1, 2}}, 3);
    SysSocket ddp = Sys_UdpSocket();
    ASSERT_TRUE(Sys_UdpBind(ddp, 0xC0000202, 4999, nullptr));
    sink = Begun(config, frames, &error);
    ASSERT_EQ(error, "");
    for (int f = 0; f < 3; ++f) ASSERT_TRUE(LiveSinkOutput(sink).frame(sink, frames.Frame(f)));
    EXPECT_EQ(LiveSinkStatsOf(sink).framesSent, 3) << LiveSinkStatsOf(sink).firstSendError;
    LiveSinkDestroy(sink);
    // The three multicast packets left through qv0 (unicast to qv1's address,
    // one of this machine's, is delivered inside it).
    EXPECT_GE(PacketsSent("qv0") - before, 3u);
    uint8_t buffer[700];
    uint32_t from = 0;
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        ASSERT_EQ(Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 2000, &from, nullptr),
                  126 + 12);
        EXPECT_EQ(from, 0xC0000201u);
        EXPECT_EQ(Hex(buffer + 126, 12), Hex(frames.values[0][size_t(f)].data(), 12));
        ASSERT_EQ(Sys_UdpReceiveFrom(ddp, buffer, sizeof buffer, 2000, &from, nullptr), 16);
        EXPECT_EQ(from, 0xC0000201u);
    }

    const struct {
        const char* outputs;
        const char* error;
    } refused[] = {
        {R"({"outputs": [{"protocol": "sacn", "address": "multicast", "ports": [1],
             "interface": "192.0.2.9"}]})",
         "outputs[0] (sacn multicast): interface 192.0.2.9 is not an address of this machine "
         "(Cannot assign requested address)"},
        {R"({"interface": "192.0.2.1", "outputs": [{"protocol": "ddp", "address": "192.0.2.200",
             "ports": [1]}]})",
         "outputs[0] (ddp 192.0.2.200): no route to 192.0.2.200 from interface 192.0.2.1: Network "
         "is unreachable"},
    };
    for (const auto& c : refused) {
        config = ParseConfig(c.outputs);
        sink = Begun(config, frames, &error);
        LiveSinkDestroy(sink);
        EXPECT_EQ(error, c.error);
    }
    Sys_CloseSocket(ddp);
    Sys_CloseSocket(receiver);
}

// ArtSync goes to the directed broadcast of the node's network, ArtDmx to
// the node; two outputs to nodes of one network share one ArtSync.
TEST_F(LiveReceivers, ArtSyncToTheNetworksBroadcast) {
    VethPair veth;
    ASSERT_TRUE(veth.made);
    SysSocket node = BoundTo(0xC0000202, 6500), broadcast = BoundTo(0xC000027F, 6500);
    Frames frames({{0, 2}, {1, 2}}, 2);
    LiveConfig config = ParseConfig(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "artnet", "address": "192.0.2.2", "ports": [1], "sync": true, "udp_port": 6500},
        {"protocol": "artnet", "address": "192.0.2.3", "ports": [2], "sync": true, "udp_port": 6500}]})");
    const LiveStats stats = Play(config, frames, 2);
    EXPECT_EQ(stats.framesSent, 2) << stats.firstSendError;
    EXPECT_EQ(stats.packetsSent, 2 * 3);
    uint8_t buffer[600];
    for (int f = 0; f < 2; ++f) {
        ASSERT_EQ(Sys_UdpReceiveFrom(node, buffer, sizeof buffer, 2000, nullptr, nullptr), 18 + 6);
        EXPECT_EQ(buffer[9], 0x50);
    }
    // One ArtSync a frame was sent (the count above); the broadcast also
    // comes back to this machine's own sockets, so it may arrive twice here.
    int syncs = 0;
    for (int n;
         (n = Sys_UdpReceiveFrom(broadcast, buffer, sizeof buffer, 300, nullptr, nullptr)) > 0;
         ++syncs) {
        EXPECT_EQ(n, 14);
        EXPECT_EQ(buffer[9], 0x52);
    }
    EXPECT_GE(syncs, 2);
    Sys_CloseSocket(node);
    Sys_CloseSocket(broadcast);
}

// quorvane-play --discover: an ArtPoll to the broadcast of the interface's
// network from port 6454; the node played here answers with its
// ArtPollReply, and the tool lists it.
TEST_F(LiveReceivers, DiscoverListsTheNodesThatAnswer) {
    VethPair veth;
    ASSERT_TRUE(veth.made);
    SysSocket polls = BoundTo(0xC000027F, kArtNetUdpPort);
    SysSocket replies = BoundTo(0xC0000202, kArtNetUdpPort);
    std::atomic<int> pollSize{0}, pollPort{0};
    std::thread node([&] {
        uint8_t buffer[600];
        uint16_t port = 0;
        const int n = Sys_UdpReceiveFrom(polls, buffer, sizeof buffer, 5000, nullptr, &port);
        if (n < 10 || buffer[8] != 0x00 || buffer[9] != 0x20) return;
        pollSize = n;
        pollPort = port;
        uint8_t reply[239] = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x21, 192, 0, 2, 2};
        reply[14] = 0x36;  // port 6454, low byte first
        reply[15] = 0x19;
        reply[18] = 0x01;  // net 1
        reply[19] = 0x02;  // sub-net 2
        memcpy(reply + 26, "Test node", 9);
        memcpy(reply + 44, "A node the test plays", 21);
        reply[173] = 3;     // ports
        reply[174] = 0x80;  // output
        reply[175] = 0x80;
        reply[176] = 0x40;  // input
        reply[188] = 7;     // input 3: universe 7
        reply[190] = 3;     // outputs 1 and 2: universes 3 and 4
        reply[191] = 4;
        const SysDatagram answer{reply, sizeof reply, 0xC0000201, kArtNetUdpPort};
        Sys_UdpSendBatch(replies, &answer, 1);
    });
    ChildProcess tool = StartChild(BuildDirectory() + "/quorvane-play",
                                   {"--discover", "--interface", "192.0.2.1", "--wait", "1"},
                                   dir.path(), "discover");
    ASSERT_TRUE(WaitForExit(tool, 10000));
    node.join();
    EXPECT_EQ(tool.status, 0) << ReadWholeFile(tool.stderrPath);
    EXPECT_EQ(pollSize, kArtPollSize);
    EXPECT_EQ(pollPort, kArtNetUdpPort);
    EXPECT_EQ(ReadWholeFile(tool.stdoutPath),
              "192.0.2.2 \"Test node\" output 291, output 292, input 295\n1 nodes answered\n");
    Sys_CloseSocket(polls);
    Sys_CloseSocket(replies);

    tool = StartChild(BuildDirectory() + "/quorvane-play",
                      {"--discover", "--interface", "192.0.2.77", "--wait", "1"}, dir.path(),
                      "discover");
    ASSERT_TRUE(WaitForExit(tool, 10000));
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(ReadWholeFile(tool.stderrPath),
              "quorvane-play: --interface 192.0.2.77: not an address of this machine\n");
}

// Wireshark's dissectors read the capture: E1.31 data packets (universe,
// sequence, priority, source name, options) and ArtDmx / ArtSync, none of
// them malformed. Its E1.31 dissector does not know synchronization packets,
// and shows universes of fewer than 19 slots as malformed while laying out
// their bytes, so every universe here holds more.
TEST_F(LiveReceivers, TsharkDissectsEveryPacket) {
    const char* tshark = "/usr/bin/tshark";
    ASSERT_EQ(access(tshark, X_OK), 0) << "tshark is installed by scripts/deps";
    const int kFrames = 3;
    Frames frames({{0, 180}, {1, 20}}, kFrames);
    LiveConfig config = ParseConfig(R"({"source_name": "Quorvane", "outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 40, "priority": 90},
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [2], "universe": 513, "sync": true}]})");
    std::string capture = dir.File("live.pcapng");
    ChildProcess capturing =
        StartChild(tshark, {"-i", "lo", "-f", "udp port 5568 or udp port 6454", "-w", capture},
                   dir.path(), "capture");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadWholeFile(capturing.stderrPath).find("Capturing on") != std::string::npos;
        },
        10000))
        << ReadWholeFile(capturing.stderrPath);
    Sys_Sleep(300);
    Play(config, frames, kFrames);
    Sys_Sleep(300);
    StopChild(capturing);

    ChildProcess reading = StartChild(tshark,
                                      {"-r",
                                       capture,
                                       "--enable-heuristic",
                                       "acn",
                                       "-o",
                                       "acn.dmx_enable:TRUE",
                                       "-T",
                                       "fields",
                                       "-E",
                                       "separator=,",
                                       "-e",
                                       "acn.dmx.universe",
                                       "-e",
                                       "acn.dmx.seq_number",
                                       "-e",
                                       "acn.dmx.priority",
                                       "-e",
                                       "acn.dmx.source_name",
                                       "-e",
                                       "acn.dmx.options",
                                       "-e",
                                       "artnet.header.opcode",
                                       "-e",
                                       "artnet.output.universe",
                                       "-e",
                                       "artnet.output.sequence",
                                       "-e",
                                       "artnet.output.length",
                                       "-e",
                                       "_ws.malformed"},
                                      dir.path(), "dissect");
    ASSERT_TRUE(WaitForExit(reading, 20000));
    std::istringstream lines(ReadWholeFile(reading.stdoutPath));
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) got.push_back(line);

    std::vector<std::string> expected;
    // Each frame: the Art-Net data its sync holds back, the ArtSync, then
    // the sACN universes shown on arrival; the terminations at the end.
    for (int f = 0; f < kFrames + 3; ++f) {
        bool data = f < kFrames;
        if (data) {
            expected.push_back(",,,,,0x5000,513," + std::to_string(f + 1) + ",60,");
            expected.push_back(",,,,,0x5200,,,,");
        }
        for (int u = 0; u < 2; ++u) {
            expected.push_back(std::to_string(40 + u) + ",*,90,Quorvane," + (data ? "0" : "64") +
                               ",,,,,");
        }
        if (f == 0) expected.push_back(",,,,,,,,,");  // universe discovery
    }
    ASSERT_EQ(got.size(), expected.size()) << ReadWholeFile(reading.stdoutPath);
    int first[2] = {-1, -1};
    int seen[2] = {0, 0};
    for (size_t i = 0; i < got.size(); ++i) {
        std::string line = got[i];
        size_t star = expected[i].find('*');
        if (star != std::string::npos && line.size() > star) {
            // The sequence: consecutive per universe from wherever it started.
            size_t end = line.find(',', star);
            ASSERT_NE(end, std::string::npos) << line;
            int value = std::stoi(line.substr(star, end - star));
            int u = expected[i][1] - '0';
            if (first[u] < 0) first[u] = value;
            EXPECT_EQ(value, (first[u] + seen[u]++) & 0xff) << i;
            line = line.substr(0, star) + "*" + line.substr(end);
        }
        EXPECT_EQ(line, expected[i]) << i;
    }
}

}  // namespace
