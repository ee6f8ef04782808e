// Video playback internals shared by the video files: the frame held for
// the frame image and the resets. Each frame done is reported
// through ReportFrameDone (common/report.h).
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "common/packet.h"
#include "convert/conversion.h"
#include "video/video.h"

// The frame the capture returned last, as read (never resized); empty when
// none is held (before any playback, after the video ran out).
const cv::Mat& CurrentVideoFrame();

// The frame-image save without the request flag: asks for a file name
// ("Image Files", "*.bmp") and writes the held frame; nothing without a frame.
void SaveHeldFrameImage();

void ClearFrameImageRequest();

void ResetRawFrames();
