// The test patterns through the programs: quorvane-convert --test writes
// controller files and FSEQ sequences that decode to the pattern's frames
// and prints the length; quorvane-play --test sends what those files hold;
// on a terminal (a pseudo-terminal here) the keys move the walk, each step
// prints its line and q ends with the sACN stream terminated. Everything
// goes to 127.0.0.1, to ports this test holds.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "convert/controller_decode.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "support/fseq_read.h"
#include "support/process.h"
#include "support/test_support.h"
#include "tool_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Ports 1, 2 and 4 with chains of 3, 2 and 4 LEDs; port 3 empty.
constexpr int kPorts[3] = {0, 1, 3};
constexpr int kLengths[3] = {3, 2, 4};

// The lit LED of each step of a one-port walk: port index and position.
std::vector<std::pair<int, int>> OnePortWalk() {
    std::vector<std::pair<int, int>> steps;
    for (int k = 0; k < 3; ++k)
        for (int led = 0; led < kLengths[k]; ++led) steps.push_back({kPorts[k], led});
    return steps;
}

// A frame of `leds` LEDs, `lit` (position, bytes) set, the rest 0.
Bytes Frame(int leds, const std::vector<std::pair<int, Bytes>>& lit) {
    Bytes frame(size_t(3 * leds), 0);
    for (const auto& [position, bytes] : lit)
        std::copy(bytes.begin(), bytes.end(), frame.begin() + 3 * position);
    return frame;
}

class TestPatternTools : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        project_ = dir_.File("show.quor");
        for (int k = 0; k < 3; ++k)
            for (int led = 0; led < kLengths[k]; ++led)
                AddPictureLed(kPorts[k], 10 * (k + 1) + led, 5 + k);
        SetChainColor(0, 200, 10, 0);
        SetChainColor(1, 0, 100, 50);
        SetChainColor(3, 30, 0, 255);
        SaveProject(project_.c_str(), HeaderView{});
        ResetRunState();
    }
    void TearDown() override { ResetRunState(); }

    std::vector<Bytes> Decoded(int port, const std::string& name) {
        DecodedControllerFile decoded;
        std::string error;
        const std::string path = dir_.File("PORT-" + std::to_string(port) + "-" + name);
        EXPECT_TRUE(DecodeControllerFile(path.c_str(), &decoded, &error)) << error;
        return decoded.frames;
    }

    ScopedTempDir dir_{"test-pattern-tools"};
    std::string project_;
};

TEST_F(TestPatternTools, ConvertWritesTheWalkAsControllerFilesAndPrintsItsLength) {
    const ToolRun run = RunTool("quorvane-convert",
                                "--test walk --one-port --step-ms 80 --progress none " + project_ +
                                    " " + dir_.File("walk.led"),
                                dir_.path());
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.output, "walk: 18 frames, 0.72 s at 25 frames per second\n");
    const auto steps = OnePortWalk();
    for (int port : {1, 2, 4}) {
        SCOPED_TRACE(port);
        const std::vector<Bytes> frames = Decoded(port, "walk.led");
        ASSERT_EQ(frames.size(), 18u);
        for (size_t f = 0; f < frames.size(); ++f) {
            // Every file holds 3 x the longest chain (4 LEDs) per frame.
            const auto& [litPort, position] = steps[f / 2];
            std::vector<std::pair<int, Bytes>> lit;
            if (litPort == port - 1) lit.push_back({position, {254, 254, 254}});
            EXPECT_EQ(frames[f], Frame(4, lit)) << "frame " << f;
        }
    }
    EXPECT_EQ(ReadWholeFile(dir_.File("PORT-3-walk.led")), "");  // no LEDs, no file
}

