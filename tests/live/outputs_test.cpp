// The OUTPUTS file: the README's example read whole, defaults, and every
// refusal with the entry it names.
#include "live/outputs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "live/live_map.h"
#include "live/live_sink.h"
#include "live/packets.h"
#include "platform/sys.h"
#include "support/test_support.h"

namespace {

bool Parse(const std::string& text, LiveConfig* config, std::string* error) {
    char message[512] = "";
    bool ok = ParseLiveOutputs(text.data(), text.size(), config, message, sizeof message);
    *error = message;
    return ok;
}

TEST(LiveOutputs, ReadsEveryKindOfOutputWithDefaults) {
    const char* text = R"({
      "source_name": "Quorvane",
      "outputs": [
        {"protocol": "sacn",   "address": "192.0.2.50", "ports": [1, 2, 3], "universe": 1,
         "pixels_per_universe": 170, "priority": 100, "sync_universe": 7000},
        {"protocol": "sacn",   "address": "multicast",    "ports": [4], "universe": 20},
        {"protocol": "artnet", "address": "192.0.2.20",    "ports": [5, 6], "universe": 0, "sync": true},
        {"protocol": "ddp",    "address": "192.0.2.30",    "ports": [8, 7], "udp_port": 4049}
      ]
    })";
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(Parse(text, &config, &error)) << error;
    EXPECT_STREQ(config.sourceName, "Quorvane");
    ASSERT_EQ(config.outputCount, 4);

    const LiveOutput& a = config.outputs[0];
    EXPECT_EQ(a.protocol, LiveSacn);
    EXPECT_EQ(a.address, 0xc0000232u);
    EXPECT_EQ(a.udpPort, kSacnUdpPort);
    EXPECT_EQ(a.portCount, 3);
    EXPECT_EQ(a.ports[0], 0);
    EXPECT_EQ(a.ports[2], 2);
    EXPECT_EQ(a.syncUniverse, 7000);
    EXPECT_EQ(a.priority, 100);

    const LiveOutput& b = config.outputs[1];
    EXPECT_TRUE(b.multicast);
    EXPECT_EQ(b.universe, 20);
    EXPECT_EQ(b.pixelsPerUniverse, 170);
    EXPECT_EQ(b.priority, 100);
    EXPECT_EQ(b.syncUniverse, 0);

    const LiveOutput& c = config.outputs[2];
    EXPECT_EQ(c.protocol, LiveArtNet);
    EXPECT_EQ(c.udpPort, kArtNetUdpPort);
    EXPECT_TRUE(c.artSync);
    EXPECT_EQ(c.universe, 0);

    const LiveOutput& d = config.outputs[3];
    EXPECT_EQ(d.protocol, LiveDdp);
    EXPECT_EQ(d.udpPort, 4049);
    EXPECT_EQ(d.ports[0], 7);  // listed order kept
    EXPECT_EQ(d.ports[1], 6);

    ASSERT_TRUE(Parse(R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1", "ports": [1]}]})",
                      &config, &error));
    EXPECT_STREQ(config.sourceName, "Quorvane");
    EXPECT_EQ(config.outputs[0].udpPort, kDdpUdpPort);
    ASSERT_TRUE(
        Parse(R"({"outputs": [{"protocol": "sacn", "address": "127.0.0.1", "ports": [1]}]})",
              &config, &error));
    EXPECT_EQ(config.outputs[0].universe, 1);
}

struct Refusal {
    const char* outputs;  // the "outputs" list, or a whole document when it starts with '!'
    const char* message;
};

