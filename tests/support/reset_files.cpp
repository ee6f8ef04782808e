// ResetRunState for tests that link the layout files and the scripted
// platform layer.
#include "platform/sys_fake.h"
#include "support/layer_reset_files.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetFilesLayer();
    FakeSys_Reset();
}
