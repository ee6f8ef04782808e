// Placeholder until video playback lands.
#include "video/video.h"
static VideoModeKind g_mode = Idle;
VideoModeKind VideoMode() { return g_mode; }
void SetVideoModeIdle() { g_mode = Idle; }
void SetVideoPath(const uint8_t*) {}
void StartVideo(const uint8_t*) {}
void SetVideoResize(const uint8_t*) {}
void SetRawFramePath(const uint8_t*) {}
void ConvertRawFrames(const uint8_t*) {}
void SaveFrameImageIfRequested() {}
void StepVideoFrame() {}
