// The straightforward drawing of one port: a quadric per LED.
#include "support/reference_drawing.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "app/view.h"
#include "common/common.h"
#include "model/layout.h"
#include "render/scene.h"
#include "render/settings.h"
#include "render/window.h"

namespace {

// The outer radius of an LED disk: 1 for cells up to 5 pixels, half the
// cell less one above, times LedSizeFactor (wrapping 32-bit product).
int32_t OuterRadius(int cellSize, int32_t sizeFactor) {
    const int half = cellSize / 2;
    const int32_t r = half <= 2 ? 1 : half - 1;
    return static_cast<int32_t>(static_cast<uint32_t>(r) * static_cast<uint32_t>(sizeFactor));
}

}  // namespace

void DrawPortOneByOne(int port, int c) {
    const ViewState& view = View();
    const int height = WindowHeight();  // asks the window system: once, not per LED
    const int h = c / 2;
    const int32_t outer = OuterRadius(c, CurrentSceneOptions().ledSizeFactor);
    const ChainPoint* points = CurrentPoints(port);
    const uint8_t* rgb = ChainColor(port);
    const bool square = CurrentSceneOptions().ledShape == LedShape::Square;
    for (int i = 0; i < ChainLength(port); ++i) {
        const uint16_t left = static_cast<uint16_t>((points[i].x - view.scrollX) * c);
        const uint16_t bottom =
            static_cast<uint16_t>(height - (view.scrollY - points[i].y + 1) * c);
        glColor3f(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f);
        if (square) {
            glPointSize(c);
            glBegin(GL_POINTS);
            glVertex2i(left + h, bottom + h);
            glEnd();
            glPointSize(1);
            continue;
        }
        GLUquadric* quadric = gluNewQuadric();
        glPushMatrix();
        glTranslatef(left + h, bottom + h, 0.0f);
        gluDisk(quadric, ActiveFlags(port)[i] ? 0.0 : 0.75 * outer, outer, i == 0 ? 4 : 12, 1);
        glPopMatrix();
        gluDeleteQuadric(quadric);
    }
    float line[3];
    ColorToFloats(CurrentSettings().chainLineColor, line);
    glColor3f(line[0], line[1], line[2]);
    for (int k = 0; k + 1 < ChainLength(port); ++k) {
        glBegin(GL_LINES);
        glVertex2i((points[k + 1].x - view.scrollX) * c + h,
                   (points[k + 1].y - view.scrollY - 1) * c + height + h);
        glVertex2i((points[k].x - view.scrollX) * c + h,
                   (points[k].y - view.scrollY - 1) * c + height + h);
        glEnd();
    }
}
