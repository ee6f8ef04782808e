// Area sampling written out plainly, one footprint cell at a time: the
// reference the program's per-frame path (AreaFrameLeds) is checked against.
#pragma once

#include <cstdint>

#include "convert/led_footprint.h"

// AreaFrameLeds by its contract: each lit LED inside the frame takes the
// linear-light mean of its footprint's cells (those outside the frame
// black), encoded again, then parts[] as in the LED map.
void ReferenceAreaFrameLeds(const LedFootprints& footprints, const uint8_t* bgr,
                            const LedParts& parts, uint32_t positions,
                            uint8_t* const values[kPortCount]);
