// ResetRunState for tests that link the conversion core and the scripted
// platform layer.
#include "platform/sys_fake.h"
#include "support/layer_reset_convert.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetConvertLayer();
    FakeSys_Reset();
}
