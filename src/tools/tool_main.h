// What every command-line program starts with: the --version flag and the
// stop flag that Ctrl+C and SIGTERM set.
#pragma once

#include <atomic>

namespace CLI {
class App;
}

// --version, printing "<program> <version>".
void AddVersionFlag(CLI::App& app, const char* program);

// The flag a run polls to end at the next frame; set by Ctrl+C and SIGTERM
// once InstallStopSignals has run.
std::atomic<bool>& ToolStopFlag();
void InstallStopSignals();
