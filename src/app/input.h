// The window's direct input: typed keys, mouse button releases and mouse
// motion without a button, as the GLUT callbacks.
#pragma once

#include <cstdint>

struct MousePosition {
    int32_t x;  // GLUT window coordinates, origin top-left
    int32_t y;
};
MousePosition LastMousePosition();

// The GLUT callbacks; command 173 calls KeyboardInput(key, 0, 0).
void KeyboardInput(unsigned char key, int x, int y);
void MouseInput(int button, int state, int x, int y);
void PassiveMotionInput(int x, int y);

// Tests: mouse at (0, 0).
void ResetInput();
