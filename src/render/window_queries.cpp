// GLUT's answers about the current window, as the default entries of the
// window query table.
#include <GL/freeglut.h>

#include "render/window.h"

namespace {

WindowRect GlutWindowRect() {
    if (!HaveGlutWindow()) return {0, 0, 0, 0};
    WindowRect rect;
    rect.height = glutGet(GLUT_WINDOW_HEIGHT);
    rect.width = glutGet(GLUT_WINDOW_WIDTH);
    rect.x = glutGet(GLUT_WINDOW_X);
    rect.y = glutGet(GLUT_WINDOW_Y);
    return rect;
}

int32_t GlutWindowWidth() {
    return HaveGlutWindow() ? glutGet(GLUT_WINDOW_WIDTH) : 0;
}

int32_t GlutWindowHeight() {
    return HaveGlutWindow() ? glutGet(GLUT_WINDOW_HEIGHT) : 0;
}

constexpr WindowQueries kGlutQueries = {GlutWindowRect, GlutWindowWidth, GlutWindowHeight};
WindowQueries g_queries = kGlutQueries;

}  // namespace

bool HaveGlutWindow() {
    return glutGet(GLUT_INIT_STATE) && glutGetWindow() != 0;
}

WindowQueries& CurrentWindowQueries() {
    return g_queries;
}

void ResetWindowQueries() {
    g_queries = kGlutQueries;
}
