// Drawing of the layout on every redisplay: grid dots, the LEDs and chain
// lines of all ports, the frame around the LEDs with its size labels, and the
// read-out of the cell under the mouse. Window pixels, origin bottom-left.
//
// A full layout holds half a million LEDs, so LEDs are not drawn one quadric
// at a time: each disk shape is computed once (disk_geometry), LEDs that
// cannot reach the window are skipped, and the rest of a port goes to the GL
// in one batch. The batch reproduces the per-LED transform (translate, then
// project) in the same float steps, so every vertex lands where the per-LED
// drawing puts it and the pixels stay the same (the drawing tests and the
// benchmark compare both ways pixel for pixel). At cell sizes up to 5 a few
// LED and line shapes are known to cover fixed pixels and take a shortcut.
#include "render/scene.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/layout.h"
#include "render/disk_geometry.h"
#include "render/settings.h"
#include "render/text_calls.h"
#include "render/view_state.h"
#include "render/window.h"

namespace {

struct Bounds16 {
    uint16_t minX, minY, maxX, maxY;
};

constexpr Bounds16 kEmptyBounds = {0xFFFF, 0xFFFF, 0, 0};

constexpr SceneOptions kStartOptions = {LedShape::Disk, 1, 1};
SceneOptions g_options = kStartOptions;

Bounds16 g_bounds = kEmptyBounds;
LayoutBoundsRecord g_lastBounds = {0, 0, 0, 0};

// Batch buffers, kept between redraws so they are allocated once.
std::vector<float> g_positions;  // x, y per vertex
std::vector<float> g_colors;     // r, g, b per vertex (video colours only)
std::vector<uint32_t> g_indices;
std::vector<GLint> g_ints;        // dots and line ends
std::vector<float> g_smallDisks;  // centres of lit 12-sided disks of radius 1

// The projection of this redraw, needed to transform batched disk vertices.
struct Projection {
    float scaleX, offsetX, scaleY, offsetY;
};

// A disk shape with its outline already multiplied by the projection scale.
struct ScaledMesh {
    const DiskMesh* mesh = nullptr;
    std::vector<float> xy;
};

void SetColor(const float rgb[3]) {
    glColor3f(rgb[0], rgb[1], rgb[2]);
}

void LedColorToFloats(uint32_t color, float rgb[3]) {
    rgb[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    rgb[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    rgb[2] = static_cast<float>(color & 0xFF) / 255.0f;
}

uint32_t ChainColorValue(int port) {
    const uint8_t* rgb = ChainColor(port);
    return (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
}

Projection CurrentProjection() {
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    return {m[0], m[12], m[5], m[13]};
}

// Per LED the GL folds "translate by t" into the matrix (scale * t + offset,
// rounded step by step) and then adds scale * v for every vertex v. The batch
// does the same two roundings here and is drawn with identity matrices, so
// every vertex gets the very clip coordinate of the per-LED drawing.
inline float FoldedOffset(float scale, float offset, float translation) {
    volatile float product = scale * translation;  // no fused multiply-add
    return product + offset;
}

void ScaleMesh(ScaledMesh& scaled, const DiskMesh& mesh, const Projection& p) {
    scaled.mesh = &mesh;
    scaled.xy.resize(mesh.outline.size());
    for (size_t k = 0; k < mesh.outline.size(); k += 2) {
        volatile float x = p.scaleX * mesh.outline[k];
        volatile float y = p.scaleY * mesh.outline[k + 1];
        scaled.xy[k] = x;
        scaled.xy[k + 1] = y;
    }
}

void AppendDisk(const ScaledMesh& scaled, const Projection& p, int32_t cx, int32_t cy) {
    const float fx = FoldedOffset(p.scaleX, p.offsetX, static_cast<float>(cx));
    const float fy = FoldedOffset(p.scaleY, p.offsetY, static_cast<float>(cy));
    const uint32_t base = static_cast<uint32_t>(g_positions.size() / 2);
    const std::vector<float>& xy = scaled.xy;
    for (size_t k = 0; k < xy.size(); k += 2) {
        g_positions.push_back(xy[k] + fx);
        g_positions.push_back(xy[k + 1] + fy);
    }
    for (uint32_t index : scaled.mesh->triangles) g_indices.push_back(base + index);
}

void FlushDiskBatch() {
    if (g_indices.empty()) return;
    const bool perVertexColor = !g_colors.empty();
    glNormal3f(0.0f, 0.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, g_positions.data());
    if (perVertexColor) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, g_colors.data());
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(g_indices.size()), GL_UNSIGNED_INT,
                   g_indices.data());
    if (perVertexColor) glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    g_positions.clear();
    g_colors.clear();
    g_indices.clear();
}

void FlushPointBatch(int cellSize) {
    if (g_positions.empty()) return;
    const bool perVertexColor = !g_colors.empty();
    glPointSize(static_cast<GLfloat>(cellSize));
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, g_positions.data());
    if (perVertexColor) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, g_colors.data());
    }
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(g_positions.size() / 2));
    if (perVertexColor) glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPointSize(1.0f);
    g_positions.clear();
    g_colors.clear();
}

