// A stand-in window for tests that run without a GLUT window: while none
// exists, the window query table answers with a rectangle the test sets;
// once one exists, with GLUT's answers.
#pragma once

#include "render/window.h"

namespace stand_in_window {
inline WindowRect g_rect = {0, 0, 640, 480};
inline WindowQueries g_glut = {nullptr, nullptr, nullptr};

inline WindowRect Rect() {
    return HaveGlutWindow() ? g_glut.rect() : g_rect;
}
inline int32_t Width() {
    return HaveGlutWindow() ? g_glut.width() : g_rect.width;
}
inline int32_t Height() {
    return HaveGlutWindow() ? g_glut.height() : g_rect.height;
}
}  // namespace stand_in_window

// Puts the stand-in in the table (ResetRunState puts one of 640 x 480 at
// (0, 0) there) and makes `rect` the window it reports.
inline void SetStandInWindow(WindowRect rect) {
    WindowQueries& queries = CurrentWindowQueries();
    if (queries.rect != stand_in_window::Rect) stand_in_window::g_glut = queries;
    queries = {stand_in_window::Rect, stand_in_window::Width, stand_in_window::Height};
    stand_in_window::g_rect = rect;
}
