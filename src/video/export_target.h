// The target of a window conversion: the save dialog for the controller
// files and the checks of the video's frame count. GUI thread only.
#pragma once

#include <cstdint>

#include "common/packet.h"

struct ExportTarget {
    char directory[kPathBufferSize];
    char name[kPathBufferSize];
};

const ExportTarget& CurrentExportTarget();

// Asks for the target and checks the frame count (at most 200,000, above
// 0), each refusal after its own message; false (silently for a cancel)
// when the conversion cannot go on. Sets the target's directory and name.
bool ChooseAndCheckExport(int32_t frameCount);

// Tests: forget the last target.
void ResetExportTarget();
