// The reset for tests linked with the model alone.
#include "common/report.h"
#include "model/layout.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetLayoutModel();
    ResetReportHook();
}
