// LED placement for tests below the app layer: AddLed with the background
// colour a fresh run has (all-zero settings), as the mouse edits pass it.
#pragma once

#include "model/layout.h"

inline void AddLed(int port, ChainPoint point) {
    AddLed(port, point, PackedColor{0, 0, 0, 0});
}
