// The reset of every run-wide record, so one test process can run many cases.
#include "support/test_support.h"

#include "app/settings.h"
#include "app/view.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "platform/sys_fake.h"
#include "render/background.h"
#include "render/scene.h"
#include "video/video.h"

void ResetRunState() {
    ResetSettings();
    ResetView();
    ResetLayoutModel();
    ResetCommandValues();
    ResetSceneState();
    ResetLayoutFiles();
    ResetBackgroundImage();
    ResetVideoState();
    FakeSys_Reset();
}
