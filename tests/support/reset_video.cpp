// The reset for tests linked with the video core and the scripted platform
// layer, without the window.
#include "common/report.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "support/test_support.h"
#include "video/video.h"

void ResetRunState() {
    ResetLayoutModel();
    ResetVideoState();
    ResetReportHook();
    FakeSys_Reset();
}
