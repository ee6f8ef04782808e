// ResetRunState for tests that link the window's video (and the core below
// it) with the scripted platform layer, without the window.
#include "platform/sys_fake.h"
#include "support/layer_reset_video.h"
#include "support/test_support.h"
#include "support/whole_video_export.h"

void ResetRunState() {
    ResetVideoLayer();
    ResetExport();
    FakeSys_Reset();
}