TEST(LiveOutputs, RefusesEachFaultNamingTheEntry) {
    const Refusal cases[] = {
        {R"([{"protocol": "dmx", "address": "127.0.0.1", "ports": [1]}])",
         "outputs[0]: unknown protocol \"dmx\" (sacn, artnet or ddp)"},
        {R"([{"address": "127.0.0.1", "ports": [1]}])", "outputs[0]: \"protocol\" is missing"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [0]}])",
         "outputs[0] (ddp 127.0.0.1): port 0 is outside 1..256"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [257]}])",
         "outputs[0] (ddp 127.0.0.1): port 257 is outside 1..256"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [99999999999999999999]}])",
         "outputs[0] (ddp 127.0.0.1): port 1e+20 is not a port number 1..256"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [2.5]}])",
         "outputs[0] (ddp 127.0.0.1): port 2.5 is not a port number 1..256"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [3, 4, 3]}])",
         "outputs[0] (ddp 127.0.0.1): port 3 is listed twice"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [3]},
             {"protocol": "sacn", "address": "127.0.0.2", "ports": [3]}])",
         "outputs[1] (sacn 127.0.0.2): port 3 is listed twice"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": []}])",
         "outputs[0] (ddp 127.0.0.1): \"ports\" must be a list of port numbers 1..256"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 0}])",
         "outputs[0] (sacn 127.0.0.1): \"universe\" 0 is outside 1..63999"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 64000}])",
         "outputs[0] (sacn 127.0.0.1): \"universe\" 64000 is outside 1..63999"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1], "universe": 32768}])",
         "outputs[0] (artnet 127.0.0.1): \"universe\" 32768 is outside 0..32767"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1], "universe": -1}])",
         "outputs[0] (artnet 127.0.0.1): \"universe\" -1 is outside 0..32767"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "sync_universe": 64000}])",
         "outputs[0] (sacn 127.0.0.1): \"sync_universe\" 64000 is outside 1..63999"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "priority": 201}])",
         "outputs[0] (sacn 127.0.0.1): \"priority\" 201 is outside 0..200"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "pixels_per_universe": 171}])",
         "outputs[0] (sacn 127.0.0.1): \"pixels_per_universe\" 171 is outside 1..170"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "pixels_per_universe": 0}])",
         "outputs[0] (sacn 127.0.0.1): \"pixels_per_universe\" 0 is outside 1..170"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [1], "udp_port": 0}])",
         "outputs[0] (ddp 127.0.0.1): \"udp_port\" 0 is outside 1..65535"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [1], "udp_port": 65536}])",
         "outputs[0] (ddp 127.0.0.1): \"udp_port\" 65536 is outside 1..65535"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [1], "udp_port": "4048"}])",
         "outputs[0] (ddp 127.0.0.1): \"udp_port\" must be a whole number"},
        {R"([{"protocol": "ddp", "address": "controller.local", "ports": [1]}])",
         "outputs[0] (ddp controller.local): \"address\" must be a numeric IPv4 address"},
        {R"([{"protocol": "sacn", "address": "localhost", "ports": [1]}])",
         "outputs[0] (sacn localhost): \"address\" must be a numeric IPv4 address or "
         "\"multicast\""},
        {R"([{"protocol": "artnet", "address": "192.0.2.256", "ports": [1]}])",
         "outputs[0] (artnet 192.0.2.256): \"address\" must be a numeric IPv4 address"},
        {R"([{"protocol": "artnet", "address": "10.1", "ports": [1]}])",
         "outputs[0] (artnet 10.1): \"address\" must be a numeric IPv4 address"},
        {R"([{"protocol": "ddp", "address": "::1", "ports": [1]}])",
         "outputs[0] (ddp ::1): \"address\" must be a numeric IPv4 address"},
        {R"([{"protocol": "ddp", "address": "0.0.0.0", "ports": [1]}])",
         "outputs[0] (ddp 0.0.0.0): 0.0.0.0 is not a destination"},
        {R"([{"protocol": "ddp", "ports": [1]}])", "outputs[0]: \"address\" is missing"},
        {R"([{"protocol": "artnet", "address": "multicast", "ports": [1]}])",
         "outputs[0] (artnet multicast): \"multicast\" is for sacn only; give a numeric IPv4 "
         "address"},
        {R"([{"protocol": "ddp", "address": "multicast", "ports": [1]}])",
         "outputs[0] (ddp multicast): \"multicast\" is for sacn only; give a numeric IPv4 address"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [1], "universe": 3}])",
         "outputs[0] (ddp 127.0.0.1): \"universe\" is not a setting of ddp"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1], "sync_universe": 3}])",
         "outputs[0] (artnet 127.0.0.1): \"sync_universe\" is not a setting of artnet"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "sync": true}])",
         "outputs[0] (sacn 127.0.0.1): \"sync\" is not a setting of sacn"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1], "sync": 1}])",
         "outputs[0] (artnet 127.0.0.1): \"sync\" must be true or false"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "univers": 3}])",
         "outputs[0] (sacn 127.0.0.1): \"univers\" is not a setting of sacn"},
        {R"([])", "\"outputs\" must be a list of at least one output"},
        {R"(["ddp"])", "outputs[0]: must be an object"},
        {"!{}", "\"outputs\" is missing"},
        {"![]", "the file must hold one JSON object"},
        {R"(!{"outputs": [], "extra": 1})",
         "\"extra\" is not a setting (source_name, cid, interface, artnet_source_port, "
         "outputs)"},
        {R"(!{"interface": "eth0", "outputs": []})",
         "\"interface\" must be a numeric IPv4 address of this machine"},
        {R"([{"protocol": "sacn", "address": "multicast", "ports": [1], "interface": 3}])",
         "outputs[0] (sacn multicast): \"interface\" must be a numeric IPv4 address"},
        {R"(!{"artnet_source_port": 65536, "outputs": []})",
         "the file: \"artnet_source_port\" 65536 is outside 0..65535"},
        {R"(!{"cid": "6f1c0e2a-4b7d-4e59-9a31-2c8d5f0b7e1", "outputs": []})",
         "\"cid\" must be a UUID like"},
        {R"(!{"cid": "6f1c0e2a+4b7d-4e59-9a31-2c8d5f0b7e14", "outputs": []})",
         "\"cid\" must be a UUID like"},
        {R"(!{"cid": "6f1c0e2a-4b7d-4e59-9a31-2c8d5f0b7eg4", "outputs": []})",
         "\"cid\" must be a UUID like"},
        {R"(!{"source_name": 5, "outputs": []})", "\"source_name\" must be a string"},
        {"!{\"source_name\": \"0123456789012345678901234567890123456789012345678901234567890123\","
         " \"outputs\": []}",
         "\"source_name\" is longer than 63 bytes"},
        {R"(!{"outputs": [)", "not valid JSON: "},
    };
    static LiveConfig config;
    for (const Refusal& c : cases) {
        std::string text = c.outputs[0] == '!' ? std::string(c.outputs + 1)
                                               : std::string("{\"outputs\": ") + c.outputs + "}";
        std::string error;
        EXPECT_FALSE(Parse(text, &config, &error)) << text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << text << "\n -> " << error;
        EXPECT_EQ(config.outputCount, 0) << text;
    }
}

