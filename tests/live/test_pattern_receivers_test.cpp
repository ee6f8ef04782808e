// quorvane-play --test against real receivers: the npm packages `sacn` and
// `dmxnet` run by Node.js get the pattern's LED values, universe by
// universe, and the sACN streams end terminated. Everything is sent to
// 127.0.0.1; the binary runs only where loopback is the only interface
// (CTest starts it in a network namespace of its own).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "files/project_file.h"
#include "model/layout.h"
#include "node_receiver.h"
#include "support/edits.h"
#include "support/process.h"
#include "support/test_support.h"

namespace {

using nlohmann::json;

std::string Repeat(const std::string& hex, int times) {
    std::string out;
    for (int k = 0; k < times; ++k) out += hex;
    return out;
}

TEST(TestPatternReceivers, OrderAndWalkReachSacnAndArtNetReceivers) {
    ASSERT_TRUE(OnlyLoopback()) << "run inside a network namespace with loopback only "
                                   "(CTest does this)";
    ScopedTempDir dir("test-pattern-receivers");
    ResetRunState();
    // Port 1: 180 LEDs (universes 1 and 2 of sACN), port 2: 4 LEDs (Art-Net).
    for (int k = 0; k < 180; ++k) AddLed(0, {uint16_t(k), 10});
    for (int k = 0; k < 4; ++k) AddLed(1, {uint16_t(k), 20});
    const std::string project = dir.File("show.quor");
    SaveProject(project.c_str(), HeaderView{});
    ResetRunState();
    const std::string outputs = dir.File("outputs.json");
    // Art-Net from any port: the test's receiver holds 6454 on this machine.
    WriteWholeFile(outputs, R"({"artnet_source_port": 0, "outputs": [
        {"protocol": "sacn", "address": "127.0.0.1", "ports": [1], "universe": 1},
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [2], "universe": 7}]})");

    {
        NodeReceiver sacn(dir, "sacn_receiver.js", {"5568", "1", "2"});
        NodeReceiver artnet(dir, "artnet_receiver.js", {"6454", "7"});
        ChildProcess play = StartChild(
            BuildDirectory() + "/quorvane-play",
            {"--test", "order", "--order", "GRB", "--fps", "50", "--frames", "3", project, outputs},
            dir.path(), "play");
        ASSERT_TRUE(WaitForExit(play, 10000));
        ASSERT_EQ(play.status, 0) << ReadWholeFile(play.stderrPath);
        EXPECT_EQ(ReadWholeFile(play.stdoutPath).rfind("red\n3 frames sent, 0 dropped, ", 0), 0u)
            << ReadWholeFile(play.stdoutPath);

        // The first second is red: in GRB order 00 fe 00 on every LED.
        // The package takes the universe discovery packet for a corrupt one.
        std::map<int, std::vector<json>> byUniverse;
        for (const json& line : sacn.WaitForLines(2 * 6 + 1)) {
            if (line["kind"] == "corrupt") continue;
            ASSERT_EQ(line["kind"], "data") << line.dump();
            byUniverse[line["universe"].get<int>()].push_back(line);
        }
        ASSERT_EQ(byUniverse[1].size(), 6u);
        ASSERT_EQ(byUniverse[2].size(), 6u);
        for (int f = 0; f < 6; ++f) {
            SCOPED_TRACE(f);
            const json& first = byUniverse[1][size_t(f)];
            const json& second = byUniverse[2][size_t(f)];
            EXPECT_EQ(first["options"], f < 3 ? 0 : 0x40);  // then the stream ends
            EXPECT_EQ(second["options"], f < 3 ? 0 : 0x40);
            if (f >= 3) continue;
            EXPECT_EQ(first["data"], Repeat("00fe00", 170));
            EXPECT_EQ(second["data"], Repeat("00fe00", 10));
        }
        const std::vector<json> dmx = artnet.WaitForLines(3);
        ASSERT_EQ(dmx.size(), 3u);
        for (const json& line : dmx) {
            EXPECT_EQ(line["universe"], 7);
            EXPECT_EQ(line["data"], Repeat("00fe00", 4));
        }
    }

    // A walk over port 2 alone, one LED a frame: port 1 stays dark in its
    // universes, and the Art-Net receiver sees the LED move.
    NodeReceiver sacn(dir, "sacn_receiver.js", {"5568", "1", "2"});
    NodeReceiver artnet(dir, "artnet_receiver.js", {"6454", "7"});
    ChildProcess play = StartChild(BuildDirectory() + "/quorvane-play",
                                   {"--test", "walk", "--ports", "2", "--step-ms", "20", "--fps",
                                    "50", "--frames", "4", project, outputs},
                                   dir.path(), "walk");
    ASSERT_TRUE(WaitForExit(play, 10000));
    ASSERT_EQ(play.status, 0) << ReadWholeFile(play.stderrPath);
    EXPECT_EQ(ReadWholeFile(play.stdoutPath).rfind("port 2 LED 1 X=1 Y=2028\nport 2 LED 2 X=2 ", 0),
              0u)
        << ReadWholeFile(play.stdoutPath);
    const std::vector<json> dmx = artnet.WaitForLines(4);
    ASSERT_EQ(dmx.size(), 4u);
    for (int f = 0; f < 4; ++f) {
        std::string expected = Repeat("000000", 4);
        expected.replace(size_t(6 * f), 6, "fefefe");
        EXPECT_EQ(dmx[size_t(f)]["data"], expected) << f;
    }
    for (const json& line : sacn.WaitForLines(2 * 7 + 1)) {
        if (line["options"] == 0) {
            EXPECT_EQ(line["data"], Repeat("000000", line["universe"] == 1 ? 170 : 10));
        }
    }
}

}  // namespace
