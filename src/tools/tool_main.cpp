// The programs' --version flag and stop signals.
#include "tools/tool_main.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <string>

namespace {

void OnStopSignal(int) {
    ToolStopFlag().store(true);
}

}  // namespace

void AddVersionFlag(CLI::App& app, const char* program) {
    app.set_version_flag("--version", std::string(program) + " " + QUORVANE_VERSION);
}

std::atomic<bool>& ToolStopFlag() {
    static std::atomic<bool> stop{false};
    return stop;
}

void InstallStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}
