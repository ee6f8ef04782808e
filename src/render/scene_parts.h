// The size rule of the scene's LED disks, which the tests' straightforward
// reference drawing shares.
#pragma once

#include <cstdint>

// The outer radius of an LED disk: 1 for cells up to 5 pixels, half the
// cell less one above, times LedSizeFactor (wrapping 32-bit product).
int32_t LedOuterRadius(int cellSize, int32_t sizeFactor);
