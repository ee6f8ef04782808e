// ResetRunState for tests that link the whole program.
#include "platform/sys_fake.h"
#include "support/layer_reset_window.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetWindowLayer();
    FakeSys_Reset();
}
