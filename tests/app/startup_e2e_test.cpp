// The real program under Xvfb: start-up with and without its control
// program, the window it opens and the settings file of the first redraw.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "support/own_display.h"
#include "support/process.h"
#include "support/test_support.h"

namespace {

std::string Scripted() {
    return BuildDirectory() + "/quorvane_scripted";
}

std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

TEST(Startup, OpensWindowLaunchesControlProgramAndWritesSettings) {
    ScopedTempDir dir;
    // A control program that records its pid and waits; it never connects.
    WriteExecutable(dir.File("Quorvane_Net.exe"),
                    "#!/bin/sh\necho $$ > standin.pid\nexec sleep 30\n");
    ChildProcess program = StartChild(Scripted(), {}, dir.path(), "quorvane",
                                      {"QUORVANE_SCRIPT_LOG=" + dir.File("script.log")});
    bool settingsWritten = WaitUntil(
        [&] { return ReadWholeFile(dir.File("Configuration.dat")).size() == 1024; }, 15000);
    bool launched =
        WaitUntil([&] { return !ReadWholeFile(dir.File("standin.pid")).empty(); }, 5000);
    std::string windowInfo = RunCommand("xwininfo -name 'Quorvane 1.46 EN beta' 2>&1");
    std::string pid = ReadWholeFile(dir.File("standin.pid"));
    if (!pid.empty()) kill(std::stoi(pid), SIGKILL);
    StopChild(program);

    ASSERT_TRUE(settingsWritten);
    EXPECT_TRUE(launched);
    EXPECT_NE(ReadWholeFile(dir.File("script.log")).find("launch \"Quorvane_Net.exe\""),
              std::string::npos);
    EXPECT_NE(windowInfo.find("Width: 640"), std::string::npos) << windowInfo;
    EXPECT_NE(windowInfo.find("Height: 480"), std::string::npos) << windowInfo;

    std::string record = ReadWholeFile(dir.File("Configuration.dat"));
    const auto* bytes = reinterpret_cast<const uint8_t*>(record.data());
    const uint8_t colors[16] = {255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 180, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], colors[i]) << "byte " << i;
    EXPECT_EQ(ReadLE32(bytes + 24), 640u);
    EXPECT_EQ(ReadLE32(bytes + 28), 480u);
}

TEST(Startup, MissingControlProgramShowsErrorAndExits255) {
    ScopedTempDir dir;
    ChildProcess program = StartChild(Scripted(), {}, dir.path(), "quorvane",
                                      {"QUORVANE_SCRIPT_LOG=" + dir.File("script.log")});
    bool exited = WaitForExit(program, 15000);
    StopChild(program);
    ASSERT_TRUE(exited);
    EXPECT_EQ(program.status, 255);
    EXPECT_EQ(ReadWholeFile(dir.File("script.log")),
              "box style=0x00001010 caption=\"Error\" "
              "text=\"Unable to open application Quorvane_Net.exe\" answer=1\n");
}

// One command in, the window-geometry answer out: the drawing area's
// position as the program sees it (after it saved it, if it moved).
bool AskPosition(int client, int32_t* x, int32_t* y) {
    uint8_t selectPort[5] = {};  // select port 1
    WriteBE16(selectPort, uint16_t(CommandCode::SelectPort));
    if (::send(client, selectPort, sizeof selectPort, MSG_NOSIGNAL) != 5) return false;
    const std::string reply = ReadAvailable(client, 18, 5000);
    if (reply.size() != 18) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(reply.data());
    *x = int32_t(ReadLE32(bytes + 2));
    *y = int32_t(ReadLE32(bytes + 6));
    return true;
}

std::pair<int32_t, int32_t> StoredPosition(const std::string& file) {
    const std::string record = ReadWholeFile(file);
    if (record.size() != 1024) return {-1, -1};
    const auto* bytes = reinterpret_cast<const uint8_t*>(record.data());
    return {int32_t(ReadLE32(bytes + 16)), int32_t(ReadLE32(bytes + 20))};
}

