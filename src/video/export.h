// Controller file export: the target dialog and its checks, the file
// format's keys and header, the scrambling, and one buffer per port that
// has LEDs, sized for the whole video, filled frame by frame with the
// processed LED colours, scrambled frame by frame, and written at the end
// as one file per port ("PORT-n-name" beside the file the user chose). The
// buffers are the plain reference the streaming outputs are measured
// against. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/packet.h"
#include "model/layout.h"

constexpr int kControllerHeaderSize = 512;
constexpr int kMaxExportFrames = 200000;
constexpr uint32_t kMaxFrameLength = 6144;
constexpr uint32_t kMaxFrameStride = 6656;

struct ExportState {
    char directory[kPathBufferSize];
    char name[kPathBufferSize];
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

// The smallest multiple of 512 that is >= length; 512 for 0, 6656 above 6144.
uint32_t FrameStrideFor(uint32_t length);

// The two scrambling keys of a new export, 1..255 each, drawn from the C
// library's generator seeded with the time.
void DrawControllerKeys(uint8_t* keyA, uint8_t* keyB);
// The 512-byte header: frame length (little-endian) at 0, the keys at 254
// and 255, zeros elsewhere.
void WriteControllerHeader(uint8_t* header, uint32_t frameLength, uint8_t keyA, uint8_t keyB);

// The save dialog ("Bin Files", "*.led"); fills directory and name. False
// when cancelled.
bool ChooseExportTarget();

// Asks for the target and checks the frame count (at most 200,000, above
// 0), each refusal after its own message; false (silently for a cancel)
// when the conversion cannot go on. Sets the target's directory and name.
bool ChooseAndCheckExport(int32_t frameCount);

// The whole-video buffers (the window streams its files instead; see
// window_export.h). Asks for the target, checks the frame count, draws the keys and allocates
// a zeroed buffer with its header for every port with LEDs. False (after
// its own message, none for a cancel) when nothing was prepared; the
// buffers of an earlier export are then left as they were.
bool PrepareExport(int32_t frameCount);

// Storing the processed colours of one frame for the pixel walk: everything
// that is the same for all LEDs of the frame is looked up once. StoreLed
// stores the colour of chain position `position` of `port` (black for a
// dark LED); writes that would fall outside the prepared buffers (layout
// edits during a conversion) are ignored.
struct LedStoreFrame {
    uint8_t* frame[kPortCount];         // frame start per prepared port, else nullptr
    const uint8_t* active[kPortCount];  // lit/dark flags per port
    uint32_t positions;                 // frameLength / 3
    // The three output bytes of a lit LED, byte k in bits 8k..8k+7:
    // parts[0][red] | parts[1][green] | parts[2][blue], with black level,
    // brightness, calibration and colour order folded in; all zero for the
    // orders that give black.
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

// XORs frame `frameIndex` of every prepared buffer with the scrambling
// stream; a second call restores it. Frames outside the buffers are ignored.
void ScrambleFrame(int32_t frameIndex);

// target[k] = data[k] ^ stream[k] for `length` bytes (target may be data),
// eight bytes at a time; the buffers need no alignment.
void XorWithStream(uint8_t* target, const uint8_t* data, const uint8_t* stream, size_t length);

// Applies the scrambling stream of keys (keyA, keyB) to `length` bytes.
void ScrambleBytes(uint8_t* data, size_t length, uint8_t keyA, uint8_t keyB);

// One file per prepared port; false at the first file that could not be
// written (files written before it stay). True when nothing is prepared.
bool WriteControllerFiles();

// Frees every buffer; the export is idle afterwards.
void ReleaseExport();

// Tests: release and forget the last target.
void ResetExport();
// Tests: replaces the buffer allocation (malloc-compatible; nullptr restores
// the default), to exercise the out-of-memory refusal.
void SetExportAllocatorForTests(void* (*allocate)(size_t));
