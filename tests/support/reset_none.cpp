// The reset for tests of the lowest layers, which keep no run-wide record
// beyond the report hook and the file syscall table.
#include "common/file_io.h"
#include "common/report.h"
#include "support/test_support.h"

void ResetRunState() {
    ResetReportHook();
    ResetFileSyscalls();
}
