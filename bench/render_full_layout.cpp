// Benchmark: one redraw of a full layout (256 ports x 2048 LEDs), drawn the
// straightforward way (a new quadric and an immediate-mode disk per LED, one
// glBegin/glEnd per chain line) and the program's way (cached disk shapes,
// LEDs outside the window skipped, one batch per port), at three zoom
// levels. Prints the times, the ratio and how many pixels differ between the
// two pictures (it must be 0). Needs an X display (run it under xvfb-run).
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/shell.h"
#include "app/view.h"
#include "model/layout.h"
#include "render/scene.h"
#include "render/settings.h"
#include "render/window.h"
#include "support/reference_drawing.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 960;

void BuildFullLayout() {
    ResetLayoutModel();
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < kPortCount; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) {
            const int g = port * kChainCapacity + i;
            points[i] = {static_cast<uint16_t>((g % 1024) * 2),
                         static_cast<uint16_t>(2047 - (g / 1024) * 4)};
        }
        const uint8_t color[3] = {static_cast<uint8_t>(port * 37), static_cast<uint8_t>(255 - port),
                                  static_cast<uint8_t>(port * 11)};
        InstallLoadedChain(port, color, points, kChainCapacity, kChainCapacity);
        for (int i = 3; i < kChainCapacity; i += 7) SetActiveRange(port, i, i + 1, 0);
    }
}

// The straightforward drawing of all chains: a quadric per LED.
void DrawChainsStraightforward() {
    for (int port = 0; port < kPortCount; ++port)
        if (ChainLength(port) > 0) DrawPortOneByOne(port, View().cellSize);
}

void BeginRedraw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ApplyMaterialAndLight();
    ApplyWindowProjection(kWidth, kHeight);
    DrawGridDots(false);
}

double Redraw(bool straightforward) {
    const auto start = std::chrono::steady_clock::now();
    HoldWindowSize();  // as a redraw of the program does
    BeginRedraw();
    if (straightforward) {
        DrawChainsStraightforward();
    } else {
        DrawChains(false);
    }
    glFinish();
    ReleaseWindowSize();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double BestOf(int runs, bool straightforward) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) best = std::min(best, Redraw(straightforward));
    return best;
}

std::vector<unsigned char> ReadBack() {
    std::vector<unsigned char> pixels(size_t(kWidth) * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(kWidth, kHeight);
    glutCreateWindow("render_full_layout");
    glutHideWindow();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    ResetSettings();
    ApplyDefaultSettings();
    ResetSceneState();
    BuildFullLayout();
    std::printf("full layout: %d ports x %d LEDs, window %dx%d\n", kPortCount, kChainCapacity,
                kWidth, kHeight);

    struct Case {
        int cellSize;
        uint16_t scrollX, scrollY;
    };
    const Case cases[] = {{16, 0, 2047}, {4, 0, 2047}, {1, 0, 2047}, {1, 700, 1500}};
    bool allSame = true;
    for (const Case& one : cases) {
        SetView(one.cellSize, one.scrollX, one.scrollY);
        Redraw(true);
        const std::vector<unsigned char> reference = ReadBack();
        Redraw(false);
        const std::vector<unsigned char> ours = ReadBack();
        long differing = 0, lit = 0;
        for (size_t i = 0; i < reference.size(); i += 3) {
            if (!std::equal(&reference[i], &reference[i] + 3, &ours[i])) ++differing;
            if (reference[i] | reference[i + 1] | reference[i + 2]) ++lit;
        }
        const double slow = BestOf(3, true);
        const double fast = BestOf(5, false);
        std::printf(
            "cell %2d scroll (%4u,%4u): straightforward %9.2f ms, batched %8.2f ms, ratio "
            "%7.1fx, %ld lit pixels, %ld differ\n",
            one.cellSize, one.scrollX, one.scrollY, slow, fast, slow / fast, lit, differing);
        if (differing != 0) allSame = false;
    }
    std::printf("pictures %s\n", allSame ? "identical" : "DIFFER");
    return allSame ? 0 : 1;
}
