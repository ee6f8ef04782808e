// Moving the view onto the 2048 x 2048 grid (the record itself is
// render/view_state.h): steps, zoom, the jumps of command 192, and the
// window pixel to grid cell conversion.
#pragma once

#include <cstdint>

#include "render/scene.h"
#include "render/view_state.h"

// The single steps of the W, S, A and D keys with their limits (also the
// targets 0..3 of command 192). Down stops where the lowest whole row of
// the window would leave the grid.
void ViewStepUp();
void ViewStepDown();
void ViewStepLeft();
void ViewStepRight();
// The + and - keys: one pixel more or less per cell, within 1..16.
void ViewZoomIn();
void ViewZoomOut();

// Command 192 for the 2048-byte mailbox copy: JumpView to its target byte
// with the bounds of the last redraw.
void ViewJump(const uint8_t* packet);
// The view move of command 192 for target byte `target`, given the bounds of
// the last drawn layout (nothing when all four are 0).
void JumpView(uint8_t target, const LayoutBoundsRecord& bounds);

// position: x in the low 16 bits, y from the bottom edge in the high 16 bits.
// Result: column in the low 16 bits, row in the high 16 bits, both wrapping
// modulo 65536 (values above 2047 lie outside the grid).
uint32_t ScreenToGrid(uint32_t position);

// Window position packing used by clicks and the read-out.
uint32_t PackWindowPosition(int32_t mouseX, int32_t mouseY);

// Tests: c = 16, scroll (0, 2047).
void ResetView();
