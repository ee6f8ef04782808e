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
//
//   quorvane-convert --test PATTERN [options] LAYOUT TARGET
//
// writes a test pattern made from the layout instead of a video, in the same
// formats; its fixed length is printed.
// With --power-report or --limit-amps one line on standard output tells the
// whole show's peak current.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
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
#include "convert/test_patterns.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_console.h"
#include "tools/open_layout.h"
#include "tools/test_options.h"
#include "tools/tool_main.h"
#include "tools/tool_options.h"

namespace {

const char kProgram[] = "quorvane-convert";
std::atomic<bool>& g_stop = ToolStopFlag();

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
    AddVersionFlag(app, kProgram);
    ToolOptionTexts texts;
    std::string layout, video, target;
    app.add_option("LAYOUT", layout, "a .quor project or an .iqp import list")->required();
    // Not required by the parser: with --test the second one is the target.
    app.add_option("VIDEO", video, "the video to convert (none with --test)");
    app.add_option("TARGET", target,
                   "led: names the outputs, PORT-<n>-<name> in its directory (not written "
                   "itself); fseq: the sequence file, ending in .fseq");
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
                       "FSEQ step time in ms, 1..255 (default: from the video's frame rate); "
                       "with --test, the time each step of walk or chase lasts")
            ->check(CLI::Range(1, 3600000));
    double testFps = 25;
    CLI::Option* fpsOption =
        app.add_option("--fps", testFps,
                       "with --test: frames per second the controllers play at (FSEQ: sets the "
                       "step time)")
            ->check(CLI::Range(4.0, 1000.0))
            ->capture_default_str();
    AddColorOptions(app, &texts);
    AddPowerOptions(app, &texts);
    AddProgressOption(app, &texts);
    TestOptionTexts test;
    AddTestOptions(app, &test);
    app.footer(
        "With --test PATTERN the arguments are LAYOUT TARGET: the pattern is written "
        "instead of a video.");
    const int parsed = ParseToolCommandLine(app, argc, argv, kProgram);
    if (parsed >= 0) return parsed;
    const bool testing = !test.pattern.empty();
    std::string problem = TestOptionProblem(test, texts);
    if (problem.empty() && !testing && fpsOption->count() > 0) problem = "--fps needs --test";
    if (problem.empty() && testing && !target.empty())
        problem = "--test takes LAYOUT TARGET, no VIDEO";
    if (problem.empty() && (testing ? video.empty() : target.empty()))
        problem = testing ? "--test needs LAYOUT TARGET" : "LAYOUT VIDEO TARGET are required";
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                     problem.c_str(), kProgram);
        return 2;
    }
    if (testing) target = video;
    if (target.empty() || target.back() == '/') {
        std::fprintf(stderr, "%s: TARGET needs a file name part: %s\n", kProgram, target.c_str());
        return 2;
    }
    const bool sequence = format == "fseq";
    if (!testing && stepMs > 255) {
        std::fprintf(stderr, "%s: --step-ms: the FSEQ step time is 1..255 ms\n", kProgram);
        return 2;
    }
    if (!sequence && (compressionOption->count() > 0 || (!testing && stepOption->count() > 0))) {
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
        InitFseqSink(fseq, {target.c_str(), compression == "none" ? kFseqNone : kFseqZstd,
                            testing ? 0 : stepMs, 0});
        sink = FseqOutputSink(fseq);
    } else {
        files = new ControllerFileSink();
        SetControllerFileTarget(files, target.c_str());
        sink = ControllerFileOutput(files);
    }
    InstallStopSignals();

    ProgressLine line;
    BeginProgressLine(&line, ProgressStyleFromOptions(texts, isatty(STDERR_FILENO) == 1), kProgram);
    int32_t done = 0;
    ConversionSettings settings = SettingsFromOptions(texts);
    static PowerMeter meter;
    if (PowerMeterWanted(texts)) {
        StartPowerMeter(&meter, PowerSettingsFromOptions(texts));
        settings.power = &meter;
    }
    bool ok;
    if (testing) {
        static TestPatternPlan plan;
        ok = PlanTestPattern(TestSettingsFromOptions(test, texts, stepMs, testFps), &plan, &error);
        if (!ok) error = layout + ": " + error;
        if (ok) ok = RunTestPattern(plan, sink, ShowProgress, &line, &g_stop, &error, &done);
        EndProgressLine(&line);
        if (ok) std::printf("%s\n", DescribeTestLength(plan).c_str());
    } else {
        ok = RunConversion(video.c_str(), settings, sink, ShowProgress, &line, &g_stop, &error,
                           &done);
        EndProgressLine(&line);
    }
    delete files;
    delete fseq;
    if (!ok) return Fail(error);
    if (settings.power == nullptr) return 0;
    if (!texts.powerReport.empty() && !WritePowerReport(meter, texts.powerReport.c_str(), &error))
        return Fail(error);
    std::printf("%d frames converted; power: %s\n", done, PowerSummary(meter).c_str());
    return 0;
}
