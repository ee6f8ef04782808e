// The target of a window conversion and the checks before it starts.
#include "video/export_target.h"

#include <cstring>
#include <string>

#include "common/common.h"
#include "common/file_io.h"
#include "convert/controller_format.h"
#include "platform/boxes.h"
#include "platform/sys.h"

namespace {

ExportTarget g_target;

}  // namespace

const ExportTarget& CurrentExportTarget() {
    return g_target;
}

namespace {

// The save dialog ("Bin Files", "*.led"); fills directory and name. False
// when cancelled.
bool ChooseExportTarget() {
    const SysSaveDialog dialog = {"Bin Files", "*.led", "led", true};
    char path[260] = {0};
    if (!Sys_SaveFileDialog(dialog, path, sizeof path)) return false;
    path[sizeof path - 1] = '\0';
    const std::string name = FileNameOf(path);
    const std::string directory = DirectoryOf(path);
    std::memset(&g_target, 0, sizeof g_target);
    std::strncpy(g_target.name, name.c_str(), sizeof g_target.name - 1);
    std::strncpy(g_target.directory, directory.c_str(), sizeof g_target.directory - 1);
    return true;
}

}  // namespace

bool ChooseAndCheckExport(int32_t frameCount) {
    if (!ChooseExportTarget()) return false;
    if (frameCount > kMaxExportFrames) {
        ShowErrorBox("File size is very large.");
        return false;
    }
    // A count of 0 or below leaves no room for frames (and a negative file
    // size); such a video cannot be converted.
    if (frameCount <= 0) {
        ShowErrorBox("The video reports no frames, so it cannot be converted.");
        return false;
    }
    return true;
}

void ResetExportTarget() {
    std::memset(&g_target, 0, sizeof g_target);
}
