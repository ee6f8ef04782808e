// What the parts of the layout library share: message pieces and the
// placement of a source's coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "layouts/layouts.h"

// "<source>:<line>: ", "<source>: <entry name> <entry>: " or "<source>: ".
std::string LedWhere(const std::string& source, const std::string& entryName, const PlacedLed& led);
// "cell (x, y)".
std::string CellText(int64_t x, int64_t y);
// The cell a source coordinate lands on (see Placement).
PlacedLed PlaceLed(const Placement& place, double column, double row, uint32_t line);
