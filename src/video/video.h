// The video commands and display steps the rest of the program calls:
// playback and conversion (164, 170, 185), raw frames to video (208, 209),
// the frame image save, the pause and frame-image flags the playback owns,
// the VideoMode that drawing reads, and the display the app installs for
// the "Video" window.
#pragma once

#include <cstdint>

namespace cv {
class Mat;
}

enum class VideoModeKind : uint8_t { Idle = 0, Preview = 1, Convert = 2, ConvertHidden = 3 };

VideoModeKind VideoMode();
// Commands 175 and 179: ends a playback at once; nothing closed or written.
void SetVideoModeIdle();

// Commands 164 and 208 for a path ("" when the packet's path was refused).
void SetVideoPath(const char* path);
void StartVideo(const uint8_t* packet);
void SetVideoResize(const uint8_t* packet);
void SetRawFramePath(const char* path);
void ConvertRawFrames(const uint8_t* packet);

// VideoPaused [0]: a paused playback does not step. Command 182 toggles it,
// a start (170) clears it.
void SetVideoPaused(bool paused);
void ToggleVideoPause();
// FrameImageRequest [0]: command 183 sets it, the next redraw saves the
// held frame and clears it.
bool FrameImageRequested();
void RequestFrameImage();

// Display steps, in this order after the background picture.
void SaveFrameImageIfRequested();
void StepVideoFrame();

// The "Video" window. The window's video never shows anything itself: the app
// installs a display, and with none installed (tests, tools) frames are only
// processed.
struct VideoDisplay {
    void (*open)();
    void (*show)(const cv::Mat& frame);
    void (*close)();
};
void SetVideoDisplay(const VideoDisplay& display);

// Tests: every video record back to program start (capture closed, export
// target forgotten, the core's settings cleared, the display removed).
void ResetVideoState();
