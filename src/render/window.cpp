// Window geometry through the window queries, the size a redraw holds, and
// the one move at start-up, made through Xlib so that it is done before the
// loop runs.
#include "render/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include "platform/sys.h"

namespace {
bool g_sizeHeld = false;
int32_t g_heldWidth = 0;
int32_t g_heldHeight = 0;
}  // namespace

WindowRect QueryWindowRect() {
    return CurrentWindowQueries().rect();
}

int32_t WindowWidth() {
    if (g_sizeHeld) return g_heldWidth;
    return CurrentWindowQueries().width();
}

int32_t WindowHeight() {
    if (g_sizeHeld) return g_heldHeight;
    return CurrentWindowQueries().height();
}

void HoldWindowSize() {
    g_sizeHeld = false;
    g_heldWidth = WindowWidth();
    g_heldHeight = WindowHeight();
    g_sizeHeld = true;
}

void ReleaseWindowSize() {
    g_sizeHeld = false;
}

void MoveWindowNow(int32_t x, int32_t y) {
    if (!HaveGlutWindow()) return;
    // GLUT would only move the window at the next turn of its loop, after the
    // first command tick has already reported and saved the old position.
    // The context is current on the window, so its drawable is the window.
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable window = glXGetCurrentDrawable();
    if (display == nullptr || window == 0) {
        glutPositionWindow(x, y);
        return;
    }
    const WindowRect before = QueryWindowRect();
    XMoveWindow(display, window, x, y);
    XSync(display, False);
    // A window manager moves it when it handles the request: wait for that,
    // but not for long.
    for (int wait = 0; wait < 30; ++wait) {
        const WindowRect now = QueryWindowRect();
        if (now.x != before.x || now.y != before.y) return;
        Sys_Sleep(10);
    }
}
