// The view onto the grid (scroll origin and cell size): the single steps,
// the zoom limits, the jumps to the layout's edges (command 192) and the
// window pixel to grid cell conversion. GUI thread only.
#include "app/view.h"

#include "model/layout.h"
#include "render/window.h"

namespace {

constexpr int32_t kMinCellSize = 1;
constexpr int32_t kMaxCellSize = 16;

// Divisions by the cell size must not trap on a value a project file brought in.
int32_t SafeCellSize() {
    return View().cellSize >= 1 ? View().cellSize : 1;
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

void ViewZoomIn() {
    if (View().cellSize < kMaxCellSize) SetCellSize(View().cellSize + 1);
}

void ViewZoomOut() {
    if (View().cellSize > kMinCellSize) SetCellSize(View().cellSize - 1);
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

void ResetView() {
    ResetViewState();
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
