// The one report hook and its two calls.
#include "common/report.h"

namespace {
ReportHook g_hook = {nullptr, nullptr};
}  // namespace

void SetReportHook(const ReportHook& hook) {
    g_hook = hook;
}

void ReportPortLoaded(uint16_t port) {
    if (g_hook.portLoaded != nullptr) g_hook.portLoaded(port);
}

void ReportFrameDone(uint32_t frameNumber, uint32_t frameCount) {
    if (g_hook.frameDone != nullptr) g_hook.frameDone(frameNumber, frameCount);
}

void ResetReportHook() {
    g_hook = {nullptr, nullptr};
}
