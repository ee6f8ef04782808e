// Drawing of the layout: grid dots, LEDs and chain lines of all ports, the
// bounding frame with its size labels, and the cursor read-out. Owns the
// scene options the commands set (LED shape and size, bounding frame), the
// LayoutBounds of the current redraw and the LastLayoutBounds kept for the
// view jumps. GUI thread, inside the display callback.
#pragma once

#include <cstdint>

enum class LedShape : uint8_t { Disk = 0, Square = 1 };

struct SceneOptions {
    LedShape ledShape;             // LedShape [Disk]
    int32_t ledSizeFactor;         // LedSizeFactor [1]
    uint8_t boundingFrameVisible;  // BoundingFrameVisible [1]
};

const SceneOptions& CurrentSceneOptions();
void SetLedShape(LedShape shape);
void SetLedSizeFactor(int32_t factor);
void ToggleBoundingFrame();

struct LayoutBoundsRecord {
    uint32_t minX;
    uint32_t maxX;
    uint32_t maxY;
    uint32_t minY;
};

// `videoShowing`: a playback paints the cells (preview or convert); the
// LEDs then take their cells' video colours, and dots and chain lines are
// left out.
void DrawGridDots(bool videoShowing);
void DrawChains(bool videoShowing);
void DrawBoundingFrame();
// `cell`: the grid cell under the mouse, column in the low 16 bits, row in
// the high 16 (values above 2047 lie outside the grid).
void DrawCursorReadout(uint32_t cell);

// Bounds of the last redraw that drew an LED; all zero before the first.
LayoutBoundsRecord LastLayoutBounds();

// Tests: the options and the bounds back to their start.
void ResetSceneState();
