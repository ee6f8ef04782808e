// Painting one video frame onto the grid cells (every frame of a
// playback) and, for the whole-video buffers of export.h, storing every
// covered LED's processed colour in its port's buffer (the reference the
// streaming conversion is checked against).
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

// `frame` is 8-bit BGR (other layouts are converted first). Its top row
// lands on grid row 2047 and its left column on column 0; pixels beyond the
// 2048 x 2048 grid are left out. Every covered cell gets the colour
// 0x00RRGGBB; with `store`, every covered occupied cell also goes through
// StoreLed for frame `frameIndex`.
void MapFrameOntoGrid(const cv::Mat& frame, int32_t frameIndex, bool store);
