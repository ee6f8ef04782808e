// Program start: in the background, from the current directory for a bare
// name, reaped when it ends, and without taking other children's exits.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/sys.h"

extern char** environ;

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

class ProgramStartTest : public ::testing::Test {
protected:
    static void WriteScript(const std::string& name, const std::string& body, mode_t mode) {
        std::ofstream(name) << "#!/bin/sh\n" << body;
        fs::permissions(name, fs::perms(mode));
    }

    // Polls for up to five seconds.
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        for (int i = 0; i < 250; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return condition();
    }

    ScopedTempDir dir_{"quorvane-spawn"};
};

// The state letter and parent of a process from /proc; 0 when it is gone.
char ProcessState(pid_t pid, pid_t* parent) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const size_t close = line.rfind(')');
    char state = 0;
    int ppid = 0;
    if (close == std::string::npos ||
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) != 2) {
        return 0;
    }
    *parent = ppid;
    return state;
}

TEST_F(ProgramStartTest, RunsInTheBackgroundAndLeavesNoZombie) {
    WriteScript("child.sh",
                "echo $$ > pid.tmp && mv pid.tmp pid\n"
                "while [ ! -e release ]; do sleep 0.02; done\n",
                0755);
    ASSERT_TRUE(Sys_StartProgram("child.sh"));  // a bare name: ./child.sh
    ASSERT_TRUE(WaitFor([] { return fs::exists("pid"); }));
    pid_t child = 0;
    std::ifstream("pid") >> child;
    ASSERT_GT(child, 0);

    // We came back while the child still runs, and it is our child.
    pid_t parent = 0;
    const char state = ProcessState(child, &parent);
    EXPECT_NE(state, 0);
    EXPECT_NE(state, 'Z');
    EXPECT_EQ(parent, getpid());

    std::ofstream("release").put('\n');
    EXPECT_TRUE(WaitFor([&] { return ProcessState(child, &parent) == 0; }))
        << "the ended child was not reaped (state " << ProcessState(child, &parent) << ")";

    // Children of others are still theirs to wait for.
    pid_t own;
    char shell[] = "/bin/sh", flag[] = "-c", command[] = "exit 3";
    char* argv[] = {shell, flag, command, nullptr};
    ASSERT_EQ(posix_spawn(&own, "/bin/sh", nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(own, &status, 0), own);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

TEST_F(ProgramStartTest, FailsForWhatCannotBeStarted) {
    WriteScript("plain.sh", "exit 0\n", 0644);
    EXPECT_FALSE(Sys_StartProgram("Quorvane_Net.exe"));  // missing
    EXPECT_FALSE(Sys_StartProgram("plain.sh"));          // not executable
    EXPECT_FALSE(Sys_StartProgram("sh"));                // a bare name is not looked up in PATH
    EXPECT_TRUE(Sys_StartProgram("/bin/true"));
}

}  // namespace