TEST_F(TestPatternTools, ConvertWritesTheOrderAsAnFseqSequence) {
    const ToolRun run = RunTool("quorvane-convert",
                                "--test order --format fseq --fps 4 --order GRB --progress none " +
                                    project_ + " " + dir_.File("order.fseq"),
                                dir_.path());
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.output, "order: 16 frames, 4.00 s at 4 frames per second\n");
    const FseqReadBack back = ReadFseq(ReadFileBytes(dir_.File("order.fseq")));
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.info.header.stepMs, 250);
    EXPECT_EQ(back.info.header.channelCount, 27u);  // 3 + 2 + 4 LEDs
    ASSERT_EQ(back.frames.size(), 16u);
    // Green, red, blue bytes: red, green, blue, then white, a second each.
    const Bytes colours[4] = {{0, 254, 0}, {254, 0, 0}, {0, 0, 254}, {254, 254, 254}};
    for (size_t f = 0; f < 16; ++f) {
        Bytes expected;
        for (int led = 0; led < 9; ++led)
            expected.insert(expected.end(), colours[f / 4].begin(), colours[f / 4].end());
        EXPECT_EQ(back.frames[f], expected) << "frame " << f;
    }
    // No video behind the sequence: no media file named in it.
    for (const FseqVariable& variable : back.info.variables)
        EXPECT_FALSE(variable.code[0] == 'm' && variable.code[1] == 'f');
}

TEST_F(TestPatternTools, PlaySendsWhatTheFilesHold) {
    SysSocket receiver = Sys_UdpSocket();
    uint16_t udpPort = 0;
    ASSERT_TRUE(Sys_UdpBind(receiver, 0x7f000001, 0, &udpPort));
    const std::string outputs = dir_.File("outputs.json");
    WriteWholeFile(outputs, R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1",
        "ports": [1, 2, 4], "udp_port": )" +
                                std::to_string(udpPort) + "}]}");
    const std::string options = "--test ports --ports 1,4 --order BRG --brightness 50,100,70 ";
    const ToolRun convert =
        RunTool("quorvane-convert",
                options + "--progress none " + project_ + " " + dir_.File("p.led"), dir_.path());
    ASSERT_EQ(convert.status, 0) << convert.error;
    const ToolRun play = RunTool(
        "quorvane-play", options + "--fps 100 --frames 3 " + project_ + " " + outputs, dir_.path());
    ASSERT_EQ(play.status, 0) << play.error;
    EXPECT_EQ(play.output.rfind("3 frames sent, 0 dropped, 3 packets sent, ", 0), 0u)
        << play.output;

    Bytes expected;
    for (int k = 0; k < 3; ++k) {
        const std::vector<Bytes> frames = Decoded(kPorts[k] + 1, "p.led");
        ASSERT_EQ(frames.size(), 250u);  // ten seconds at 25 per second
        expected.insert(expected.end(), frames[0].begin(), frames[0].begin() + 3 * kLengths[k]);
    }
    // Port 2 is not chosen: dark, in its place.
    EXPECT_EQ(Bytes(expected.begin() + 9, expected.begin() + 15), Bytes(6, 0));
    // Port 1's middle LED in its chain colour, 200, 10, 0 at 50 %, 100 %,
    // 70 % in BRG order.
    EXPECT_EQ(Bytes(expected.begin() + 3, expected.begin() + 6), (Bytes{0, 100, 10}));
    uint8_t buffer[2048];
    for (int f = 0; f < 3; ++f) {
        const int n = Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 2000, nullptr, nullptr);
        ASSERT_EQ(n, 10 + int(expected.size())) << "frame " << f;
        EXPECT_EQ(Bytes(buffer + 10, buffer + n), expected) << "frame " << f;
    }
    Sys_CloseSocket(receiver);
}

// With --keys the keys come from standard input without a terminal: here
// all at once, so only the step after both is shown.
TEST_F(TestPatternTools, KeysFromAPipeWithKeys) {
    WriteWholeFile(dir_.File("keys"), "\x1b[C\x1b[Cp");
    WriteWholeFile(dir_.File("outputs.json"),
                   R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1", "ports": [1],
                       "udp_port": 9}]})");
    const std::string command = BuildDirectory() +
                                "/quorvane-play --test walk --one-port --keys --frames 3 " +
                                project_ + " " + dir_.File("outputs.json") + " < " +
                                dir_.File("keys") + " > " + dir_.File("out") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadWholeFile(dir_.File("out"));
    EXPECT_EQ(ReadWholeFile(dir_.File("out")).rfind("port 2 LED 1 X=21 Y=7\n3 frames sent, ", 0),
              0u)
        << ReadWholeFile(dir_.File("out"));
}

