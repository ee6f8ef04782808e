// The interactive platform services for command-line tools: nothing is
// shown; error boxes are kept for the tool to report.
#include <cstring>

#include "platform/sys.h"
#include "platform/sys_console.h"

namespace {

std::string g_firstError;

}  // namespace

const std::string& SysConsole_FirstError() {
    return g_firstError;
}

void SysConsole_ClearErrors() {
    g_firstError.clear();
}

void Sys_Init(int*, char**) {}

int Sys_MessageBox(const char* text, const char*, unsigned style) {
    if ((style & 0xF0u) == kMbIconError && g_firstError.empty()) g_firstError = text;
    return (style & kMbYesNo) != 0 ? kIdNo : kIdOk;
}

bool Sys_SaveFileDialog(const SysSaveDialog&, char* path, size_t pathSize) {
    if (pathSize > 0) path[0] = '\0';
    return false;
}

bool Sys_StartProgram(const char*) {
    return false;
}

void Sys_ScreenSize(int* width, int* height) {
    *width = 0;
    *height = 0;
}

void Sys_HideConsole() {}

int Sys_KeysymToCp1251(unsigned long) {
    return -1;
}
