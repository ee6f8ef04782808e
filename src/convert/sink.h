// The outputs of a conversion. The conversion core reads frames, maps them
// through the layout and hands every frame, as the LED values of each port,
// to one output ("sink"): controller files, an FSEQ sequence, or a live
// network stream. A sink is a table of plain functions over its own state,
// so the core never knows which output it feeds.
//
// Values are final: black level, brightness, calibration and colour order
// applied, dark LEDs and LEDs outside the frame 0, 0, 0.
#pragma once

#include <cstdint>

#include "model/layout.h"

// What a sink learns before the first frame.
struct ConversionInfo {
    const char* videoPath;          // as given; for names inside the output
    int32_t frameCount;             // frames the video reports, > 0
    double framesPerSecond;         // the video's rate; 0 when it gives none
    uint16_t ledCount[kPortCount];  // LEDs per port (its chain length); 0 = unused
    uint8_t colorOrder;             // ColorOrder of the values
};

// One frame: for every port with LEDs, its values in chain order. Each
// buffer holds 3 x the longest ledCount of all ports; a sink reads the
// first 3 x ledCount bytes of a port, the controller files all of them (the
// positions past a port's own chain are 0 unless marks left there by a
// loader name them, as the files always kept).
struct FrameLeds {
    int32_t frameIndex;                 // 0-based, ascending, < frameCount
    const uint8_t* values[kPortCount];  // nullptr for a port without LEDs
};

// Each call but `abort` returns false on failure, after which the core calls
// `abort` and nothing else. `error` then names the file or address and the
// cause, for a one-line message.
struct OutputSink {
    void* state;
    bool (*begin)(void* state, const ConversionInfo& info);
    bool (*frame)(void* state, const FrameLeds& leds);
    // All frames given (fewer than frameCount when the video ran out early):
    // make the output complete and durable.
    bool (*finish)(void* state, int32_t framesDone);
    // Stopped or failed: remove what a finished output would have replaced.
    void (*abort)(void* state);
    const char* (*error)(const void* state);
};
