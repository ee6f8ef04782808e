// The window's geometry as the rest of the program sees it. With a GLUT
// window these are GLUT's values; without one (unit tests) they come from a
// stand-in rectangle that tests set.
#pragma once

#include <cstdint>

struct WindowRect {
    int32_t x;  // drawing area on the screen (GLUT_WINDOW_X)
    int32_t y;  // (GLUT_WINDOW_Y)
    int32_t width;
    int32_t height;
};

// Whether a GLUT window (and so a GL context) exists.
bool HaveGlutWindow();

WindowRect QueryWindowRect();
int32_t WindowWidth();
int32_t WindowHeight();

// Asking GLUT for the size is a round trip to the window system (about
// 70 us), too slow for the drawing steps that need it per port. A redraw
// holds the size it set its viewport from: between Hold and Release,
// WindowWidth and WindowHeight answer from it. GUI thread only.
void HoldWindowSize();
void ReleaseWindowSize();

// Asks the window system to put the window at (x, y) at once and waits up to
// 300 ms for a window manager to do so. Nothing without a GLUT window.
void MoveWindowNow(int32_t x, int32_t y);

// Tests without a GLUT window: the rectangle QueryWindowRect reports.
void SetStandInWindow(WindowRect rect);
