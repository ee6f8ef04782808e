// Drawing of the layout: grid dots, LEDs and chain lines of all ports, the
// bounding frame with its size labels, and the cursor read-out. Owns the
// LayoutBounds of the current redraw and the LastLayoutBounds kept for the
// view jumps. GUI thread, inside the display callback.
#pragma once

#include <cstdint>

struct LayoutBoundsRecord {
    uint32_t minX;
    uint32_t maxX;
    uint32_t maxY;
    uint32_t minY;
};

void DrawGridDots();
void DrawChains();
void DrawBoundingFrame();
void DrawCursorReadout();

// Bounds of the last redraw that drew an LED; all zero before the first.
LayoutBoundsRecord LastLayoutBounds();

// Tests: the bounds back to their start.
void ResetSceneState();
