// What the command-line programs share: the colour options (--order,
// --brightness, --black, --gamma, --white, --resize, --sample), the power
// options (--power-report, --ma-per-channel, --volts, --limit-amps), the
// --progress option, their values as conversion settings, the parsing of
// the command line with its exit statuses, one-line errors, and the
// progress line on standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "convert/conversion.h"

namespace CLI {
class App;
}

struct ToolOptionTexts {
    std::string order = "RGB";
    std::string brightness = "100,100,100";
    std::string black = "0,0,0";
    std::string gamma;   // empty: no gamma curve
    std::string white;   // empty: no white point
    std::string resize;  // empty: off
    std::string sample = "point";
    std::string powerReport;  // empty: none
    double maPerChannel = 20.0;
    double volts = 5.0;
    double limitAmps = 0.0;  // 0: no limit
    std::string progress = "auto";
};

// Parses the command line: -1 to go on, otherwise the exit status to end
// with (0 after --help or --version; 2 on a usage error, its message and a
// pointer to --help on standard error).
int ParseToolCommandLine(CLI::App& app, int argc, char** argv, const char* program);

// Keeps the video libraries' own messages off standard error, so errors stay
// one line; OPENCV_FFMPEG_LOGLEVEL set by the user still wins.
void SilenceVideoLibraries();

// "<program>: <line>" on standard error; returns 1, the status of an error.
int ToolError(const char* program, const std::string& line);

// Adds the options to `app`; each value is checked while parsing, so a bad
// one is a usage error of the parser.
void AddColorOptions(CLI::App& app, ToolOptionTexts* texts);
void AddProgressOption(CLI::App& app, ToolOptionTexts* texts);
void AddPowerOptions(CLI::App& app, ToolOptionTexts* texts);

// The parsers behind the checks; false when the text is malformed.
// ColorOrder by name (RGB, RBG, GRB, GBR, BRG, BGR).
bool ParseColorOrder(const std::string& text, int* order);
// "R,G,B", each a decimal 0..255.
bool ParseColorTriple(const std::string& text, uint8_t out[3]);

// The settings of checked option texts (no frame limit, no power meter).
ConversionSettings SettingsFromOptions(const ToolOptionTexts& texts);

// Whether the options ask for the power meter (a report or a limit), and
// its settings.
bool PowerMeterWanted(const ToolOptionTexts& texts);
PowerSettings PowerSettingsFromOptions(const ToolOptionTexts& texts);
// The whole show's figures for a summary line: "peak 3.120 A (15.60 W) at
// frame 17, mean 1.050 A", then ", 40 frames limited" under a limit.
std::string PowerSummary(const PowerMeter& meter);

enum class ProgressStyle : uint8_t { Bar, Plain, None };

// --progress resolved: auto is a bar on a terminal, plain lines otherwise.
ProgressStyle ProgressStyleFromOptions(const ToolOptionTexts& texts, bool terminal);

// The progress on standard error: a bar redrawn in place (frames done,
// frames per second, time left), or a plain line at every 5 %.
struct ProgressLine {
    ProgressStyle style;
    const char* program;
    int lastStep;  // last 5 % step printed
    bool drawn;    // a bar is on the line
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
};

void BeginProgressLine(ProgressLine* line, ProgressStyle style, const char* program);
void UpdateProgressLine(ProgressLine* line, int32_t done, int32_t count);
// Ends a bar's line (before an error or the summary is printed).
void EndProgressLine(ProgressLine* line);
