// LED placement for tests linked with the window layers: AddLed with the
// live settings' background colour, as the mouse edits pass it.
#pragma once

#include "model/layout.h"
#include "render/settings.h"

inline void AddLed(int port, ChainPoint point) {
    AddLed(port, point, CurrentSettings().backgroundColor);
}
