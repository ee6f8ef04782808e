// The straightforward form of storing one LED's colour in the export
// buffers, one LED at a time: the reference the pixel walk's per-frame
// StoreLed is checked against, and a simple way for tests to fill frames.
#pragma once

#include <cstdint>

// Stores the processed colour of chain position `position` of `port` in
// frame `frameIndex` (black for a dark LED). Writes that would fall outside
// the prepared buffers are ignored.
void StoreLedValue(int port, int32_t frameIndex, int position, const uint8_t rgb[3]);
