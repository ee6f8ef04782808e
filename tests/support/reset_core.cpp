// ResetRunState for tests that link the layout files and the video core
// together (the command-line tools): model, files, video, report hook and
// the scripted platform layer.
#include "common/report.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "support/test_support.h"
#include "video/video.h"

void ResetRunState() {
    ResetLayoutModel();
    ResetLayoutFiles();
    ResetVideoState();
    ResetReportHook();
    FakeSys_Reset();
}
