// Placing and removing LEDs: the mouse edits on CurrentPort (one LED, a
// straight run from the chain's last LED, lit/dark switching), the edit mode
// and the commands 160 (undo the last LED of a port) and 174 (clear a port
// after a question). Every change of a chain goes through AddLed, UndoChain
// and ClearChain. GUI thread only.
#include "app/edit.h"

#include "app/view.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "render/settings.h"

namespace {

constexpr uint8_t kStartEditMode = 1;
uint8_t g_editMode = kStartEditMode;

const char kClearQuestion[] =
    "Are you sure you want to delete all the circuit elements for the current port? ";
const char kClearCaption[] = " Warning ";

ChainPoint GridPoint(uint32_t position) {
    const uint32_t cell = ScreenToGrid(position);
    return {uint16_t(cell & 0xFFFFu), uint16_t(cell >> 16)};
}

// Every LED the mouse places avoids the background colour of the settings.
void AddLedHere(int port, ChainPoint point) {
    AddLed(port, point, CurrentSettings().backgroundColor);
}

}  // namespace

uint8_t EditMode() {
    return g_editMode;
}

void SetEditMode(uint8_t mode) {
    g_editMode = mode;
}

void ResetEdit() {
    g_editMode = kStartEditMode;
}

void PlaceLed(uint32_t position) {
    const ChainPoint point = GridPoint(position);
    const int port = CurrentPort();
    if (ChainLength(port) >= kChainCapacity) return;
    AddLedHere(port, point);
}

void ToggleLeds(uint32_t position) {
    const ChainPoint point = GridPoint(position);
    const int port = CurrentPort();
    const int n = ChainLength(port);
    const ChainPoint* points = CurrentPoints(port);
    for (int i = 0; i < n; ++i) {
        if (points[i].x == point.x && points[i].y == point.y) {
            SetActiveRange(port, i, n, ActiveFlags(port)[i] == 1 ? 0 : 1);
            return;
        }
    }
}

void PlaceLedLine(uint32_t position) {
    const ChainPoint target = GridPoint(position);
    if (target.x > kGridMax || target.y > kGridMax) return;
    const int port = CurrentPort();
    const int n = ChainLength(port);
    if (n == 0 || n > kGridMax) return;
    const ChainPoint last = CurrentPoints(port)[n - 1];
    if (last.x != target.x && last.y != target.y) return;
    // The first call lands on the last LED's own cell and is refused there
    // (its colour guard still runs); occupied cells on the way are skipped.
    if (last.y == target.y) {
        const int step = last.x < target.x ? 1 : -1;
        if (last.x != target.x) {
            for (int x = last.x;; x += step) {
                AddLedHere(port, {uint16_t(x), target.y});
                if (x == target.x) break;
            }
        }
    }
    if (last.x == target.x) {
        const int step = last.y < target.y ? 1 : -1;
        if (last.y != target.y) {
            for (int y = last.y;; y += step) {
                AddLedHere(port, {target.x, uint16_t(y)});
                if (y == target.y) break;
            }
        }
    }
}

void UndoLastLed(int port) {
    UndoChain(port);
}

void ClearPort(int port) {
    if (Ring(port).depth == 0) return;
    const int answer =
        Sys_MessageBox(kClearQuestion, kClearCaption, kMbSystemModal | kMbIconQuestion | kMbYesNo);
    if (answer == kIdNo) return;
    ClearChain(port);
}
