// Placeholder until the dispatcher lands.
#include "net/dispatch.h"
static CommandValues g_values = {Disk, 1, 1, 0, 0, 1};
const CommandValues& Values() { return g_values; }
void SetVideoPaused(uint8_t p) { g_values.videoPaused = p; }
void ClearFrameImageRequest() { g_values.frameImageRequest = 0; }
void DispatchCommand(const uint8_t*, int) {}
void ResetCommandValues() { g_values = {Disk, 1, 1, 0, 0, 1}; }
