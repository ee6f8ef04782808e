// ResetRunState for tests that link the lowest layers only.
#include "support/layer_reset_common.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetCommonLayer();
}
