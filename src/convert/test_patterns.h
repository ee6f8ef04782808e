// Test patterns for checking an installation against its layout: frames of
// LED values made from the layout alone (no video), through the same colour
// steps as a video and handed to the same output sinks, so controller
// files, FSEQ sequences and the live output all carry them.
//
//   walk   one LED lit (white) at a time along each chain: all ports in step,
//          or one port after the other
//   ports  every port in its chain colour, its first LED white, its last red
//   order  all LEDs red, then green, then blue, then white, a second each
//   chase  a run of lit LEDs (white) moving along every chain in step
//   level  all LEDs at one value
//
// A pattern is a row of steps, each held for a number of frames. Only the
// chosen ports are lit; every port of the layout keeps its place in the
// output (the others dark), so universes and channels stay where the video
// puts them. Every position of a chain is lit, dark-flagged LEDs too: the
// test is of the wiring, not of the show.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "convert/color.h"
#include "convert/conversion.h"
#include "convert/sink.h"
#include "model/layout.h"

enum class TestPatternKind : uint8_t { Walk, Ports, Order, Chase, Level };

// "walk", "ports", "order", "chase", "level"; false for another name.
bool ParseTestPatternName(const std::string& name, TestPatternKind* kind);
const char* TestPatternName(TestPatternKind kind);

// Port numbers 1..256 and ranges ("1,3-5") as selected port indexes; false
// (and `selected` unchanged) when the text is malformed, empty, or names a
// port outside 1..256 or a range backwards.
bool ParsePortList(const std::string& text, bool selected[kPortCount]);

constexpr int32_t kWalkStepMs = 500;     // walk: default time each LED is lit
constexpr int32_t kChaseStepMs = 40;     // chase: default time per LED moved
constexpr uint16_t kChaseRunLength = 5;  // chase: default LEDs in the run
constexpr int32_t kStillSeconds = 10;    // ports and level: the length of their files

struct TestPatternSettings {
    TestPatternKind kind;
    bool onePortAtATime;        // walk: one port after the other instead of in step
    int32_t stepMs;             // walk and chase: time per step; 0 = the pattern's default
    double framesPerSecond;     // of the output, > 0
    uint16_t runLength;         // chase: lit LEDs in the run, >= 1
    uint8_t level[3];           // level: red, green, blue before the colour steps
    bool selected[kPortCount];  // the ports the pattern lights
    ColorSettings color;
};

// A pattern laid out over the current layout.
struct TestPatternPlan {
    TestPatternSettings settings;
    uint16_t ledCount[kPortCount];  // every port's chain length
    uint16_t longest;               // longest chain of the lit ports
    uint16_t litPorts[kPortCount];  // the chosen ports that have LEDs, ascending
    int32_t litPortCount;
    int32_t stepCount;
    int32_t framesPerStep;
    int32_t frameCount;  // the length of a pattern's files: stepCount x framesPerStep
    uint8_t chainColor[kPortCount][3];  // ports: each port's chain colour
    uint32_t parts[3][256];
};

// False, with the reason in `error`, when no chosen port has LEDs.
bool PlanTestPattern(const TestPatternSettings& settings, TestPatternPlan* plan,
                     std::string* error);

// The values of step `step` (0 <= step < stepCount) into out[port] for every
// port where it is not null, each 3 x `positions` bytes (see
// LayOutFrameLeds): lit LEDs their colour through the colour steps,
// everything else 0.
void FillTestPatternStep(const TestPatternPlan& plan, int32_t step, uint32_t positions,
                         uint8_t* const out[kPortCount]);

// One line naming what step `step` shows: for walk the port number, the LED
// number in its chain (both from 1) and its cell as the window's read-out
// shows it ("port 2 LED 17 X=34 Y=120"; in step every port lit, separated by
// "; "); for order the colour; for the others the pattern's name.
std::string DescribeTestStep(const TestPatternPlan& plan, int32_t step);

// ---- playing a pattern ----------------------------------------------------------

enum class TestKey : uint8_t { None, Pause, Back, Forward, BackTen, ForwardTen, NextPort, Quit };

// Where a playing pattern is.
struct TestPatternCursor {
    int32_t step;
    int32_t framesInStep;  // frames the step has been shown
    bool paused;
    bool quit;
};

// One frame shown: the cursor moves on (unless paused) and wraps after the
// last step. True when the step changed.
bool AdvanceTestPattern(const TestPatternPlan& plan, TestPatternCursor* cursor);

// One key: Pause pauses and resumes; Back and Forward move one step (walk:
// one LED), BackTen and ForwardTen ten, wrapping at the ends; NextPort turns
// a walk into one port at a time (from the first lit port when it was in
// step) and goes to the first LED of the next lit port; Quit ends. The step
// keys do nothing for the other patterns. The step starts afresh after a
// move. True when the step shown changed.
bool ApplyTestKey(TestPatternPlan* plan, TestPatternCursor* cursor, TestKey key);

// The pattern's frameCount frames, once, through `sink`, at the plan's frame
// rate; the sink sees no video path. Like RunConversion: `stop` (may be
// null) ends the run as a failure, the sink is aborted on failure and
// `error` names the cause.
bool RunTestPattern(const TestPatternPlan& plan, OutputSink& sink, ConversionProgress progress,
                    void* progressContext, const std::atomic<bool>* stop, std::string* error,
                    int32_t* framesDone);
