// Moving the view onto the 2048 x 2048 grid (the record itself is
// render/view_state.h), the window pixel to grid cell conversion, and the
// direct input of the window: typed keys, mouse button releases and mouse
// motion without a button.
#pragma once

#include <cstdint>

#include "render/view_state.h"

// The single steps of the W, S, A and D keys with their limits (also the
// targets 0..3 of command 192). Down stops where the lowest whole row of
// the window would leave the grid.
void ViewStepUp();
void ViewStepDown();
void ViewStepLeft();
void ViewStepRight();

// position: x in the low 16 bits, y from the bottom edge in the high 16 bits.
// Result: column in the low 16 bits, row in the high 16 bits, both wrapping
// modulo 65536 (values above 2047 lie outside the grid).
uint32_t ScreenToGrid(uint32_t position);

// Window position packing used by clicks and the read-out.
uint32_t PackWindowPosition(int32_t mouseX, int32_t mouseY);

struct MousePosition {
    int32_t x;  // GLUT window coordinates, origin top-left
    int32_t y;
};
MousePosition LastMousePosition();

// The GLUT callbacks; command 173 calls KeyboardInput(key, 0, 0).
void KeyboardInput(unsigned char key, int x, int y);
void MouseInput(int button, int state, int x, int y);
void PassiveMotionInput(int x, int y);

// Tests: c = 16, scroll (0, 2047), mouse (0, 0).
void ResetView();
