// The model layer's reset: the layout, over the common layer's.
#pragma once

#include "model/layout.h"
#include "support/layer_reset_common.h"

inline void ResetModelLayer() {
    ResetCommonLayer();
    ResetLayoutModel();
}
