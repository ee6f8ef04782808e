// Placeholder: real dialogs land with the platform layer.
#include <cstdio>
#include "platform/sys.h"
void Sys_Init(int*, char**) {}
int Sys_MessageBox(const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    return kIdOk;
}
bool Sys_SaveFileDialog(const SysSaveDialog&, char*, size_t) { return false; }
bool Sys_StartProgram(const char*) { return false; }
void Sys_ScreenSize(int* w, int* h) { *w = 1920; *h = 1080; }
void Sys_HideConsole() {}
