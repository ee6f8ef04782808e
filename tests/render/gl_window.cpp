// The shared test window: one per test process.
#include "render/gl_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/shell.h"

void EnsureTestWindow() {
    static bool created = false;
    if (!created) {
        int argc = 1;
        char name[] = "render_tests";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(kTestWindowWidth, kTestWindowHeight);
        glutCreateWindow("render tests");
        glutDisplayFunc([] {});  // freeglut wants one before it handles events
        for (int i = 0; i < 5; ++i) glutMainLoopEvent();
        created = true;
    }
    ApplyMaterialAndLight();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
}

void RenderScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawScene();
    glFinish();
}

std::vector<uint8_t> ReadFrame() {
    std::vector<uint8_t> pixels(size_t(kTestWindowWidth) * kTestWindowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kTestWindowWidth, kTestWindowHeight, GL_RGB, GL_UNSIGNED_BYTE,
                 pixels.data());
    return pixels;
}

Rgb PixelAt(int x, int y) {
    uint8_t p[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

int Lit(int byte) {
    return static_cast<int>(std::lround(std::min(1.0, byte / 255.0 + 0.01) * 255.0));
}

Rgb Lit(Rgb color) {
    return {Lit(color.r), Lit(color.g), Lit(color.b)};
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}
