// quorvane-convert: a video into one controller file per port of a layout,
// without a window.
//
//   quorvane-convert [options] LAYOUT VIDEO TARGET
//
// LAYOUT is a .quor project (its chain files beside it) or an .iqp import
// list, opened as the window opens them; TARGET names the outputs
// ("PORT-<n>-<name>" beside it) and is never written itself. Exit status 0
// when every file was written, 1 on an error (one line on standard error
// naming the file and the cause), 2 on a usage error. A failed or
// interrupted run leaves no partial controller file and replaces nothing.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/core/utils/logger.hpp>
#include <string>

#include "common/file_io.h"
#include "common/packet.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_console.h"
#include "tools/open_layout.h"
#include "tools/tool_options.h"
#include "video/controller_sink.h"
#include "video/conversion.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "unknown"
#endif

namespace {

const char kProgram[] = "quorvane-convert";
std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop.store(true);
}

void ShowProgress(void* context, int32_t done, int32_t count) {
    UpdateProgressLine(static_cast<ProgressLine*>(context), done, count);
}

int Fail(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Converts a video into one controller file per port of a layout.", kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + QUORVANE_VERSION);
    ToolOptionTexts texts;
    std::string layout, video, target;
    app.add_option("LAYOUT", layout, "a .quor project or an .iqp import list")->required();
    app.add_option("VIDEO", video, "the video to convert")->required();
    app.add_option("TARGET", target,
                   "names the outputs: PORT-<n>-<name> in its directory (not written itself)")
        ->required();
    AddColorOptions(app, &texts);
    AddProgressOption(app, &texts);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, e.what(),
                     kProgram);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 2;
    }
    if (target.empty() || target.back() == '/') {
        std::fprintf(stderr, "%s: TARGET needs a file name part: %s\n", kProgram, target.c_str());
        return 2;
    }

    // The video libraries' own messages would break the one-line errors;
    // OPENCV_FFMPEG_LOGLEVEL set by the user still wins.
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);

    std::string error;
    if (!OpenLayoutForTool(layout, &error)) return Fail(error);

    ControllerFileSink* files = new ControllerFileSink();
    SetControllerFileTarget(files, target.c_str());
    OutputSink sink = ControllerFileOutput(files);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    ProgressLine line;
    BeginProgressLine(&line, ProgressStyleFromOptions(texts, isatty(STDERR_FILENO) == 1), kProgram);
    int32_t done = 0;
    const bool ok = RunConversion(video.c_str(), SettingsFromOptions(texts), sink, ShowProgress,
                                  &line, &g_stop, &error, &done);
    EndProgressLine(&line);
    delete files;
    if (!ok) return Fail(error);
    return 0;
}
