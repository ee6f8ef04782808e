// Xvfb picks a free display itself (-displayfd) and writes the number when it
// is ready; openbox counts as running once the root window names it
// (_NET_SUPPORTING_WM_CHECK).
#include "support/own_display.h"

#include <cstdio>

#include "support/test_support.h"

namespace {

std::string Output(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

}  // namespace

bool HaveOwnDisplayTools() {
    return Output("command -v Xvfb >/dev/null && command -v openbox >/dev/null && echo yes") ==
           "yes\n";
}

bool StartOwnDisplay(const std::string& directory, OwnDisplay* display) {
    display->name.clear();
    const std::string numberFile = directory + "/display.txt";
    display->server = StartChild(
        "/bin/sh",
        {"-c", "exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>display.txt"},
        directory, "xvfb");
    std::string number;
    const bool serving = WaitUntil(
        [&] {
            number = ReadWholeFile(numberFile);
            return !number.empty() && number.back() == '\n';
        },
        10000);
    if (!serving) {
        StopChild(display->server);
        return false;
    }
    const std::string name = ":" + number.substr(0, number.size() - 1);
    display->manager =
        StartChild("/usr/bin/env", {"openbox"}, directory, "openbox", {"DISPLAY=" + name});
    const bool managing = WaitUntil(
        [&] {
            return Output("DISPLAY=" + name + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")
                       .find("window id") != std::string::npos;
        },
        10000);
    if (!managing) {
        StopOwnDisplay(display);
        return false;
    }
    display->name = name;
    return true;
}

void StopOwnDisplay(OwnDisplay* display) {
    StopChild(display->manager);
    StopChild(display->server);
    display->name.clear();
}
