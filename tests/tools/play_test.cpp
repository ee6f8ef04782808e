// quorvane-play end to end: the LED values that reach a receiver are, frame
// for frame, the ones quorvane-convert stores in its controller files for
// the same layout, video and colour options; --frames and --loop; a bad
// OUTPUTS file is refused before anything is sent; usage errors exit 2.
// Everything goes to 127.0.0.1, to a port this test holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "convert/controller_decode.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "support/edits.h"
#include "support/process.h"
#include "support/test_support.h"
#include "tool_fixture.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 12;
constexpr int kFrames = 5;

void WriteVideo(const std::string& path) {
    WriteRandomVideo(path, kFrames, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), kWidth, kHeight,
                     4242);
}

// Ports 1, 2, 5 and 256: LEDs inside the picture, beyond its edge, and dark.
void BuildLayout(const std::string& project) {
    for (int x = 0; x < 20; ++x) AddPictureLed(0, x, 0);
    for (int y = 8; y < 14; ++y) AddPictureLed(1, 3, y);
    SetActiveRange(1, 1, 3, 0);
    for (int k = 0; k < 12; ++k) AddPictureLed(4, 8, k + 1);
    for (int x = 0; x < 6; ++x) AddPictureLed(255, 15 - x, 11);
    SaveProject(project.c_str(), HeaderView{});
}

// Every DDP frame that arrives, put together at its push packet.
std::vector<std::vector<uint8_t>> ReceiveDdpFrames(SysSocket socket) {
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> display;
    uint8_t buffer[2048];
    int n;
    while ((n = Sys_UdpReceiveFrom(socket, buffer, sizeof buffer, 200, nullptr, nullptr)) > 0) {
        if (n < 10) continue;
        uint32_t offset = uint32_t(buffer[4]) << 24 | uint32_t(buffer[5]) << 16 |
                          uint32_t(buffer[6]) << 8 | buffer[7];
        size_t length = size_t(buffer[8] << 8 | buffer[9]);
        if (display.size() < offset + length) display.resize(offset + length);
        std::copy(buffer + 10, buffer + 10 + length, display.begin() + offset);
        if (buffer[0] & 0x01) frames.push_back(display);
    }
    return frames;
}

class PlayTool : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        project_ = dir_.File("show.quor");
        BuildLayout(project_);
        ResetRunState();
        video_ = dir_.File("clip.avi");
        WriteVideo(video_);
        receiver_ = Sys_UdpSocket();
        ASSERT_TRUE(Sys_UdpBind(receiver_, 0x7f000001, 0, &port_));
        outputs_ = dir_.File("outputs.json");
        WriteWholeFile(outputs_, R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1",
            "ports": [1, 2, 5, 256], "udp_port": )" +
                                     std::to_string(port_) + "}]}");
    }
    void TearDown() override {
        Sys_CloseSocket(receiver_);
        ResetRunState();
    }

    ScopedTempDir dir_{"play-tool"};
    std::string project_, video_, outputs_;
    SysSocket receiver_ = kSysInvalidSocket;
    uint16_t port_ = 0;
};

