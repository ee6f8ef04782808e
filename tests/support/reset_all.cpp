// The reset of every run-wide record, for tests linked with the whole
// program, so one test process can run many cases.
#include "app/edit.h"
#include "app/view.h"
#include "common/report.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "render/background.h"
#include "render/scene.h"
#include "render/settings.h"
#include "support/test_support.h"
#include "video/video.h"

void ResetRunState() {
    ResetSettings();
    ResetView();
    ResetEdit();
    ResetLayoutModel();
    ResetSceneState();
    ResetLayoutFiles();
    ResetBackgroundImage();
    ResetVideoState();
    ResetReportHook();
    FakeSys_Reset();
}
