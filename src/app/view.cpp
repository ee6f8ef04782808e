// Placeholder until input and view land.
#include "app/view.h"
static ViewState g_view = {16, 0, 2047};
const ViewState& View() { return g_view; }
void SetView(int32_t c, uint16_t x, uint16_t y) { g_view = {c, x, y}; }
void SetCellSize(int32_t c) { g_view.cellSize = c; }
void SetScroll(uint16_t x, uint16_t y) { g_view.scrollX = x; g_view.scrollY = y; }
uint32_t ScreenToGrid(uint32_t) { return 0; }
uint32_t PackWindowPosition(int32_t, int32_t) { return 0; }
MousePosition LastMousePosition() { return {0, 0}; }
void KeyboardInput(unsigned char, int, int) {}
void MouseInput(int, int, int, int) {}
void PassiveMotionInput(int, int) {}
void ResetView() { g_view = {16, 0, 2047}; }
