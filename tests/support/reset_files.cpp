// The reset for tests linked with the file layer and the scripted platform
// layer, without the window and the video core.
#include "common/report.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetLayoutModel();
    ResetLayoutFiles();
    ResetReportHook();
    FakeSys_Reset();
}
