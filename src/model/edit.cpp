// Placing and removing LEDs: the mouse edits on CurrentPort (one LED, a
// straight run from the chain's last LED, lit/dark switching) and the
// commands 160 (undo the last LED of a port), 174 (clear a port after a
// question) and 192 (move the view to the layout's edges). Every change of a
// chain goes through AddLed, UndoChain and ClearChain. GUI thread only.
#include "model/edit.h"

#include "app/view.h"
#include "common/packet.h"
#include "model/layout.h"
#include "platform/sys.h"

namespace {

constexpr int kLastCell = kGridSide - 1;

const char kClearQuestion[] =
    "Are you sure you want to delete all the circuit elements for the current port? ";
const char kClearCaption[] = " Warning ";

ChainPoint GridPoint(uint32_t position) {
    const uint32_t cell = ScreenToGrid(position);
    return {uint16_t(cell & 0xFFFFu), uint16_t(cell >> 16)};
}

}  // namespace

void PlaceLed(uint32_t position) {
    const ChainPoint point = GridPoint(position);
    const int port = CurrentPort();
    if (ChainLength(port) >= kChainCapacity) return;
    AddLed(port, point);
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
    if (target.x > kLastCell || target.y > kLastCell) return;
    const int port = CurrentPort();
    const int n = ChainLength(port);
    if (n == 0 || n > kLastCell) return;
    const ChainPoint last = CurrentPoints(port)[n - 1];
    if (last.x != target.x && last.y != target.y) return;
    // The first call lands on the last LED's own cell and is refused there
    // (its colour guard still runs); occupied cells on the way are skipped.
    if (last.y == target.y) {
        const int step = last.x < target.x ? 1 : -1;
        if (last.x != target.x) {
            for (int x = last.x;; x += step) {
                AddLed(port, {uint16_t(x), target.y});
                if (x == target.x) break;
            }
        }
    }
    if (last.x == target.x) {
        const int step = last.y < target.y ? 1 : -1;
        if (last.y != target.y) {
            for (int y = last.y;; y += step) {
                AddLed(port, {target.x, uint16_t(y)});
                if (y == target.y) break;
            }
        }
    }
}

void UndoLastLed(const uint8_t* packet) {
    uint16_t port = PacketPort(packet);
    if (port > 0) --port;
    if (port >= kPortCount) return;
    UndoChain(port);
}

void ClearPort(const uint8_t* packet) {
    const uint16_t port = PacketPort(packet);
    if (port >= kPortCount) return;
    if (Ring(port).depth == 0) return;
    const int answer =
        Sys_MessageBox(kClearQuestion, kClearCaption, kMbSystemModal | kMbIconQuestion | kMbYesNo);
    if (answer == kIdNo) return;
    ClearChain(port);
}

void JumpView(uint8_t target, const LayoutBoundsRecord& bounds) {
    if (bounds.minX == 0 && bounds.maxX == 0 && bounds.maxY == 0 && bounds.minY == 0) return;
    const ViewState& view = View();
    const uint16_t minX = uint16_t(bounds.minX), maxX = uint16_t(bounds.maxX);
    const uint16_t minY = uint16_t(bounds.minY), maxY = uint16_t(bounds.maxY);
    switch (target) {
        case 0:
            ViewStepUp();
            break;
        case 1:
            ViewStepDown();
            break;
        case 2:
            ViewStepLeft();
            break;
        case 3:
            ViewStepRight();
            break;
        case 4:
            SetScroll(view.scrollX, maxY);
            break;
        case 5:
            SetScroll(view.scrollX, minY);
            break;
        case 6:
            SetScroll(minX, view.scrollY);
            break;
        case 7:
            SetScroll(maxX, view.scrollY);
            break;
        case 8:
            SetScroll(minX, maxY);
            break;
        case 9:
            SetScroll(maxX, maxY);
            break;
        case 160:
            SetScroll(minX, minY);
            break;
        case 161:
            SetScroll(maxX, minY);
            break;
        case 162:
            SetScroll(uint16_t((bounds.minX + bounds.maxX) / 2),
                      uint16_t((bounds.minY + bounds.maxY) / 2));
            break;
        default:
            break;
    }
}

void ViewJump(const uint8_t* packet) {
    JumpView(packet[3], LastLayoutBounds());
}
