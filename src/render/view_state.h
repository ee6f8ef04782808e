// The view onto the 2048 x 2048 grid that every redraw draws from: the
// scroll origin and the cell size. This module owns the record; the app's
// input and commands move it. GUI thread only.
#pragma once

#include <cstdint>

struct ViewState {
    int32_t cellSize;  // 1..16 pixels per cell
    uint16_t scrollX;  // grid column at the left edge
    uint16_t scrollY;  // grid row at the top edge
};

const ViewState& View();
// Writers of the view: keys, command 192, opening files, background image.
void SetView(int32_t cellSize, uint16_t scrollX, uint16_t scrollY);
void SetCellSize(int32_t cellSize);
void SetScroll(uint16_t scrollX, uint16_t scrollY);

// Tests: c = 16, scroll (0, 2047).
void ResetViewState();
