// Painting one video frame onto the grid cells, every frame of a playback.
#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

// `frame` is 8-bit BGR (gray and BGRA are converted first). Its top row
// lands on grid row 2047 and its left column on column 0; pixels beyond the
// 2048 x 2048 grid are left out. Every covered cell gets the colour
// 0x00RRGGBB.
void MapFrameOntoGrid(const cv::Mat& frame);