// False when nothing of a shape reaching `reach` pixels around the centre can
// fall inside the window (centres are never negative: they are 16-bit).
bool MayShow(int64_t cx, int64_t cy, int64_t reach, int width, int height) {
    constexpr int64_t kMargin = 2;
    return cx - reach - kMargin <= width && cy - reach - kMargin <= height;
}

// The outer radius of an LED disk: 1 for cells up to 5 pixels, half the
// cell less one above, times LedSizeFactor (wrapping 32-bit product).
int32_t LedOuterRadius(int cellSize, int32_t sizeFactor) {
    const int half = cellSize / 2;
    const int32_t r = half <= 2 ? 1 : half - 1;
    return static_cast<int32_t>(static_cast<uint32_t>(r) * static_cast<uint32_t>(sizeFactor));
}

void DrawTextAt(const std::string& text, float x, float y, float z) {
    CurrentTextCalls().drawAt(text.c_str(), x, y, z);
}

}  // namespace

void DrawGridDots(bool videoShowing) {
    const ViewState& view = View();
    const int c = view.cellSize;
    if (!videoShowing && c > 3) {
        const int width = WindowWidth();
        const int height = WindowHeight();
        float rgb[3];
        ColorToFloats(CurrentSettings().gridDotColor, rgb);
        SetColor(rgb);
        glPointSize(1.0f);
        g_ints.clear();
        for (int y = height - 1; y > 0; y -= c) {
            for (int x = 0; x < width; x += c) {
                g_ints.push_back(x);
                g_ints.push_back(y);
            }
        }
        if (!g_ints.empty()) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(2, GL_INT, 0, g_ints.data());
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(g_ints.size() / 2));
            glDisableClientState(GL_VERTEX_ARRAY);
        }
    }
    g_bounds = kEmptyBounds;
}

