// Converting a video without a window: frames from the decode-ahead reader,
// resized as set, mapped through the LED map of the current layout, the
// colour steps applied, and every frame handed to one output sink as the
// LED values of each port. Runs at the speed of the decoder; the work per
// frame is proportional to the number of LEDs.
//
// The layout is the model's current one and must not change during a run;
// the lit/dark flags are read per frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "convert/color.h"
#include "convert/frame_reader.h"
#include "convert/led_footprint.h"
#include "convert/power.h"
#include "convert/sink.h"

struct ResizeSettings {
    int32_t width;
    int32_t height;
    bool enabled;
    uint8_t interpolation;  // OpenCV interpolation code, passed unchanged
};

struct ConversionSettings {
    ColorSettings color;
    ResizeSettings resize;
    int32_t frameLimit;  // at most this many frames; 0 = all the video reports
    // The video again from its first frame after its last (decoded ahead
    // across the end), pass after pass, until `stop` or frameLimit frames in
    // all (0: no limit); the sink begins and finishes once.
    bool loop;
    SampleMode sample;  // Point: the pixel under each LED; Area: its footprint's mean
    // When set, every frame passes through it after the colour steps: its
    // ports limited as its settings say, and counted.
    PowerMeter* power;
    // For a sink on a clock (live output): decoding below the thread that
    // sends, so that it never holds it up.
    ReaderPriority readerPriority;
};

// The layout's side of a run: info.ledCount from the current chains, and
// `values` laid out as the sinks read it (3 x the longest chain per port),
// with out[port] and leds.values[port] pointing into it for every port with
// LEDs (nullptr otherwise). Returns the longest chain, 0 for a layout
// without LEDs.
uint16_t LayOutFrameLeds(ConversionInfo* info, std::vector<uint8_t>* values,
                         uint8_t* out[kPortCount], FrameLeds* leds);

// Called after every frame with the frames done and the frame count.
typedef void (*ConversionProgress)(void* context, int32_t framesDone, int32_t frameCount);

// Frame semantics: the frame count is the one the video reports (cut to
// frameLimit); the run stops at that count or when frames run out; frames
// never reached are left to the sink (zero in controller files). A reported
// count of 0 or less, an unopenable video or a layout without LEDs are
// refused before the sink begins. `stop` (may be null) ends the run at the
// next frame as a failure. On failure the sink has been aborted and
// `error` holds one line naming the file and the cause.
bool RunConversion(const char* videoPath, const ConversionSettings& settings, OutputSink& sink,
                   ConversionProgress progress, void* progressContext,
                   const std::atomic<bool>* stop, std::string* error, int32_t* framesDone);

// The frame the LED map reads: 8-bit BGR, resized as set, continuous. A
// resize OpenCV refuses (an unknown interpolation code) leaves the frame as
// read, as the window always did. Null when the frame cannot be used
// (not 8-bit, or a channel count other than 1, 3 or 4). `work` keeps the
// converted copy.
const cv::Mat* FrameForLeds(const cv::Mat& frame, const ResizeSettings& resize, cv::Mat* work);

// Tests: the core's run-wide records (colour settings, LED listing) back to
// program start.
void ResetConvertState();
