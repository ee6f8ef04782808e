// The reports that lower layers send up without knowing who listens: a
// port's chain was loaded, a video frame was done. The command channel
// installs the hook at start and turns the reports into status messages;
// tests install their own. With no hook installed a report goes nowhere.
#pragma once

#include <cstdint>

struct ReportHook {
    void (*portLoaded)(uint16_t port);                             // port index 0..255
    void (*frameDone)(uint32_t frameNumber, uint32_t frameCount);  // after each frame
};

// Replaces the hook; entries may be nullptr.
void SetReportHook(const ReportHook& hook);

void ReportPortLoaded(uint16_t port);
void ReportFrameDone(uint32_t frameNumber, uint32_t frameCount);

// Tests: no hook.
void ResetReportHook();
