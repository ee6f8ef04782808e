// End to end: the real quorvane starts the real Quorvane_Net.exe from its
// working directory; the control program connects, selects port 5 and sets
// its colour through its forms (driven by its self-test script), and
// Quorvane's log shows both packets arriving.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

bool WaitForLog(const std::string& logPath, const std::string& a, const std::string& b,
                int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        std::string log = ReadWholeFile(logPath);
        if (log.find(a) != std::string::npos && log.find(b) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(ControlEndToEnd, QuorvaneStartsTheControlProgramAndGetsItsCommands) {
    ScopedTempDir dir;
    const std::string build = BuildDirectory();
    ASSERT_EQ(symlink((build + "/Quorvane_Net.exe").c_str(), dir.File("Quorvane_Net.exe").c_str()),
              0);
    const std::string logPath = dir.File("quorvane.log");
    const std::string program = build + "/quorvane";

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Own process group, so the test can end Quorvane and what it launched.
        setpgid(0, 0);
        if (!freopen(logPath.c_str(), "w", stdout)) _exit(127);
        setenv("QUORVANE_NET_SCRIPT", "port 5; color 10 20 30; wait 500; quit", 1);
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);  // the control program's settings
        unsetenv("QT_QPA_PLATFORM");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(child, child);

    bool seen = WaitForLog(logPath, "Get: 163----4 Bytes", "Get: 165----7 Bytes", 30000);
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(seen) << "Quorvane's log:\n" << ReadWholeFile(logPath);
}

}  // namespace
