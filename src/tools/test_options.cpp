// The test-pattern options and their settings.
#include "tools/test_options.h"

#include <CLI/CLI.hpp>
#include <cstdio>

namespace {

CLI::Validator Check(bool (*parse)(const std::string&), const char* description) {
    return CLI::Validator(
        [parse, description](std::string& text) -> std::string {
            return parse(text) ? std::string() : std::string("expected ") + description;
        },
        "");
}

bool IsPattern(const std::string& text) {
    TestPatternKind kind;
    return ParseTestPatternName(text, &kind);
}
bool IsPortList(const std::string& text) {
    bool selected[kPortCount];
    return ParsePortList(text, selected);
}
bool IsTriple(const std::string& text) {
    uint8_t values[3];
    return ParseColorTriple(text, values);
}

}  // namespace

void AddTestOptions(CLI::App& app, TestOptionTexts* texts) {
    app.add_option("--test", texts->pattern,
                   "a test pattern from the layout instead of a video: walk (one LED at a time "
                   "along each chain), ports (each port in its chain colour, first LED white, "
                   "last red), order (all red, green, blue, white, a second each), chase (a "
                   "moving run), level (all LEDs at --level)")
        ->check(Check(IsPattern, "walk, ports, order, chase or level"));
    texts->portsOption =
        app.add_option("--ports", texts->ports,
                       "test: light only these ports, numbers and ranges (1,3-5); the others "
                       "stay dark")
            ->check(Check(IsPortList, "port numbers 1..256 and ranges, as 1,3-5"));
    texts->onePortOption = app.add_flag("--one-port", texts->onePort,
                                        "walk: one port after the other instead of all in step");
    texts->runOption = app.add_option("--run", texts->run, "chase: LEDs lit in the run")
                           ->check(CLI::Range(1, kChainCapacity))
                           ->capture_default_str();
    texts->levelOption =
        app.add_option("--level", texts->level, "level: R,G,B of every LED, 0..255 each")
            ->check(Check(IsTriple, "R,G,B with each 0..255"))
            ->capture_default_str();
}

std::string TestOptionProblem(const TestOptionTexts& texts, const ToolOptionTexts& color) {
    const bool given[4] = {texts.portsOption->count() > 0, texts.onePortOption->count() > 0,
                           texts.runOption->count() > 0, texts.levelOption->count() > 0};
    if (texts.pattern.empty()) {
        if (given[0] || given[1] || given[2] || given[3])
            return "--ports, --one-port, --run and --level need --test";
        return "";
    }
    if (given[1] && texts.pattern != "walk") return "--one-port is for --test walk only";
    if (given[2] && texts.pattern != "chase") return "--run is for --test chase only";
    if (given[3] && texts.pattern != "level") return "--level is for --test level only";
    if (!color.resize.empty()) return "--resize has no frames to resize with --test";
    // The power meter runs in the video conversion loop, not in the patterns'.
    if (PowerMeterWanted(color))
        return "--power-report and --limit-amps go with a video, not --test";
    return "";
}

TestPatternSettings TestSettingsFromOptions(const TestOptionTexts& texts,
                                            const ToolOptionTexts& color, int32_t stepMs,
                                            double framesPerSecond) {
    TestPatternSettings settings = {};
    ParseTestPatternName(texts.pattern, &settings.kind);
    settings.onePortAtATime = texts.onePort;
    settings.stepMs = stepMs;
    settings.framesPerSecond = framesPerSecond;
    settings.runLength = uint16_t(texts.run);
    ParseColorTriple(texts.level, settings.level);
    for (bool& selected : settings.selected) selected = texts.ports.empty();
    if (!texts.ports.empty()) ParsePortList(texts.ports, settings.selected);
    settings.color = SettingsFromOptions(color).color;
    return settings;
}

std::string DescribeTestLength(const TestPatternPlan& plan) {
    char text[160];
    std::snprintf(text, sizeof text, "%s: %d frames, %.2f s at %g frames per second",
                  TestPatternName(plan.settings.kind), int(plan.frameCount),
                  plan.frameCount / plan.settings.framesPerSecond, plan.settings.framesPerSecond);
    return text;
}
