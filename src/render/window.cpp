// Window geometry from GLUT, or from a stand-in rectangle when no GLUT
// window exists (unit tests of the parts that read it), and the one move
// at start-up, made through Xlib so that it is done before the loop runs.
#include "render/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include "platform/sys.h"

namespace {
WindowRect g_standIn = {0, 0, 640, 480};
bool g_sizeHeld = false;
int32_t g_heldWidth = 0;
int32_t g_heldHeight = 0;
}  // namespace

bool HaveGlutWindow() {
    return glutGet(GLUT_INIT_STATE) && glutGetWindow() != 0;
}

WindowRect QueryWindowRect() {
    if (!HaveGlutWindow()) return g_standIn;
    WindowRect rect;
    rect.height = glutGet(GLUT_WINDOW_HEIGHT);
    rect.width = glutGet(GLUT_WINDOW_WIDTH);
    rect.x = glutGet(GLUT_WINDOW_X);
    rect.y = glutGet(GLUT_WINDOW_Y);
    return rect;
}

int32_t WindowWidth() {
    if (g_sizeHeld) return g_heldWidth;
    return HaveGlutWindow() ? glutGet(GLUT_WINDOW_WIDTH) : g_standIn.width;
}

int32_t WindowHeight() {
    if (g_sizeHeld) return g_heldHeight;
    return HaveGlutWindow() ? glutGet(GLUT_WINDOW_HEIGHT) : g_standIn.height;
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

void SetStandInWindow(WindowRect rect) {
    g_standIn = rect;
}