TEST(LiveOutputs, FileMessagesStartWithThePath) {
    ScopedTempDir dir("live-outputs");
    static LiveConfig config;
    char error[512];
    std::string missing = dir.File("missing.json");
    EXPECT_FALSE(ReadLiveOutputs(missing.c_str(), &config, error, sizeof error));
    EXPECT_EQ(std::string(error).rfind(missing + ": cannot be read", 0), 0u) << error;

    std::string bad = dir.File("bad.json");
    WriteWholeFile(bad, R"({"outputs": [{"protocol": "ddp", "address": "a.b", "ports": [1]}]})");
    EXPECT_FALSE(ReadLiveOutputs(bad.c_str(), &config, error, sizeof error));
    EXPECT_EQ(std::string(error),
              bad + ": outputs[0] (ddp a.b): \"address\" must be a numeric IPv4 address");
}

// Universes: a new one for each listed port and after every 170 LEDs; the
// last universe is checked against the layout's chain lengths.
TEST(LiveMap, UniversesStartPerPortAndEvery170Leds) {
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(Parse(R"({"outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [3, 1, 2], "universe": 10, "sync_universe": 99},
        {"protocol": "artnet", "address": "127.0.0.2", "ports": [4], "universe": 15, "pixels_per_universe": 100, "sync": true},
        {"protocol": "ddp", "address": "127.0.0.3", "ports": [6, 5]}]})",
                      &config, &error))
        << error;
    uint16_t leds[kPortCount] = {};
    leds[0] = 170;  // exactly one universe
    leds[1] = 0;    // no universe at all
    leds[2] = 341;  // 170 + 170 + 1
    leds[3] = 250;  // 100 + 100 + 50
    leds[4] = 481;  // 1443 bytes
    leds[5] = 1;    // 3 bytes, first in the stream
    LiveMap map;
    char message[256];
    ASSERT_TRUE(BuildLiveMap(config, leds, &map, message, sizeof message)) << message;

    struct Expected {
        LivePacketKind kind;
        int port;
        int universe;
        int firstLed;
        int ledCount;
        uint32_t offset;
        int bytes;
        bool push;
        uint32_t address;
    };
    const Expected expected[] = {
        {LivePacketSacnData, 2, 10, 0, 170, 0, 0, false, 0x7f000001},
        {LivePacketSacnData, 2, 11, 170, 170, 0, 0, false, 0x7f000001},
        {LivePacketSacnData, 2, 12, 340, 1, 0, 0, false, 0x7f000001},
        {LivePacketSacnData, 0, 13, 0, 170, 0, 0, false, 0x7f000001},
        {LivePacketArtDmx, 3, 15, 0, 100, 0, 0, false, 0x7f000002},
        {LivePacketArtDmx, 3, 16, 100, 100, 0, 0, false, 0x7f000002},
        {LivePacketArtDmx, 3, 17, 200, 50, 0, 0, false, 0x7f000002},
        {LivePacketDdp, 0, 0, 0, 0, 0, 1440, false, 0x7f000003},
        {LivePacketDdp, 0, 0, 0, 0, 1440, 6, true, 0x7f000003},
        {LivePacketSacnSync, 0, 99, 0, 0, 0, 0, false, 0x7f000001},
        {LivePacketArtSync, 0, 0, 0, 0, 0, 0, false, 0x7f000002},
    };
    ASSERT_EQ(map.packets.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const LivePacketPlan& p = map.packets[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p.kind, e.kind);
        EXPECT_EQ(p.address, e.address);
        if (e.kind == LivePacketSacnData || e.kind == LivePacketArtDmx) {
            EXPECT_EQ(p.port, e.port);
            EXPECT_EQ(p.firstLed, e.firstLed);
            EXPECT_EQ(p.ledCount, e.ledCount);
        }
        if (e.kind != LivePacketDdp && e.kind != LivePacketArtSync) {
            EXPECT_EQ(p.universe, e.universe);
        }
        if (e.kind == LivePacketDdp) {
            EXPECT_EQ(p.offset, e.offset);
            EXPECT_EQ(p.byteCount, e.bytes);
            EXPECT_EQ(p.push, e.push);
        }
    }
    EXPECT_EQ(map.streamBytes[2], 1446u);

    // Multicast: each universe to its own group, the sync packet to the sync universe's.
    ASSERT_TRUE(Parse(R"({"outputs": [{"protocol": "sacn", "address": "multicast", "ports": [1],
                          "universe": 258, "sync_universe": 7000}]})",
                      &config, &error));
    ASSERT_TRUE(BuildLiveMap(config, leds, &map, message, sizeof message));
    ASSERT_EQ(map.packets.size(), 2u);
    EXPECT_EQ(map.packets[0].address, 0xefff0102u);
    EXPECT_EQ(map.packets[1].address, SacnMulticastAddress(7000));
}

