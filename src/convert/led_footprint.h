// Area sampling: every LED takes the mean of the frame over its footprint
// instead of the one pixel under it, so that detail finer than the LED
// spacing (a thin line, a moving edge) lights the LEDs it passes at a
// steady level instead of flickering between unrelated pixels.
//
// An LED's footprint is a square centred on the cell the LED map reads for
// it, whose side is the distance to the nearest other LED of the layout,
// rounded, at least 1 cell and at most 64 (an even side reaches one cell
// further up and left than down and right, so that evenly spaced LEDs tile
// the picture). The mean is taken in linear light: sRGB decoded, averaged,
// encoded again. Cells of a footprint outside the frame count as black; an
// LED whose own cell lies outside the frame stays dark, as in the LED map.
// The footprints are built once per layout and frame size, from the LED
// map; the work of a frame is proportional to the cells of all footprints.
#pragma once

#include <cstdint>

#include "convert/led_map.h"
#include "model/layout.h"

// How each LED reads the frame.
enum class SampleMode : uint8_t { Point = 0, Area = 1 };

constexpr int kMaxFootprintSide = 64;

struct LedFootprint {
    uint32_t offset;  // byte offset of its top-left pixel inside the frame
    uint8_t columns;  // its pixels inside the frame; 0 for an LED left dark
    uint8_t rows;
    uint8_t side;    // the whole square's side, cells outside the frame included
    uint32_t scale;  // 2^24 / side^2: the sum times scale >> 24 is the mean
};

struct LedFootprints {
    LedFootprint led[kPortCount][kChainCapacity];
    uint16_t positions[kPortCount];  // as in the LED map
    uint32_t marksVersion;
    int32_t width;
    int32_t height;
    bool built;
};

// Rebuilds `footprints` from `map` (brought up to date for this frame size
// first) when the marks or the frame size changed since it was built; true
// when it did. Reads the model's grid (the thread that owns the model).
bool UpdateLedFootprints(LedFootprints* footprints, const LedMap& map);

// The side of the footprint of the LED on grid cell (x, y), from the grid
// marks: the distance to the nearest cell of another LED, rounded, 1..64.
int FootprintSide(int x, int y);

// MapFrameLeds with every lit LED inside the frame taking its footprint's
// mean colour (then parts[] as there).
void AreaFrameLeds(const LedFootprints& footprints, const uint8_t* bgr, const LedParts& parts,
                   uint32_t positions, uint8_t* const values[kPortCount]);

// The area mean works in linear light 0..kLinearOne: each 8-bit value is
// decoded from sRGB, and the mean is encoded back to 8 bits, rounded.
// Fourteen bits keep every 8-bit value apart (the closest two, 0 and 1, are
// five steps apart) with an encoding table that stays in the first-level
// cache.
constexpr uint16_t kLinearOne = 16383;
