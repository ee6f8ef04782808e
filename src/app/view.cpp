// The view onto the grid (scroll origin and cell size), the window pixel to
// grid cell conversion, and the window's direct input: typed keys scroll,
// zoom and undo; mouse button releases call the edit operations; motion
// without a button is remembered for the cursor read-out. GUI thread only.
#include "app/view.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/edit.h"
#include "model/layout.h"
#include "render/window.h"

namespace {

constexpr int32_t kMinCellSize = 1;
constexpr int32_t kMaxCellSize = 16;

MousePosition g_mouse = {0, 0};

// Divisions by the cell size must not trap on a value a project file brought in.
int32_t SafeCellSize() {
    return View().cellSize >= 1 ? View().cellSize : 1;
}

void LogKey(unsigned char key) {
    std::printf("%d\n", key);
    std::fflush(stdout);
}

}  // namespace

void ViewStepUp() {
    const ViewState& view = View();
    if (view.scrollY < kGridMax) SetScroll(view.scrollX, uint16_t(view.scrollY + 1));
}

void ViewStepDown() {
    const ViewState& view = View();
    const int32_t rows = WindowHeight() / SafeCellSize();
    if (view.scrollY >= rows && view.scrollY > 1)
        SetScroll(view.scrollX, uint16_t(view.scrollY - 1));
}

void ViewStepLeft() {
    const ViewState& view = View();
    if (view.scrollX > 0) SetScroll(uint16_t(view.scrollX - 1), view.scrollY);
}

void ViewStepRight() {
    const ViewState& view = View();
    if (view.scrollX < kGridMax) SetScroll(uint16_t(view.scrollX + 1), view.scrollY);
}

uint32_t ScreenToGrid(uint32_t position) {
    const uint32_t x = position & 0xFFFFu;
    const uint16_t fromBottom = uint16_t(position >> 16);
    const uint16_t height = uint16_t(WindowHeight());
    const uint16_t fromTop = uint16_t(height - fromBottom);
    const uint32_t c = uint32_t(SafeCellSize());
    const uint16_t column = uint16_t(x / c + View().scrollX);
    const uint16_t row = uint16_t(View().scrollY - fromTop / c);
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
            if (View().cellSize < kMaxCellSize) SetCellSize(View().cellSize + 1);
            return;  // zooming in is not logged
        case 45:     // '-'
            if (View().cellSize > kMinCellSize) SetCellSize(View().cellSize - 1);
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
    const bool placing = EditMode() == 0;
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
    ResetViewState();
    g_mouse = {0, 0};
}
