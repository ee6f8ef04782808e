// The whole-video reference of the controller files: one buffer per port
// that has LEDs, sized for the whole video, filled frame by frame with the
// processed LED colours, scrambled frame by frame, and written at the end as
// one file per port ("PORT-n-name" beside the chosen target). The streaming
// outputs of the program are checked against it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/controller_format.h"
#include "model/layout.h"

namespace cv {
class Mat;
}

struct ExportState {
    uint8_t keyA;
    uint8_t keyB;
    uint32_t frameLength;
    uint32_t frameStride;
    int32_t frameCount;
    int32_t fileSize;
    bool prepared[kPortCount];
    uint8_t* buffer[kPortCount];  // fileSize bytes each while prepared
};

const ExportState& CurrentExport();

// Asks for the target, checks the frame count, draws the keys and allocates
// a zeroed buffer with its header for every port with LEDs. False (after
// its own message, none for a cancel) when nothing was prepared; the
// buffers of an earlier export are then left as they were.
bool PrepareExport(int32_t frameCount);

// Storing the processed colours of one frame: everything that is the same
// for all LEDs of the frame is looked up once. StoreLed stores the colour
// of chain position `position` of `port` (black for a dark LED); writes
// that would fall outside the prepared buffers are ignored.
struct LedStoreFrame {
    uint8_t* frame[kPortCount];         // frame start per prepared port, else nullptr
    const uint8_t* active[kPortCount];  // lit/dark flags per port
    uint32_t positions;                 // frameLength / 3
    // The three output bytes of a lit LED, byte k in bits 8k..8k+7.
    uint32_t parts[3][256];
};

// False when frame `frameIndex` has no room in the buffers or no port is
// prepared (nothing to store).
bool BeginLedStoreFrame(int32_t frameIndex, LedStoreFrame* out);

inline void StoreLed(const LedStoreFrame& store, unsigned port, unsigned position, uint8_t red,
                     uint8_t green, uint8_t blue) {
    if (port >= unsigned(kPortCount)) return;
    uint8_t* frame = store.frame[port];
    if (frame == nullptr || position >= store.positions) return;
    uint32_t value = 0;
    if (store.active[port][position] == 1)
        value = store.parts[0][red] | store.parts[1][green] | store.parts[2][blue];
    uint8_t* target = frame + size_t(position) * 3;
    target[0] = uint8_t(value);
    target[1] = uint8_t(value >> 8);
    target[2] = uint8_t(value >> 16);
}

// Stores every covered LED of `frame` (8-bit BGR, gray or BGRA; top row on
// grid row 2047) for frame `frameIndex`, as the pixel walk would: where
// several cells name one LED, the one a row-by-row walk meets last wins.
void StoreFrameInExport(const cv::Mat& frame, int32_t frameIndex);

// XORs frame `frameIndex` of every prepared buffer with the scrambling
// stream; a second call restores it. Frames outside the buffers are ignored.
void ScrambleFrame(int32_t frameIndex);

// One file per prepared port; false at the first file that could not be
// written (files written before it stay). True when nothing is prepared.
bool WriteControllerFiles();

// Frees every buffer; the export is idle afterwards.
void ReleaseExport();

// Release and forget the last export.
void ResetExport();
// Replaces the buffer allocation (malloc-compatible; nullptr restores the
// default), to exercise the out-of-memory refusal.
void SetExportAllocatorForTests(void* (*allocate)(size_t));
