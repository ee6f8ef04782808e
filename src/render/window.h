// The window's geometry as the rest of the program sees it: GLUT's values,
// asked through a table of window queries that tests without a GLUT window
// fill with a stand-in.
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

// The window system's answers about the current window, which the
// functions above always ask through: by default GLUT's (window_queries.cpp),
// a window of no size at (0, 0) while no GLUT window exists. Tests replace
// entries and call ResetWindowQueries after.
struct WindowQueries {
    WindowRect (*rect)();
    int32_t (*width)();
    int32_t (*height)();
};
WindowQueries& CurrentWindowQueries();
void ResetWindowQueries();
