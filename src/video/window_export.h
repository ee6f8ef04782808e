// The window's Convert mode output: the controller files streamed frame by
// frame through the controller-file sink (temporary files renamed over the
// targets when the playback ends), with the window's own dialog, checks and
// messages. The LED values come from the LED map and the colour tables, as
// in quorvane-convert. GUI thread only.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

// The save dialog and the frame-count checks (with their messages), then
// the files begun for the ports that have LEDs now. False when the dialog
// was cancelled or a check refused; a file that cannot be created is
// reported at the end, as a failed write always was.
bool BeginWindowExport(int32_t frameCount);

// Stores frame `frameIndex` (the frame as walked: resized when resizing is
// on) with the current colour settings and lit/dark flags.
void StoreWindowExportFrame(const cv::Mat& walked, int32_t frameIndex);

// Completes the files; false when any of them could not be written (none
// is then left behind). True when no export is running.
bool FinishWindowExport(int32_t framesDone);

// A conversion that never reached its end: its temporary files removed.
void AbortWindowExport();
