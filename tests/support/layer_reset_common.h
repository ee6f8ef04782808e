// The reset of the lowest layer: the report hook and the file syscall
// table. Each layer's reset calls the one below it, so a test linked at any
// level gets every record under it back to program start.
#pragma once

#include "common/file_io.h"
#include "common/report.h"

inline void ResetCommonLayer() {
    ResetReportHook();
    ResetFileSyscalls();
}
