// An X server of the test's own with a window manager on it, for end-to-end
// tests that need a manager's frames or iconifying: a window manager on the
// X server the other tests share would move and reparent their windows.
#pragma once

#include <string>

#include "support/process.h"

struct OwnDisplay {
    ChildProcess server;
    ChildProcess manager;
    std::string name;  // ":N" once the manager runs on it
};

// Whether Xvfb and openbox are installed (scripts/deps installs both).
bool HaveOwnDisplayTools();

// Starts Xvfb (1280 x 1024, no TCP) on a free display and openbox on it,
// their logs in `directory`. True once the manager announces itself (up to
// 10 s); otherwise false with both stopped again.
bool StartOwnDisplay(const std::string& directory, OwnDisplay* display);
void StopOwnDisplay(OwnDisplay* display);
