// The real program under Xvfb: start-up with and without its control
// program, the window it opens and the settings file of the first redraw.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "common/common.h"
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

}  // namespace
