// End to end under Xvfb: the real quorvane starts the real Quorvane_Net.exe
// from its working directory; the control program connects, selects port 5
// and sets its colour through its forms (driven by its self-test script), and
// Quorvane's log shows both packets arriving.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "support/process.h"
#include "support/test_support.h"

namespace {

TEST(ControlEndToEnd, QuorvaneStartsTheControlProgramAndGetsItsCommands) {
    ScopedTempDir dir;
    // Runs the built control program under its own pid, recording that pid
    // so the test can end it whatever happens.
    WriteExecutable(dir.File("Quorvane_Net.exe"), "#!/bin/sh\necho $$ > control.pid\nexec '" +
                                                      BuildDirectory() + "/Quorvane_Net.exe'\n");
    ChildProcess quorvane =
        StartChild(BuildDirectory() + "/quorvane", {}, dir.path(), "quorvane",
                   {"QUORVANE_NET_SCRIPT=port 5; color 10 20 30; wait 500; quit",
                    "XDG_CONFIG_HOME=" + dir.path()});  // the control program's own settings

    bool seen = WaitUntil(
        [&] {
            std::string log = ReadWholeFile(quorvane.stdoutPath);
            return log.find("Get: 163----4 Bytes") != std::string::npos &&
                   log.find("Get: 165----7 Bytes") != std::string::npos;
        },
        30000);
    std::string pid = ReadWholeFile(dir.File("control.pid"));
    if (!pid.empty()) kill(std::stoi(pid), SIGKILL);
    StopChild(quorvane);

    EXPECT_FALSE(pid.empty()) << "Quorvane did not launch Quorvane_Net.exe";
    EXPECT_TRUE(seen) << "Quorvane's log:\n" << ReadWholeFile(quorvane.stdoutPath);
}

}  // namespace
