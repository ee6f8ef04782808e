// The one error box every subsystem shows.
#include "platform/boxes.h"

#include "platform/sys.h"

void ShowErrorBox(const char* text) {
    Sys_MessageBox(text, "Error", kMbSystemModal | kMbIconError | kMbOk);
}