// Also with area sampling and a power limit, which both programs apply in
// the conversion core: the same values, and the same power report.
TEST_F(PlayTool, ReceiverGetsWhatTheControllerFilesHold) {
    const struct {
        std::string options;
        const char* report;  // "" for none
    } cases[] = {{"--order GRB --brightness 90,80,70 --black 5,6,7 ", ""},
                 {"--order BGR --sample area --limit-amps 0.1 --power-report ", "power.csv"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto options = [&](const char* tool) {
            if (c.report[0] == '\0') return c.options;
            return c.options + dir_.File(std::string(tool) + "-" + c.report) + " ";
        };
        ToolRun convert =
            RunTool("quorvane-convert",
                    options("convert") + project_ + " " + video_ + " " + dir_.File("show.led"),
                    dir_.path());
        ASSERT_EQ(convert.status, 0) << convert.error;

        ToolRun play = RunTool(
            "quorvane-play",
            "--fps 100 " + options("play") + project_ + " " + video_ + " " + outputs_, dir_.path());
        ASSERT_EQ(play.status, 0) << play.error;
        EXPECT_EQ(play.error, "");
        EXPECT_EQ(play.output.rfind("5 frames sent, 0 dropped, 5 packets sent, ", 0), 0u)
            << play.output;
        std::vector<std::vector<uint8_t>> received = ReceiveDdpFrames(receiver_);
        ASSERT_EQ(received.size(), size_t(kFrames));
        if (c.report[0] != '\0') {
            EXPECT_NE(play.output.find("; power: peak "), std::string::npos) << play.output;
            const std::string report = ReadWholeFile(dir_.File(std::string("play-") + c.report));
            EXPECT_EQ(report, ReadWholeFile(dir_.File(std::string("convert-") + c.report)));
            EXPECT_NE(report.find("\nall,44,"), std::string::npos) << report;
        }

        // The stream: ports 1, 2, 5, 256 back to back, each its chain's LEDs
        // as the controller file stores them.
        const int ports[] = {1, 2, 5, 256};
        const int leds[] = {20, 6, 12, 6};
        for (int f = 0; f < kFrames; ++f) {
            std::vector<uint8_t> expected;
            for (int i = 0; i < 4; ++i) {
                DecodedControllerFile decoded;
                std::string error;
                std::string path = dir_.File("PORT-" + std::to_string(ports[i]) + "-show.led");
                ASSERT_TRUE(DecodeControllerFile(path.c_str(), &decoded, &error)) << error;
                ASSERT_EQ(decoded.frames.size(), size_t(kFrames));
                const auto& frame = decoded.frames[size_t(f)];
                expected.insert(expected.end(), frame.begin(), frame.begin() + 3 * leds[i]);
            }
            ASSERT_EQ(received[size_t(f)].size(), expected.size()) << "frame " << f;
            for (size_t i = 0; i < expected.size(); ++i) {
                ASSERT_EQ(received[size_t(f)][i], expected[i]) << "frame " << f << " byte " << i;
            }
        }
    }
}

TEST_F(PlayTool, FramesAndLoop) {
    ToolRun play =
        RunTool("quorvane-play", "--fps 50 --frames 3 " + project_ + " " + video_ + " " + outputs_,
                dir_.path());
    ASSERT_EQ(play.status, 0) << play.error;
    EXPECT_EQ(ReceiveDdpFrames(receiver_).size(), 3u);

    play = RunTool("quorvane-play",
                   "--fps 50 --loop --frames 12 " + project_ + " " + video_ + " " + outputs_,
                   dir_.path());
    ASSERT_EQ(play.status, 0) << play.error;
    EXPECT_EQ(play.output.rfind("12 frames sent, 0 dropped, 12 packets sent, ", 0), 0u)
        << play.output;
    std::vector<std::vector<uint8_t>> received = ReceiveDdpFrames(receiver_);
    ASSERT_EQ(received.size(), 12u);
    for (int f = 5; f < 12; ++f) EXPECT_TRUE(received[size_t(f)] == received[size_t(f - 5)]) << f;
}

TEST_F(PlayTool, CtrlCEndsALoopWithTheSummary) {
    ChildProcess play =
        StartChild(BuildDirectory() + "/quorvane-play",
                   {"--fps", "50", "--loop", project_, video_, outputs_}, dir_.path(), "play");
    uint8_t buffer[2048];
    ASSERT_GT(Sys_UdpReceiveFrom(receiver_, buffer, sizeof buffer, 5000, nullptr, nullptr),
              0);  // playing
    kill(play.pid, SIGINT);
    ASSERT_TRUE(WaitForExit(play, 5000));
    EXPECT_EQ(play.status, 0) << ReadWholeFile(play.stderrPath);
    std::string summary = ReadWholeFile(play.stdoutPath);
    EXPECT_NE(summary.find(" frames sent, 0 dropped, "), std::string::npos) << summary;
    EXPECT_NE(summary.find(" frames/s (target 50.00)"), std::string::npos) << summary;
    StopChild(play);
}

TEST_F(PlayTool, BadOutputsAreRefusedBeforeAnythingIsSent) {
    std::string bad = dir_.File("bad.json");
    WriteWholeFile(bad, R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1", "ports": [1],
        "udp_port": )" + std::to_string(port_) +
                            R"(}, {"protocol": "artnet", "address": "multicast", "ports": [2]}]})");
    ToolRun play = RunTool("quorvane-play", project_ + " " + video_ + " " + bad, dir_.path());
    EXPECT_EQ(play.status, 1);
    EXPECT_EQ(play.error, "quorvane-play: " + bad +
                              ": outputs[1] (artnet multicast): \"multicast\" is for sacn only; "
                              "give a numeric IPv4 address\n");
    EXPECT_EQ(ReceiveDdpFrames(receiver_).size(), 0u);

    // A port's universes past the last one are known only with the layout.
    WriteWholeFile(bad, R"({"outputs": [{"protocol": "sacn", "address": "127.0.0.1", "ports": [1],
        "universe": 63999, "pixels_per_universe": 10}]})");
    play = RunTool("quorvane-play", project_ + " " + video_ + " " + bad, dir_.path());
    EXPECT_EQ(play.status, 1);
    EXPECT_EQ(play.error, "quorvane-play: " + bad +
                              ": outputs[0] (sacn 127.0.0.1): port 1 needs universe 64000, past "
                              "the last one, 63999\n");
}

