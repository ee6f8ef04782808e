// quorvane-convert: a video into one controller file per port of a layout,
// or into one FSEQ sequence, without a window.
//
//   quorvane-convert [options] LAYOUT VIDEO TARGET
//
// LAYOUT is a .quor project (its chain files beside it) or an .iqp import
// list, opened as the window opens them. With --format led (the default)
// TARGET names the outputs ("PORT-<n>-<name>" beside it) and is never
// written itself; with --format fseq it is the sequence file (".fseq"),
// with its channel map "<TARGET>.channels.csv" beside it. Exit status 0
// when every file was written, 1 on an error (one line on standard error
// naming the file and the cause), 2 on a usage error. A failed or
// interrupted run leaves no partial output file and replaces nothing.
// With --power-report or --limit-amps one line on standard output tells the
// whole show's peak current.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/common.h"
#include "common/file_io.h"
#include "common/packet.h"
#include "convert/controller_sink.h"
#include "convert/conversion.h"
#include "convert/fseq_sink.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_console.h"
#include "tools/open_layout.h"
#include "tools/tool_options.h"

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
    return ToolError(kProgram, line);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Converts a video into one controller file per port of a layout, or into one "
        "FSEQ sequence.",
        kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + QUORVANE_VERSION);
    ToolOptionTexts texts;
    std::string layout, video, target;
    app.add_option("LAYOUT", layout, "a .quor project or an .iqp import list")->required();
    app.add_option("VIDEO", video, "the video to convert")->required();
    app.add_option("TARGET", target,
                   "led: names the outputs, PORT-<n>-<name> in its directory (not written "
                   "itself); fseq: the sequence file, ending in .fseq")
        ->required();
    std::string format = "led", compression = "zstd";
    int stepMs = 0;
    app.add_option("--format", format,
                   "led: one controller file per port; fseq: one FSEQ v2 sequence for the open "
                   "show players")
        ->check(CLI::IsMember({"led", "fseq"}))
        ->capture_default_str();
    CLI::Option* compressionOption =
        app.add_option("--fseq-compression", compression, "FSEQ frame data: zstd or none")
            ->check(CLI::IsMember({"zstd", "none"}))
            ->capture_default_str();
    CLI::Option* stepOption =
        app.add_option("--step-ms", stepMs,
                       "FSEQ step time in ms, 1..255 (default: from the video's frame rate)")
            ->check(CLI::Range(1, 255));
    AddColorOptions(app, &texts);
    AddPowerOptions(app, &texts);
    AddProgressOption(app, &texts);
    const int parsed = ParseToolCommandLine(app, argc, argv, kProgram);
    if (parsed >= 0) return parsed;
    if (target.empty() || target.back() == '/') {
        std::fprintf(stderr, "%s: TARGET needs a file name part: %s\n", kProgram, target.c_str());
        return 2;
    }
    const bool sequence = format == "fseq";
    if (!sequence && (compressionOption->count() > 0 || stepOption->count() > 0)) {
        std::fprintf(stderr, "%s: --fseq-compression and --step-ms need --format fseq\n", kProgram);
        return 2;
    }
    if (sequence && !EndsWith(target, ".fseq")) {
        std::fprintf(stderr, "%s: TARGET of --format fseq must end in .fseq: %s\n", kProgram,
                     target.c_str());
        return 2;
    }

    SilenceVideoLibraries();

    std::string error;
    if (!OpenLayoutForTool(layout, &error)) return Fail(error);

    ControllerFileSink* files = nullptr;
    FseqSinkState* fseq = nullptr;
    OutputSink sink;
    if (sequence) {
        fseq = new FseqSinkState();
        InitFseqSink(fseq,
                     {target.c_str(), compression == "none" ? kFseqNone : kFseqZstd, stepMs, 0});
        sink = FseqOutputSink(fseq);
    } else {
        files = new ControllerFileSink();
        SetControllerFileTarget(files, target.c_str());
        sink = ControllerFileOutput(files);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    ProgressLine line;
    BeginProgressLine(&line, ProgressStyleFromOptions(texts, isatty(STDERR_FILENO) == 1), kProgram);
    int32_t done = 0;
    ConversionSettings settings = SettingsFromOptions(texts);
    static PowerMeter meter;
    if (PowerMeterWanted(texts)) {
        StartPowerMeter(&meter, PowerSettingsFromOptions(texts));
        settings.power = &meter;
    }
    const bool ok =
        RunConversion(video.c_str(), settings, sink, ShowProgress, &line, &g_stop, &error, &done);
    EndProgressLine(&line);
    delete files;
    delete fseq;
    if (!ok) return Fail(error);
    if (settings.power == nullptr) return 0;
    if (!texts.powerReport.empty() && !WritePowerReport(meter, texts.powerReport.c_str(), &error))
        return Fail(error);
    std::printf("%d frames converted; power: %s\n", done, PowerSummary(meter).c_str());
    return 0;
}