// Starts the program twice in `dir` on the X display `display` ("" for the
// inherited one). The first run has its window moved by another client
// (xdotool) to (300, 200); `runs` gets the position each run opened at and
// the one the first run reported after the move.
struct Reopening {
    int32_t openedX = -1, openedY = -1, movedX = -1, movedY = -1;
};
void StartTwiceMovingOnce(const ScopedTempDir& dir, const std::string& display, Reopening runs[2]) {
    const std::vector<std::string> environment =
        display.empty() ? std::vector<std::string>{}
                        : std::vector<std::string>{"DISPLAY=" + display};
    const std::string xdotool = (display.empty() ? "" : "DISPLAY=" + display + " ") +
                                "xdotool search --name '^Quorvane 1.46 EN beta$' windowmove "
                                "--sync 300 200 >/dev/null 2>&1";
    for (int run = 0; run < 2; ++run) {
        ChildProcess program = StartChild(Scripted(), {}, dir.path(), "quorvane", environment);
        const int client = ConnectLoopback(kCommandPort, 15000);
        if (client >= 0 && AskPosition(client, &runs[run].openedX, &runs[run].openedY) &&
            run == 0) {
            RunCommand(xdotool);
            WaitUntil(
                [&] {
                    return AskPosition(client, &runs[run].movedX, &runs[run].movedY) &&
                           (runs[run].movedX != runs[run].openedX ||
                            runs[run].movedY != runs[run].openedY);
                },
                5000);
        }
        if (client >= 0) ::close(client);
        StopChild(program);
    }
    std::istringstream pids(ReadWholeFile(dir.File("standin.pid")));
    for (int pid = 0; pids >> pid;) kill(pid, SIGKILL);
}

void WriteSettingsAt100(const ScopedTempDir& dir) {
    WriteExecutable(dir.File("Quorvane_Net.exe"),
                    "#!/bin/sh\necho $$ >> standin.pid\nexec sleep 30\n");
    std::string record(1024, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(record.data());
    WriteLE32(bytes + 16, 100);
    WriteLE32(bytes + 20, 100);
    WriteLE32(bytes + 24, 640);
    WriteLE32(bytes + 28, 480);
    WriteWholeFile(dir.File("Configuration.dat"), record);
}

// The window opens where Configuration.dat says, is saved where it was
// moved to, and reopens there: no creeping from start to start. Here
// without a window manager (the bare Xvfb), so there is no frame.
TEST(Startup, WindowReopensWhereItWasSaved) {
    ScopedTempDir dir;
    WriteSettingsAt100(dir);
    Reopening runs[2];
    StartTwiceMovingOnce(dir, "", runs);
    EXPECT_EQ(runs[0].openedX, 100);
    EXPECT_EQ(runs[0].openedY, 100);
    EXPECT_EQ(runs[0].movedX, 300);
    EXPECT_EQ(runs[0].movedY, 200);
    EXPECT_EQ(runs[1].openedX, 300);
    EXPECT_EQ(runs[1].openedY, 200);
    EXPECT_EQ(StoredPosition(dir.File("Configuration.dat")), std::make_pair(300, 200));
}

// The same under a reparenting window manager that frames the window, on an
// X server of the test's own (a window manager on the shared one would move
// other tests' windows).
TEST(Startup, WindowReopensWhereItWasSavedUnderAWindowManager) {
    if (!HaveOwnDisplayTools()) GTEST_SKIP() << "needs Xvfb and openbox (scripts/deps)";
    ScopedTempDir dir;
    WriteSettingsAt100(dir);
    OwnDisplay display;
    const bool managing = StartOwnDisplay(dir.path(), &display);
    Reopening runs[2];
    if (managing) StartTwiceMovingOnce(dir, display.name, runs);
    StopOwnDisplay(&display);

    ASSERT_TRUE(managing) << ReadWholeFile(dir.File("openbox.err"));
    EXPECT_EQ(runs[0].openedX, 100);
    EXPECT_EQ(runs[0].openedY, 100);
    ASSERT_NE(runs[0].movedX, -1);
    EXPECT_NE(std::make_pair(runs[0].movedX, runs[0].movedY), std::make_pair(100, 100));
    EXPECT_EQ(runs[1].openedX, runs[0].movedX);
    EXPECT_EQ(runs[1].openedY, runs[0].movedY);
    EXPECT_EQ(StoredPosition(dir.File("Configuration.dat")),
              std::make_pair(runs[0].movedX, runs[0].movedY));
}

}  // namespace
