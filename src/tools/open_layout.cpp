// Opening the layout for the command-line programs, with the console
// platform layer's error record standing in for the window's error boxes.
#include "tools/open_layout.h"

#include <cstring>
#include <string>

#include "common/file_io.h"
#include "common/packet.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "platform/sys_console.h"

bool OpenLayoutForTool(const std::string& path, std::string* error) {
    // The open command's own rule: a name containing ".quor" or ".iqp".
    if (path.find(".quor") == std::string::npos && path.find(".iqp") == std::string::npos) {
        *error = path + ": not a layout (a .quor project or an .iqp import list)";
        return false;
    }
    if (path.size() >= size_t(kPathBufferSize)) {
        *error = path + ": the path is too long";
        return false;
    }
    if (FileSizeOf(path.c_str()) < 0) {
        *error = path + ": cannot open the file";
        return false;
    }
    SysConsole_ClearErrors();
    HeaderView view = {};  // the window's view; nothing to show here
    OpenFile(path.c_str(), view);
    if (!SysConsole_FirstError().empty()) {
        *error = path + ": " + SysConsole_FirstError();
        return false;
    }
    for (int port = 0; port < kPortCount; ++port)
        if (ChainLength(port) > 0) return true;
    *error = path + ": the layout has no LEDs";
    return false;
}