namespace {

// Both expect the drawing state of a redraw: the window's orthographic
// projection and an identity modelview matrix. `video`: the LEDs take their
// cells' colours (a playback shows).
void DrawPortLeds(int port, int c, bool video) {
    const int n = ChainLength(port);
    if (n == 0) return;
    const ViewState& view = View();
    const int width = WindowWidth();
    const int height = WindowHeight();
    const int h = c / 2;
    const ChainPoint* points = CurrentPoints(port);
    const uint8_t* active = ActiveFlags(port);
    const SceneOptions& values = g_options;
    const bool square = values.ledShape == LedShape::Square;
    const int32_t outer = LedOuterRadius(c, values.ledSizeFactor);
    const Projection projection = CurrentProjection();

    // [lit][first in chain]; the quadric draws nothing for a radius <= 0.
    static ScaledMesh meshes[2][2];
    const bool disks = !square && outer > 0;
    if (disks) {
        for (int lit = 0; lit < 2; ++lit) {
            const double inner = lit ? 0.0 : 0.75 * outer;
            ScaleMesh(meshes[lit][1], DiskMeshFor(outer, inner, 4), projection);
            ScaleMesh(meshes[lit][0], DiskMeshFor(outer, inner, 12), projection);
        }
    }
    const int64_t reach = square ? c : outer;
    // A lit 12-sided disk of radius 1 around a whole-pixel centre covers just
    // the 2 x 2 pixels around it (their centres lie 0.71 from it, inside the
    // 0.97 that the polygon reaches everywhere; the next ones lie 1.58 away),
    // which is what a point of size 2 there covers. With one colour per port
    // the drawing order inside the port does not show, so these go in a
    // separate batch; video colours keep the plain order. The dark ring of
    // that size covers no pixel at all: its hole reaches 0.72 everywhere.
    const bool smallDisks = disks && outer == 1 && !video;
    const bool smallRings = disks && outer == 1;

    for (int i = 0; i < n; ++i) {
        const ChainPoint point = points[i];
        if (point.x > g_bounds.maxX) g_bounds.maxX = point.x;
        if (point.y > g_bounds.maxY) g_bounds.maxY = point.y;
        if (point.x < g_bounds.minX) g_bounds.minX = point.x;
        if (point.y < g_bounds.minY) g_bounds.minY = point.y;
        if (!square && !disks) continue;

        const uint16_t left = static_cast<uint16_t>((point.x - view.scrollX) * c);
        const uint16_t bottom = static_cast<uint16_t>(height - (view.scrollY - point.y + 1) * c);
        const int32_t cx = left + h;
        const int32_t cy = bottom + h;
        if (!MayShow(cx, cy, reach, width, height)) continue;
        if (smallRings && !active[i] && i != 0) continue;

        const size_t firstVertex = g_positions.size() / 2;
        if (square) {
            g_positions.push_back(static_cast<float>(cx));
            g_positions.push_back(static_cast<float>(cy));
        } else if (smallDisks && active[i] && i != 0) {
            g_smallDisks.push_back(static_cast<float>(cx));
            g_smallDisks.push_back(static_cast<float>(cy));
        } else {
            AppendDisk(meshes[active[i] ? 1 : 0][i == 0 ? 1 : 0], projection, cx, cy);
        }
        if (video) {
            float rgb[3];
            LedColorToFloats(CellColor(point.x, point.y), rgb);
            for (size_t v = firstVertex; v < g_positions.size() / 2; ++v) {
                g_colors.insert(g_colors.end(), rgb, rgb + 3);
            }
        }
    }
    g_lastBounds = {g_bounds.minX, g_bounds.maxX, g_bounds.maxY, g_bounds.minY};

    if (!video) {
        float rgb[3];
        LedColorToFloats(ChainColorValue(port), rgb);
        SetColor(rgb);
    }
    if (square) {
        FlushPointBatch(c);
    } else {
        FlushDiskBatch();
        if (!g_smallDisks.empty()) {
            g_positions.swap(g_smallDisks);
            FlushPointBatch(2);
            g_smallDisks.clear();
        }
    }
}

void DrawChainLines(int port, int c) {
    const int n = ChainLength(port);
    if (n < 2) return;
    const ViewState& view = View();
    const int height = WindowHeight();
    const int h = c / 2;
    const ChainPoint* points = CurrentPoints(port);
    float rgb[3];
    ColorToFloats(CurrentSettings().chainLineColor, rgb);
    SetColor(rgb);
    auto centreX = [&](int k) { return (points[k].x - view.scrollX) * c + h; };
    auto centreY = [&](int k) { return (points[k].y - view.scrollY - 1) * c + height + h; };
    const int width = WindowWidth();
    constexpr int kMargin = 2;  // a segment wholly outside this box leaves no pixel
    // A segment between two lit 2 x 2 LEDs (see DrawPortLeds) whose centres
    // lie at most 2 pixels apart on each axis can only touch pixel centres
    // within half a pixel of it, and all of those belong to the two LEDs'
    // blocks, which already hold this depth: none of its fragments survives.
    const uint8_t* active = ActiveFlags(port);
    const bool smallDisks =
        g_options.ledShape != LedShape::Square && LedOuterRadius(c, g_options.ledSizeFactor) == 1;
    g_ints.clear();
    for (int k = 0; k + 1 < n; ++k) {
        const int x1 = centreX(k + 1), y1 = centreY(k + 1);
        const int x0 = centreX(k), y0 = centreY(k);
        if (std::max(x0, x1) < -kMargin || std::min(x0, x1) > width + kMargin) continue;
        if (std::max(y0, y1) < -kMargin || std::min(y0, y1) > height + kMargin) continue;
        if (smallDisks && k > 0 && active[k] && active[k + 1] && std::abs(x1 - x0) <= 2 &&
            std::abs(y1 - y0) <= 2) {
            continue;
        }
        g_ints.insert(g_ints.end(), {x1, y1, x0, y0});
    }
    if (g_ints.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_INT, 0, g_ints.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(g_ints.size() / 2));
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace

void DrawChains(bool videoShowing) {
    const int c = View().cellSize;
    const bool lines = !videoShowing;
    for (int port = 0; port < kPortCount; ++port) {
        if (ChainLength(port) == 0) continue;
        DrawPortLeds(port, c, videoShowing);
        if (lines) DrawChainLines(port, c);
    }
}

void DrawBoundingFrame() {
    const Bounds16 b = g_bounds;
    if (b.minX == 0xFFFF || b.minY == 0xFFFF) return;
    const ViewState& view = View();
    const int c = view.cellSize;
    const int width = WindowWidth();
    const int height = WindowHeight();
    const int sx0 = view.scrollX;
    const int sy0 = view.scrollY;

    uint16_t left = sx0 > b.minX ? 0 : static_cast<uint16_t>((b.minX - sx0) * c);
    if (left > kGridMax) left = 0;
    uint16_t bottom = static_cast<uint16_t>(height - (sy0 - b.minY + 1) * c);
    if (bottom > kGridMax) bottom = 0;
    if (sx0 > b.maxX) return;
    uint16_t right = static_cast<uint16_t>((b.maxX - sx0) * c);
    if (right > width) right = static_cast<uint16_t>(width);
    const uint16_t top = static_cast<uint16_t>(height - (sy0 - b.maxY) * c);
    // A view reaching below row 0 has a negative bottom row; it is compared
    // as a signed number, so such a view never hides the frame.
    if (sy0 - height / c > b.maxY) return;

    float rgb[3];
    ColorToFloats(CurrentSettings().frameColor, rgb);
    SetColor(rgb);
    const float l = left, r = right + c, bt = bottom, t = top;
    glBegin(GL_LINES);
    glVertex3f(l, bt, 0.01f);
    glVertex3f(r, bt, 0.01f);
    glVertex3f(r, bt, 0.01f);
    glVertex3f(r, t, 0.01f);
    glVertex3f(r, t, 1.0f);
    glVertex3f(l, t, 1.0f);
    glVertex3f(l, t, 1.0f);
    glVertex3f(l, bt, 1.0f);
    glEnd();

    char label[32];
    std::snprintf(label, sizeof label, "%dx%d", b.maxX - b.minX + 1, b.maxY - b.minY + 1);
    DrawTextAt(label, right + 20.0f, top - 15.0f, 0.3f);
    if (top - bottom > 50) DrawTextAt(label, right + 20.0f, bottom - 20.0f, 0.3f);
    if (right - left > 100) DrawTextAt(label, left + 5.0f, bottom - 20.0f, 0.3f);
}

namespace {

// One dark grey read-out box from the origin, 20 pixels high.
void DrawReadoutBox(float width) {
    glColor3f(0.2f, 0.2f, 0.2f);
    glBegin(GL_POLYGON);
    glVertex3f(0.0f, 0.0f, 0.35f);
    glVertex3f(width, 0.0f, 0.35f);
    glVertex3f(width, 20.0f, 0.35f);
    glVertex3f(0.0f, 20.0f, 0.35f);
    glEnd();
}

}  // namespace

const SceneOptions& CurrentSceneOptions() {
    return g_options;
}
void SetLedShape(LedShape shape) {
    g_options.ledShape = shape;
}
void SetLedSizeFactor(int32_t factor) {
    g_options.ledSizeFactor = factor;
}
void ToggleBoundingFrame() {
    g_options.boundingFrameVisible = !g_options.boundingFrameVisible;
}

void DrawCursorReadout(uint32_t cell) {
    const int width = WindowWidth();
    const uint16_t gx = static_cast<uint16_t>(cell & 0xFFFF);
    const uint16_t gy = static_cast<uint16_t>(cell >> 16);

    DrawReadoutBox(150.0f);
    char text[64];
    // Signed: below the grid's row 0 the row wraps and Y goes negative.
    std::snprintf(text, sizeof text, "X=%d  Y=%d", int(gx) + 1, kGridSide - int(gy));
    glColor3f(1.0f, 1.0f, 1.0f);
    DrawTextAt(text, 4.0f, 3.0f, 0.4f);

    if (gx >= kGridSide || gy >= kGridSide) return;
    const GridCell& grid = CellAt(gx, gy);
    if (grid.occupied != 1) return;
    glPushMatrix();
    glTranslatef(width > 200 ? width - 200.0f : static_cast<float>(width), 0.0f, 0.0f);
    DrawReadoutBox(200.0f);
    std::snprintf(text, sizeof text, "Port=%u Position=%u ", unsigned(grid.port) + 1,
                  unsigned(grid.index) + 1);
    glColor3f(1.0f, 1.0f, 1.0f);
    DrawTextAt(text, 4.0f, 3.0f, 0.4f);
    glPopMatrix();
}

LayoutBoundsRecord LastLayoutBounds() {
    return g_lastBounds;
}

void ResetSceneState() {
    g_options = kStartOptions;
    g_bounds = kEmptyBounds;
    g_lastBounds = {0, 0, 0, 0};
}
