// The view onto the grid (scroll origin and cell size), the window pixel to
// grid cell conversion, and the window's direct input: typed keys scroll,
// zoom and undo; mouse button releases call the edit operations; motion
// without a button is remembered for the cursor read-out. GUI thread only.
#include "app/view.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/window.h"
#include "model/edit.h"
#include "model/layout.h"
#include "net/dispatch.h"

namespace {

constexpr int32_t kMinCellSize = 1;
constexpr int32_t kMaxCellSize = 16;
constexpr uint16_t kTopRow = kGridSide - 1;
constexpr uint16_t kLastColumn = kGridSide - 1;

ViewState g_view = {kMaxCellSize, 0, kTopRow};
MousePosition g_mouse = {0, 0};

// Divisions by the cell size must not trap on a value a project file brought in.
int32_t SafeCellSize() {
    return g_view.cellSize >= 1 ? g_view.cellSize : 1;
}

void LogKey(unsigned char key) {
    std::printf("%d\n", key);
    std::fflush(stdout);
}

}  // namespace

const ViewState& View() {
    return g_view;
}

void SetView(int32_t cellSize, uint16_t scrollX, uint16_t scrollY) {
    g_view = {cellSize, scrollX, scrollY};
}

void SetCellSize(int32_t cellSize) {
    g_view.cellSize = cellSize;
}

void SetScroll(uint16_t scrollX, uint16_t scrollY) {
    g_view.scrollX = scrollX;
    g_view.scrollY = scrollY;
}

void ViewStepUp() {
    if (g_view.scrollY < kTopRow) ++g_view.scrollY;
}

void ViewStepDown() {
    const int32_t rows = WindowHeight() / SafeCellSize();
    if (g_view.scrollY >= rows && g_view.scrollY > 1) --g_view.scrollY;
}

void ViewStepLeft() {
    if (g_view.scrollX > 0) --g_view.scrollX;
}

void ViewStepRight() {
    if (g_view.scrollX < kLastColumn) ++g_view.scrollX;
}

uint32_t ScreenToGrid(uint32_t position) {
    const uint32_t x = position & 0xFFFFu;
    const uint16_t fromBottom = uint16_t(position >> 16);
    const uint16_t height = uint16_t(WindowHeight());
    const uint16_t fromTop = uint16_t(height - fromBottom);
    const uint32_t c = uint32_t(SafeCellSize());
    const uint16_t column = uint16_t(x / c + g_view.scrollX);
    const uint16_t row = uint16_t(g_view.scrollY - fromTop / c);
    return uint32_t(column) | (uint32_t(row) << 16);
}

uint32_t PackWindowPosition(int32_t mouseX, int32_t mouseY) {
    const uint16_t x = uint16_t(mouseX);
    const uint16_t fromBottom = uint16_t(WindowHeight() - mouseY);
    return uint32_t(x) | (uint32_t(fromBottom) << 16);
}

MousePosition LastMousePosition() {
    return g_mouse;
}

void KeyboardInput(unsigned char key, int, int) {
    switch (key) {
        case 43:  // '+'
        case 61:  // '='
            if (g_view.cellSize < kMaxCellSize) ++g_view.cellSize;
            return;  // zooming in is not logged
        case 45:     // '-'
            if (g_view.cellSize > kMinCellSize) --g_view.cellSize;
            break;
        // Up: W w, the Cyrillic letters on the W key (cp1251), F and '&'.
        case 87:
        case 119:
        case 214:
        case 246:
        case 70:
        case 38:
            ViewStepUp();
            break;
        // Down: S s, the Cyrillic letters on the S key, K.
        case 83:
        case 115:
        case 219:
        case 251:
        case 75:
            ViewStepDown();
            break;
        // Left: A a and the Cyrillic letters on the A key.
        case 65:
        case 97:
        case 212:
        case 244:
            ViewStepLeft();
            break;
        // Right: D d and the Cyrillic letters on the D key.
        case 68:
        case 100:
        case 194:
        case 226:
            ViewStepRight();
            break;
        case 26:  // Ctrl+Z: what command 160 does for the current port
            UndoChain(CurrentPort());
            break;
        default:
            break;
    }
    LogKey(key);
}

void MouseInput(int button, int state, int x, int y) {
    if (state != GLUT_UP) return;
    const uint32_t position = PackWindowPosition(x, y);
    const bool placing = Values().editMode == 0;
    if (button == GLUT_LEFT_BUTTON) {
        if (placing) {
            PlaceLed(position);
        } else {
            ToggleLeds(position);
        }
    } else if (button == GLUT_RIGHT_BUTTON) {
        if (placing) PlaceLedLine(position);
    }
}

void PassiveMotionInput(int x, int y) {
    g_mouse = {x, y};
}

void ResetView() {
    g_view = {kMaxCellSize, 0, kTopRow};
    g_mouse = {0, 0};
}