TEST_F(TestPatternTools, UsageAndLayoutErrors) {
    const std::string led = " " + project_ + " " + dir_.File("t.led");
    const struct {
        const char* tool;
        std::string args;
    } usage[] = {
        {"quorvane-convert", "--test bogus" + led},
        {"quorvane-convert", "--test walk" + led + " extra.led"},
        {"quorvane-convert", "--test walk " + project_},
        {"quorvane-convert", "--one-port" + led},
        {"quorvane-convert", "--test walk --run 3" + led},
        {"quorvane-convert", "--test chase --level 1,2,3" + led},
        {"quorvane-convert", "--test walk --resize 10x10" + led},
        {"quorvane-convert", "--test walk --power-report p.csv" + led},
        {"quorvane-play", "--test walk --limit-amps 2 " + project_ + " o.json"},
        {"quorvane-convert", "--test walk --ports 0" + led},
        {"quorvane-convert", "--test walk --ports 2-1" + led},
        {"quorvane-convert", "--fps 25 " + project_ + " a.avi b.led"},
        {"quorvane-convert", "--step-ms 300 --format fseq " + project_ + " a.avi b.fseq"},
        {"quorvane-play", "--test walk " + project_},
        {"quorvane-play", "--test walk " + project_ + " a.avi o.json"},
        {"quorvane-play", "--step-ms 100 " + project_ + " a.avi o.json"},
        {"quorvane-play", "--keys " + project_ + " a.avi o.json"},
    };
    for (const auto& c : usage) {
        const ToolRun run = RunTool(c.tool, c.args, dir_.path());
        EXPECT_EQ(run.status, 2) << c.tool << " " << c.args << ": " << run.error;
        EXPECT_EQ(run.error.rfind(std::string(c.tool) + ": ", 0), 0u) << run.error;
    }
    const ToolRun empty = RunTool("quorvane-convert",
                                  "--progress none --test level --ports 3,5-9" + led, dir_.path());
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.error,
              "quorvane-convert: " + project_ + ": none of the chosen ports has LEDs\n");
    const ToolRun help = RunTool("quorvane-play", "--help", dir_.path());
    EXPECT_NE(help.output.find("--test"), std::string::npos);
}

// Every packet that reaches a UDP port of 127.0.0.1 while the test runs,
// read as it comes so the socket's buffer never overflows.
struct PacketLog {
    SysSocket socket = Sys_UdpSocket();
    uint16_t port = 0;
    std::vector<Bytes> packets;
    std::atomic<bool> quit{false};
    std::thread thread;

    PacketLog() {
        EXPECT_TRUE(Sys_UdpBind(socket, 0x7f000001, 0, &port));
        thread = std::thread([this] {
            uint8_t buffer[2048];
            while (!quit) {
                const int n =
                    Sys_UdpReceiveFrom(socket, buffer, sizeof buffer, 50, nullptr, nullptr);
                if (n > 0) packets.emplace_back(buffer, buffer + n);
            }
        });
    }
    // Waits until nothing more comes, then gives the packets.
    std::vector<Bytes> Stop() {
        Sys_Sleep(300);
        quit = true;
        thread.join();
        return packets;
    }
    ~PacketLog() {
        if (thread.joinable()) Stop();
        Sys_CloseSocket(socket);
    }
};

// A pseudo-terminal running quorvane-play; what it prints is read back line
// by line.
struct TerminalRun {
    ChildProcess child;
    int master = -1;
    std::string text;