// Packets that cannot be sent (in a network namespace of its own, where
// nothing can be reached) do not stop playback; the frames are counted apart
// with the first failure, and the exit status is 1.
TEST_F(PlayTool, SendFailuresAreCountedAndExitOne) {
    const std::string unreachable = dir_.File("unreachable.json");
    WriteWholeFile(unreachable,
                   R"({"outputs": [{"protocol": "ddp", "address": "192.0.2.200", "ports": [1]}]})");
    ChildProcess play = StartChild(
        "/usr/bin/unshare",
        {"-rn", BuildDirectory() + "/quorvane-play", "--fps", "100", project_, video_, unreachable},
        dir_.path(), "unreachable");
    ASSERT_TRUE(WaitForExit(play, 20000));
    EXPECT_EQ(play.status, 1);
    EXPECT_EQ(ReadWholeFile(play.stdoutPath).rfind("0 frames sent, 0 dropped, 0 packets sent, ", 0),
              0u)
        << ReadWholeFile(play.stdoutPath);
    EXPECT_EQ(ReadWholeFile(play.stderrPath),
              "quorvane-play: 5 frames not sent whole; the first: send to 192.0.2.200:4048 "
              "failed: Network is unreachable\n");
}

TEST_F(PlayTool, UsageErrorsExitTwo) {
    const char* cases[] = {"",
                           "a.quor b.avi",
                           "--fps 0 a.quor b.avi c.json",
                           "--frames 0 a.quor b.avi c.json",
                           "--bogus a.quor b.avi c.json",
                           "--interface 192.0.2.1 a.quor b.avi c.json",
                           "--discover a.quor",
                           "--discover --interface eth0",
                           "--sample box a.quor b.avi c.json",
                           "--limit-amps -2 a.quor b.avi c.json"};
    for (const char* args : cases) {
        ToolRun play = RunTool("quorvane-play", args, dir_.path());
        EXPECT_EQ(play.status, 2) << args << ": " << play.error;
    }
    ToolRun help = RunTool("quorvane-play", "--help", dir_.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("OUTPUTS"), std::string::npos);
}

}  // namespace
