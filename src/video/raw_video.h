// Raw frames to video (commands 208 and 209): the video writer the
// conversion goes through, replaceable by tests.
#pragma once

#include <cstdint>

// The writer calls. Each returns false on failure; after a failed open or
// write the conversion calls `close(false)` and nothing else.
struct RawVideoWriterCalls {
    // Starts the video file `name`: frames of width x height pixels.
    bool (*open)(const char* name, int width, int height, double framesPerSecond);
    // One frame: height rows of width pixels, the top row first, each pixel
    // 3 bytes blue, green, red.
    bool (*write)(const uint8_t* bgr);
    // `keep`: completes the file; otherwise removes what was written.
    bool (*close)(bool keep);
};

// The table the conversion always writes through (avi_writer.cpp). Its
// default writer: an AVI file of uncompressed frames ("DIB ": a BI_RGB
// bitmap of 24 bits per pixel, rows bottom-up, each row padded to 4 bytes),
// written through FFmpeg's libavformat and libavcodec. Tests replace
// entries; ResetRawVideoWriter frees the writer and puts the default back.
RawVideoWriterCalls& CurrentRawVideoWriter();
void ResetRawVideoWriter();
