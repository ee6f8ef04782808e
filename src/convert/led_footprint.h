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
// As a footprint reaches only as far as the nearest other LED, footprints
// barely overlap and a frame's pass reads each pixel about once: summing
// the cells costs no more than building a summed-area table over them. Two
// by two footprints (LEDs on every second cell) have their own path, eight
// side by side at a time where the processor has wide byte permutes, which
// also sum the rows of footprints 8 cells wide and more.
#pragma once

#include <cstdint>

#include "convert/led_map.h"
#include "model/layout.h"

// How each LED reads the frame.
enum class SampleMode : uint8_t { Point = 0, Area = 1 };

constexpr int kMaxFootprintSide = 64;

// How a frame's pass reads a footprint, chosen when it is built.
enum class FootprintKind : uint8_t {
    Dark = 0,     // outside the frame: the LED stays dark
    Pixel = 1,    // one cell: the pixel itself, as in the LED map
    Square2 = 2,  // 2 x 2 inside the frame, with 8 bytes readable from each row
    Cells = 3,    // anything else, row by row
    // A Square2 starting eight of them side by side along a row (each
    // footprint six bytes right of the one before): read as 16 x 2 pixels.
    SquareRow8 = 4,
};

struct LedFootprint {
    uint32_t offset;  // byte offset of its top-left pixel inside the frame
    uint8_t columns;  // its pixels inside the frame; 0 for an LED left dark
    uint8_t rows;
    uint8_t side;  // the whole square's side, cells outside the frame included
    FootprintKind kind;
};

// Eight footprints side by side from a SquareRow8, and as many more
// groups of eight following on along the row, so that a frame's pass over
// them need not read theirs.
struct FootprintRun {
    uint32_t offset;
    uint16_t start;   // the first's chain position
    uint16_t groups;  // of eight
};

struct LedFootprints {
    LedFootprint led[kPortCount][kChainCapacity];
    FootprintRun run[kPortCount][kChainCapacity / 8];  // by position
    uint16_t runs[kPortCount];
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

// Whether AreaFrameLeds may use the processor's wide instructions, where it
// has them (the bytes are the same either way); true until changed, and
// after ResetConvertState. Tests: to reach the plain path too.
void AllowWideAreaPass(bool allow);

// The area mean works in linear light 0..kLinearOne: each 8-bit value is
// decoded from sRGB, and the mean is encoded back to 8 bits, rounded.
// Fourteen bits keep every 8-bit value apart (the closest two, 0 and 1, are
// five steps apart) with an encoding table that stays in the first-level
// cache.
constexpr uint16_t kLinearOne = 16383;