TEST(LiveMap, RefusesUniversesPastTheLastOne) {
    static LiveConfig config;
    std::string error;
    uint16_t leds[kPortCount] = {};
    leds[0] = 171;
    LiveMap map;
    char message[256];
    const Refusal cases[] = {
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 63999}])",
         "outputs[0] (sacn 127.0.0.1): port 1 needs universe 64000, past the last one, 63999"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1], "universe": 32767}])",
         "outputs[0] (artnet 127.0.0.1): port 1 needs universe 32768, past the last one, 32767"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 5, "sync_universe": 6}])",
         "outputs[0] (sacn 127.0.0.1): sync_universe 6 is also the data universe of port 1"},
        // Two outputs into one universe at one destination tear its frames.
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 5},
             {"protocol": "sacn", "address": "127.0.0.1", "ports": [2], "universe": 6}])",
         "outputs[1] (sacn 127.0.0.1): universe 6 is also sent by outputs[0] (sacn 127.0.0.1) to "
         "the same destination"},
        {R"([{"protocol": "sacn", "address": "multicast", "ports": [1], "universe": 5},
             {"protocol": "sacn", "address": "multicast", "ports": [2], "universe": 6}])",
         "outputs[1] (sacn multicast): universe 6 is also sent by outputs[0] (sacn multicast) to "
         "the same multicast group"},
        {R"([{"protocol": "artnet", "address": "127.0.0.1", "ports": [1]},
             {"protocol": "artnet", "address": "127.0.0.1", "ports": [2], "universe": 1}])",
         "outputs[1] (artnet 127.0.0.1): universe 1 is also sent by outputs[0] (artnet 127.0.0.1) "
         "to the same destination"},
        {R"([{"protocol": "ddp", "address": "127.0.0.1", "ports": [1]},
             {"protocol": "ddp", "address": "127.0.0.1", "ports": [2]}])",
         "outputs[1] (ddp 127.0.0.1): sends to the same DDP receiver and port as outputs[0] (ddp "
         "127.0.0.1)"},
        {R"([{"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 5},
             {"protocol": "sacn", "address": "127.0.0.1", "ports": [2], "universe": 9,
              "sync_universe": 6}])",
         "outputs[1] (sacn 127.0.0.1): sync_universe 6 is a data universe of outputs[0] (sacn "
         "127.0.0.1) at the same destination"},
    };
    leds[1] = 1;
    for (const Refusal& c : cases) {
        ASSERT_TRUE(Parse(std::string("{\"outputs\": ") + c.outputs + "}", &config, &error))
            << error;
        EXPECT_FALSE(BuildLiveMap(config, leds, &map, message, sizeof message));
        EXPECT_STREQ(message, c.message);
    }
}

