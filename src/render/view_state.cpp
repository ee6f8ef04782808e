// The view record: cell size 16 and the top-left corner of the grid at start.
#include "render/view_state.h"

#include "model/layout.h"

namespace {
constexpr int32_t kStartCellSize = 16;
ViewState g_view = {kStartCellSize, 0, kGridMax};
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

void ResetViewState() {
    g_view = {kStartCellSize, 0, kGridMax};
}
