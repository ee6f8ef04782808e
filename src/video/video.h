// The video commands and display steps the rest of the program calls:
// playback and conversion (164, 170, 185), raw frames to video (208, 209),
// the frame image save, and the VideoMode that drawing reads.
#pragma once

#include <cstdint>

enum VideoModeKind : uint8_t { Idle = 0, Preview = 1, Convert = 2, ConvertHidden = 3 };

VideoModeKind VideoMode();
// Commands 175 and 179: ends a playback at once; nothing closed or written.
void SetVideoModeIdle();

void SetVideoPath(const uint8_t* packet);
void StartVideo(const uint8_t* packet);
void SetVideoResize(const uint8_t* packet);
void SetRawFramePath(const uint8_t* packet);
void ConvertRawFrames(const uint8_t* packet);

// Display steps, in this order after the background picture.
void SaveFrameImageIfRequested();
void StepVideoFrame();

// Tests: every video record back to program start (capture closed, export
// released, settings cleared, observers removed).
void ResetVideoState();
