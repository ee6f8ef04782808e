// The window video's reset: playback, raw frames, export target and the
// installed display, over the conversion core's.
#pragma once

#include "support/layer_reset_convert.h"
#include "video/video.h"

inline void ResetVideoLayer() {
    ResetConvertLayer();
    ResetVideoState();
}