// Outputs sharing a sync universe: one sync packet per destination and
// frame; those to other destinations share its sequence number. The same
// universe at other destinations, or other protocols at one, is no overlap.
TEST(LiveMap, SharedSyncUniverseGivesOneSyncPerDestination) {
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(Parse(R"({"outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 1, "sync_universe": 50},
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [2], "universe": 2, "sync_universe": 50},
        {"protocol": "sacn", "address": "127.0.0.2", "ports": [3], "universe": 1, "sync_universe": 50},
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [4], "universe": 1}]})",
                      &config, &error))
        << error;
    uint16_t leds[kPortCount] = {1, 1, 1, 1};
    LiveMap map;
    char message[256];
    ASSERT_TRUE(BuildLiveMap(config, leds, &map, message, sizeof message)) << message;
    ASSERT_EQ(map.packets.size(), 6u);
    EXPECT_EQ(map.packets[4].kind, LivePacketSacnSync);
    EXPECT_EQ(map.packets[4].address, 0x7f000001u);
    EXPECT_EQ(map.packets[5].kind, LivePacketSacnSync);
    EXPECT_EQ(map.packets[5].address, 0x7f000002u);
    EXPECT_EQ(map.packets[5].lead, 4u);
}

// The CID: the file's when it gives one, else the same one on every run
// for a machine and source name, and another for another name or machine.
TEST(LiveSource, CidFromTheFileOrTheMachineAndName) {
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(Parse(R"({"cid": "6F1C0E2A-4b7d-4e59-9a31-2c8d5f0b7e14", "outputs": [
        {"protocol": "ddp", "address": "127.0.0.1", "ports": [1]}]})",
                      &config, &error))
        << error;
    uint8_t cid[16];
    LiveSourceCid(config, cid);
    const uint8_t given[16] = {0x6f, 0x1c, 0x0e, 0x2a, 0x4b, 0x7d, 0x4e, 0x59,
                               0x9a, 0x31, 0x2c, 0x8d, 0x5f, 0x0b, 0x7e, 0x14};
    EXPECT_EQ(memcmp(cid, given, 16), 0);

    config.cidGiven = false;
    uint8_t again[16], derived[16];
    LiveSourceCid(config, again);
    char machine[256];
    ASSERT_TRUE(Sys_MachineId(machine, sizeof machine));
    DeriveSourceCid(machine, "Quorvane", derived);
    EXPECT_EQ(memcmp(again, derived, 16), 0) << "from this machine's id and the source name";
    EXPECT_EQ(derived[6] >> 4, 8) << "version 8";
    EXPECT_EQ(derived[8] >> 6, 2) << "the RFC variant";
    uint8_t other[16];
    DeriveSourceCid(machine, "Quorvane 2", other);
    EXPECT_NE(memcmp(other, derived, 16), 0);
    DeriveSourceCid("another machine", "Quorvane", other);
    EXPECT_NE(memcmp(other, derived, 16), 0);
    DeriveSourceCid("ab", "c", derived);
    DeriveSourceCid("a", "bc", other);
    EXPECT_NE(memcmp(other, derived, 16), 0) << "the two texts stay apart";
}

// "interface" at the top is every output's unless one names its own; Art-Net
// leaves from 6454 unless "artnet_source_port" says otherwise.
TEST(LiveOutputs, InterfaceAndArtNetSourcePort) {
    static LiveConfig config;
    std::string error;
    ASSERT_TRUE(Parse(R"({"interface": "192.0.2.1", "outputs": [
        {"protocol": "sacn", "address": "multicast", "ports": [1]},
        {"protocol": "ddp", "address": "192.0.2.7", "ports": [2], "interface": "192.0.2.3"}]})",
                      &config, &error))
        << error;
    EXPECT_EQ(config.outputs[0].interfaceAddress, 0xC0000201u);
    EXPECT_EQ(config.outputs[1].interfaceAddress, 0xC0000203u);
    EXPECT_EQ(config.artnetSourcePort, kArtNetUdpPort);
    ASSERT_TRUE(Parse(R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "artnet", "address": "192.0.2.7", "ports": [1]}]})",
                      &config, &error))
        << error;
    EXPECT_EQ(config.outputs[0].interfaceAddress, 0u);
    EXPECT_EQ(config.artnetSourcePort, 0);
}

}  // namespace
