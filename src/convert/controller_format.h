// The controller file format: a 512-byte header holding the frame length
// and two scrambling keys, then one frame per stride, every frame XORed with
// the scrambling stream of the keys.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kControllerHeaderSize = 512;
constexpr int kMaxExportFrames = 200000;
constexpr uint32_t kMaxFrameLength = 6144;
constexpr uint32_t kMaxFrameStride = 6656;

// The smallest multiple of 512 that is >= length; 512 for 0, 6656 above 6144.
uint32_t FrameStrideFor(uint32_t length);

// The two scrambling keys of a new export, 1..255 each, drawn from the C
// library's generator seeded with the time.
void DrawControllerKeys(uint8_t* keyA, uint8_t* keyB);
// The 512-byte header: frame length (little-endian) at 0, the keys at 254
// and 255, zeros elsewhere.
void WriteControllerHeader(uint8_t* header, uint32_t frameLength, uint8_t keyA, uint8_t keyB);

// target[k] = data[k] ^ stream[k] for `length` bytes (target may be data),
// eight bytes at a time; the buffers need no alignment.
void XorWithStream(uint8_t* target, const uint8_t* data, const uint8_t* stream, size_t length);

// Applies the scrambling stream of keys (keyA, keyB) to `length` bytes.
void ScrambleBytes(uint8_t* data, size_t length, uint8_t keyA, uint8_t keyB);
