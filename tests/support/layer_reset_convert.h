// The conversion core's reset: colour settings and LED listing, over the
// model's.
#pragma once

#include "convert/conversion.h"
#include "support/layer_reset_model.h"

inline void ResetConvertLayer() {
    ResetModelLayer();
    ResetConvertState();
}