    TerminalRun(const std::vector<std::string>& args, const std::string& dir) {
        const std::string program = BuildDirectory() + "/quorvane-play";
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        child.pid = pid;
    }
    ~TerminalRun() {
        StopChild(child);
        if (master >= 0) close(master);
    }
    // The lines so far, without the terminal's carriage returns.
    std::vector<std::string> Lines() {
        char buffer[4096];
        pollfd ready = {master, POLLIN, 0};
        while (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, size_t(n));
        }
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // Waits until `count` lines are in; the last one, or "" on a timeout.
    std::string WaitForLine(size_t count) {
        std::vector<std::string> lines;
        WaitUntil([&] { return (lines = Lines()).size() >= count; }, 5000);
        return lines.size() >= count ? lines[count - 1] : "";
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(master, keys.data(), keys.size()), ssize_t(keys.size()));
    }
};

TEST_F(TestPatternTools, WalkFollowsTheKeysOfATerminalAndQuitTerminatesTheStreams) {
    // sACN to a port of ours: ports 1, 2, 4 on universes 1, 2, 3.
    PacketLog receiver;
    const std::string outputs = dir_.File("outputs.json");
    WriteWholeFile(outputs, R"({"outputs": [{"protocol": "sacn", "address": "127.0.0.1",
        "ports": [1, 2, 4], "universe": 1, "udp_port": )" +
                                std::to_string(receiver.port) + "}]}");
    // Steps of an hour: only the keys move the walk.
    TerminalRun run(
        {"--test", "walk", "--one-port", "--step-ms", "3600000", "--fps", "50", project_, outputs},
        dir_.path());
    ASSERT_EQ(run.WaitForLine(1).rfind("keys: space pause/resume, left/right one LED", 0), 0u)
        << run.text;
    // LED k of chain c (from 0) at picture (10 * (c + 1) + k, 5 + c): the
    // read-out's Y counts from the top, from 1.
    EXPECT_EQ(run.WaitForLine(2), "port 1 LED 1 X=11 Y=6");
    const struct {
        const char* keys;
        const char* line;
    } steps[] = {
        {"\x1b[C", "port 1 LED 2 X=12 Y=6"},  // right
        {"\x1b[A", "port 1 LED 3 X=13 Y=6"},  // up ten, over the 9 steps
        {"p", "port 2 LED 1 X=21 Y=7"},
        {"\x1bOD", "port 1 LED 3 X=13 Y=6"},    // left, application mode
        {"  \x1b[B", "port 1 LED 2 X=12 Y=6"},  // pause, resume, down ten
        {"p", "port 2 LED 1 X=21 Y=7"},
        {"p", "port 4 LED 1 X=31 Y=8"},
        {"\x1b[1;2D", "port 2 LED 2 X=22 Y=7"},  // shift+left as left
    };
    size_t count = 2;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.line);
        run.Type(step.keys);
        EXPECT_EQ(run.WaitForLine(++count), step.line) << run.text;
    }
    Sys_Sleep(100);
    run.Type("q");
    const std::string summary = run.WaitForLine(count + 1);
    EXPECT_NE(summary.find(" frames sent, "), std::string::npos) << run.text;
    EXPECT_NE(summary.find("(target 50.00)"), std::string::npos) << run.text;
    ASSERT_TRUE(WaitForExit(run.child, 5000));
    EXPECT_EQ(run.child.status, 0);

    // The last frame shows port 2's second LED (universe 2); then three
    // stream-terminated packets per universe.
    const std::vector<Bytes> packets = receiver.Stop();
    ASSERT_GE(packets.size(), 12u);
    for (size_t k = packets.size() - 9; k < packets.size(); ++k)
        EXPECT_EQ(packets[k][112], 0x40) << k;  // options: stream terminated
    const Bytes& last = packets[packets.size() - 11];
    ASSERT_EQ(last[114], 2);  // universe 2
    EXPECT_EQ(last[112], 0);
    EXPECT_EQ(Bytes(last.begin() + 126, last.end()), Frame(2, {{1, {254, 254, 254}}}));
}

}  // namespace
