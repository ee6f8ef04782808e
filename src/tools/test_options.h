// The test-pattern options the command-line programs share: --test PATTERN,
// --ports LIST, --one-port, --run N and --level R,G,B, checked while
// parsing, and the pattern's settings from them and the colour options.
// Each program adds its own --step-ms and --fps.
#pragma once

#include <cstdint>
#include <string>

#include "convert/test_patterns.h"
#include "tools/tool_options.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

struct TestOptionTexts {
    std::string pattern;  // empty: no test pattern
    std::string ports;    // empty: every port
    bool onePort = false;
    int run = kChaseRunLength;
    std::string level = "255,255,255";
    // The options given, for the usage checks.
    CLI::Option* portsOption = nullptr;
    CLI::Option* onePortOption = nullptr;
    CLI::Option* runOption = nullptr;
    CLI::Option* levelOption = nullptr;
};

void AddTestOptions(CLI::App& app, TestOptionTexts* texts);

// After parsing: "" when the test options fit together (only with --test,
// --one-port only for walk, --run only for chase, --level only for level,
// no --resize, no power report or limit), else the usage error to print.
std::string TestOptionProblem(const TestOptionTexts& texts, const ToolOptionTexts& color);

// The settings of checked options. `stepMs` 0 takes the pattern's default.
TestPatternSettings TestSettingsFromOptions(const TestOptionTexts& texts,
                                            const ToolOptionTexts& color, int32_t stepMs,
                                            double framesPerSecond);

// "walk: 1234 frames, 49.36 s at 25 frames per second": a pattern's length.
std::string DescribeTestLength(const TestPatternPlan& plan);
