// ResetRunState for tests that link the layout files, the conversion core
// and the window's video together (the command-line tools, compared with the
// window's conversion).
#include "platform/sys_fake.h"
#include "support/layer_reset_files.h"
#include "support/layer_reset_video.h"
#include "support/test_support.h"
#include "support/whole_video_export.h"

void ResetRunState() {
    ResetFilesLayer();
    ResetVideoLayer();
    ResetExport();
    FakeSys_Reset();
}
