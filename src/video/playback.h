// Video playback internals shared by the video files: the playback record,
// the frame held for the frame image, and the test observer of the
// progress messages.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "common/packet.h"
#include "video/conversion.h"
#include "video/video.h"

struct PlaybackInfo {
    const char* videoPath;
    int32_t frameCount;
    int32_t frameIndex;
    VideoModeKind mode;
    ResizeSettings resize;
};

PlaybackInfo CurrentPlayback();

// The frame the capture returned last, as read (never resized); empty when
// none is held (before any playback, after the video ran out).
const cv::Mat& CurrentVideoFrame();

// The frame-image save without the request flag: asks for a file name
// ("Image Files", "*.bmp") and writes the held frame; nothing without a frame.
void SaveHeldFrameImage();

// Tests: called with each progress message's frame number and frame count,
// right where the message is sent (nullptr removes it).
void SetVideoProgressObserver(void (*observer)(uint32_t frameNumber, uint32_t frameCount));

void ResetPlayback();
void ResetRawFrames();
