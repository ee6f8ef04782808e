// Video playback internals shared by the video files: the playback record
// and the frame held for the frame image. Each frame done is reported
// through ReportFrameDone (common/report.h).
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "common/packet.h"
#include "convert/conversion.h"
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

void ClearFrameImageRequest();

void ResetPlayback();
void ResetRawFrames();
