// Raw frames to video (commands 208 and 209): internals the tests reach.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

// Tests: sees every frame right before it goes to the video writer (BGR,
// Size_Y rows of Size_X pixels); nullptr removes it.
void SetRawFrameObserver(void (*observer)(const cv::Mat& frame));

// The four-character code the last successful writer open used ("DIB "
// where the backend takes it, otherwise the lossless fallback); "" before.
const char* LastRawVideoCodec();
