// Raw frames to video (commands 208 and 209): the video writer the
// conversion goes through, replaceable by tests.
#pragma once

#include <opencv2/core.hpp>

// The writer calls. The default ones use one OpenCV video writer that lives
// for the whole run; tests replace entries and call ResetRawVideoWriter.
struct RawVideoWriterCalls {
    // Opens `name` with the four-character `code` (e.g. "DIB "), colour frames.
    bool (*open)(const char* name, const char* code, double framesPerSecond, cv::Size size);
    void (*write)(const cv::Mat& frame);  // BGR, Size_Y rows of Size_X pixels
    void (*release)();
};

RawVideoWriterCalls& CurrentRawVideoWriter();
void ResetRawVideoWriter();

// The four-character code of the last successful open ("DIB " where the
// backend takes it, otherwise the lossless fallback); "" before any.
const char* LastRawVideoCodec();
