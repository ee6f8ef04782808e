// Placeholder until scene rendering lands.
#include "render/scene.h"
void DrawGridDots() {}
void DrawChains() {}
void DrawBoundingFrame() {}
void DrawCursorReadout() {}
LayoutBoundsRecord LastLayoutBounds() { return {0, 0, 0, 0}; }
void ResetSceneState() {}
