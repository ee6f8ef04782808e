// The reset of the whole window program: drawing, view, edits and
// background, over the video's and the files layer's.
#pragma once

#include "app/edit.h"
#include "app/input.h"
#include "app/view.h"
#include "render/background.h"
#include "render/scene.h"
#include "render/settings.h"
#include "render/text_calls.h"
#include "support/layer_reset_files.h"
#include "support/layer_reset_video.h"
#include "support/stand_in_window.h"

inline void ResetWindowLayer() {
    ResetFilesLayer();
    ResetVideoLayer();
    ResetSettings();
    ResetView();
    ResetInput();
    ResetEdit();
    ResetSceneState();
    ResetTextCalls();
    ResetWindowQueries();
    SetStandInWindow({0, 0, 640, 480});
    ResetBackgroundImage();
}
