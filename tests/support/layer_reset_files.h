// The files layer's reset: path state, project header and import list, over
// the model's.
#pragma once

#include "files/layout_files.h"
#include "support/layer_reset_model.h"

inline void ResetFilesLayer() {
    ResetModelLayer();
    ResetLayoutFiles();
}
