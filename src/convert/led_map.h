// Where every LED takes its colour from. The LED cells are listed once from
// the grid marks, by port and chain position (rebuilt only when the model
// reports a change of the marks); the LED map turns them into the byte
// offset of each LED's source pixel in a frame of a given size, so the work
// of one frame is proportional to the number of LEDs, not to the grid.
//
// A frame's top row lands on grid row 2047 and its left column on column 0.
// An LED named by several cells (marks left by loaders) takes the pixel of
// the one a row-by-row walk of the frame (picture row, then column) meets
// last among those inside the frame, as the painting window always did.
#pragma once

#include <cstdint>
#include <vector>

#include "model/layout.h"

// ---- LED cells ------------------------------------------------------------------

// A cell as picture row << 11 | column; kNoCell when there is none.
constexpr uint32_t kNoCell = 0xFFFFFFFFu;

// The listing, current with the marks after ListLedCells.
struct LedCells {
    // cell[port][position]: the cell of an LED named by exactly one cell.
    uint32_t cell[kPortCount][kChainCapacity];
    uint16_t portEnd[kPortCount];  // one past the last such position
    // LEDs named by several cells: port << 48 | position << 32 | row << 16 |
    // column, sorted, so one LED's cells follow in row-by-row walk order.
    std::vector<uint64_t> shared;
    uint32_t marksVersion;
    bool listed;
};

// Brings the listing up to date with the marks and returns it. Cells naming
// a port above 255 or a position above 2047 are left out. GUI thread (or
// the one thread that owns the model).
const LedCells& ListLedCells();
// Tests: forget the listing.
void ResetLedCells();

// ---- LED map ----------------------------------------------------------------------

constexpr uint32_t kNoPixel = 0xFFFFFFFFu;

struct LedMap {
    // pixel[port][position]: byte offset of the source pixel in a
    // continuous 8-bit BGR frame of width x height, or kNoPixel when the
    // LED lies outside the frame or has no cell.
    uint32_t pixel[kPortCount][kChainCapacity];
    uint16_t positions[kPortCount];  // mapped positions per port
    uint32_t marksVersion;
    int32_t width;
    int32_t height;
    bool built;
};

// Rebuilds `map` when the marks or the frame size changed since it was
// built; true when it did.
bool UpdateLedMap(LedMap* map, int32_t width, int32_t height);

// The output bytes of one lit LED for each channel value, byte k in bits
// 8k..8k+7 (see BuildLedParts in color.h).
typedef uint32_t LedParts[3][256];

// Fills values[port] (3 x `positions` bytes) for every port where it is
// not null: lit LEDs inside the frame get parts[0][red] | parts[1][green] |
// parts[2][blue] of their pixel, dark LEDs, LEDs outside the frame and
// positions without an LED get 0, 0, 0. The lit/dark flags are read now.
void MapFrameLeds(const LedMap& map, const uint8_t* bgr, const LedParts& parts, uint32_t positions,
                  uint8_t* const values[kPortCount]);
