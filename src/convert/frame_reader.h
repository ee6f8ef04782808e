// Reading a video ahead of its consumer: a thread of its own owns the
// capture, decodes frames in order into a small bounded queue, and the
// consumer takes them one by one. Decoding then overlaps whatever the
// consumer does with each frame (mapping, writing, the redraw pause).
//
// One reader belongs to one consumer thread; only Open, Next, Info and
// Close are called, all from that thread.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>

struct FrameReader;

struct FrameReaderInfo {
    int32_t frameCount;      // as the video reports it (may be 0 or negative)
    double framesPerSecond;  // 0 when the video gives none
    int32_t width;           // of the frames as decoded
    int32_t height;
};

// Frames decoded ahead of the consumer (each 1080p frame is about 6 MB):
// enough to ride out the consumer waiting a moment for the disk.
constexpr int kFrameReaderQueueDepth = 8;

// The decoding thread's priority. Inherited: the caller's. Background: lower
// than normal, for a consumer (the window) whose own work must not wait
// behind decoding ahead. Normal: the normal priority, below a caller that
// raised its own to act on a clock (live output).
enum class ReaderPriority : uint8_t { Inherited, Background, Normal };

// Opens `path` and starts decoding at its first frame. Null (with the cause
// in `error`) when the video library cannot open the file. With `loop` the
// video starts again after its last frame (not after a pass without frames,
// nor when it cannot be opened again).
FrameReader* OpenFrameReader(const char* path, std::string* error,
                             ReaderPriority priority = ReaderPriority::Inherited,
                             bool loop = false);
const FrameReaderInfo& FrameReaderInfoOf(const FrameReader* reader);

// The next frame in order, as decoded (8-bit, any channel count); false
// when the video has run out or could not be read further. `passStart`
// (may be null): whether it is the first frame of a later pass.
bool NextFrame(FrameReader* reader, cv::Mat* frame, bool* passStart = nullptr);

// Stops the decoding thread, waits for it and releases the capture. Safe
// with null.
void CloseFrameReader(FrameReader* reader);
