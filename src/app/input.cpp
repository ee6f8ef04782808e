// The window's direct input, installed as the GLUT callbacks: typed keys
// scroll, zoom and undo (each key but '+' logged on standard output); mouse
// button releases call the edit operations; motion without a button is
// remembered for the cursor read-out. GUI thread only.
#include "app/input.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/edit.h"
#include "app/view.h"
#include "model/layout.h"

namespace {

MousePosition g_mouse = {0, 0};

void LogKey(unsigned char key) {
    std::printf("%d\n", key);
    std::fflush(stdout);
}

}  // namespace

MousePosition LastMousePosition() {
    return g_mouse;
}

void KeyboardInput(unsigned char key, int, int) {
    switch (key) {
        case 43:  // '+'
        case 61:  // '='
            ViewZoomIn();
            return;  // zooming in is not logged
        case 45:     // '-'
            ViewZoomOut();
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

void ResetInput() {
    g_mouse = {0, 0};
}
