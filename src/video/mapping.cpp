// Painting a video frame onto the grid's colour plane. The plane is
// column-major (the cells of one column are adjacent) while frames are
// row-major, so the frame is painted in tiles of 16 x 16 pixels: a tile's 16
// rows of one column are one 64-byte line of the plane, converted in a small
// buffer and written whole, streamed past the caches.
#include "video/mapping.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "model/layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// 0x00RRGGBB of the BGR pixel at `pixel`: its three bytes read as one
// little-endian number. The 4-byte form reads the next pixel's first byte
// too, so it is only used where one follows in the same row.
uint32_t PixelColor(const uint8_t* pixel) {
    return (uint32_t(pixel[2]) << 16) | (uint32_t(pixel[1]) << 8) | pixel[0];
}

static_assert(std::endian::native == std::endian::little);
uint32_t PixelColorFollowed(const uint8_t* pixel) {
    uint32_t value;
    std::memcpy(&value, pixel, 4);
    return value & 0x00FFFFFFu;
}

// Tiles of 16 x 16 pixels: a tile's 16 rows of one column are one 64-byte
// line of the plane, filled at once.
constexpr int kTile = 16;

// Writes one tile line of the plane; streamed past the caches where the
// processor allows it, since the plane is not read again this frame.
void WriteTileLine(uint32_t* target, const uint32_t* line) {
#if defined(__SSE2__)
    for (int k = 0; k < kTile; k += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(target + k),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(line + k)));
#else
    std::memcpy(target, line, kTile * sizeof *line);
#endif
}

void PaintBgr(const cv::Mat& frame) {
    const int width = std::min(frame.cols, kGridSide);
    const int height = std::min(frame.rows, kGridSide);
    const size_t step = frame.step[0];
    const uint8_t* top = frame.ptr<uint8_t>(0);
    for (int left = 0; left < width; left += kTile) {
        const int right = std::min(width, left + kTile);
        int y0 = 0;
        if (right - left == kTile && right < frame.cols) {
            // Picture rows y0..y0+15 land on grid rows 2032-y0..2047-y0,
            // which start a 64-byte line when y0 is a multiple of 16.
            alignas(64) uint32_t tile[kTile][kTile];
            for (; y0 + kTile <= height; y0 += kTile) {
                for (int r = 0; r < kTile; ++r) {
                    const uint8_t* pixel = top + size_t(y0 + r) * step + size_t(left) * 3;
                    for (int c = 0; c < kTile; ++c)
                        tile[c][kTile - 1 - r] = PixelColorFollowed(pixel + 3 * c);
                }
                for (int c = 0; c < kTile; ++c)
                    WriteTileLine(CellColorColumn(left + c) + (kGridSide - kTile - y0), tile[c]);
            }
        }
        // The rows below the last whole tile, or the whole strip when it is
        // narrower than a tile or ends the picture.
        for (int x = left; x < right; ++x) {
            uint32_t* colors = CellColorColumn(x) + (kGridMax - y0);
            const uint8_t* pixel = top + size_t(y0) * step + size_t(x) * 3;
            for (int y = y0; y < height; ++y, --colors, pixel += step) *colors = PixelColor(pixel);
        }
    }
#if defined(__SSE2__)
    _mm_sfence();  // the streamed lines are visible before anyone reads them
#endif
}

}  // namespace

void MapFrameOntoGrid(const cv::Mat& frame) {
    if (frame.empty() || frame.depth() != CV_8U) return;
    if (frame.channels() == 3) {
        PaintBgr(frame);
        return;
    }
    cv::Mat bgr;
    if (frame.channels() == 1)
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
    else if (frame.channels() == 4)
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    else
        return;
    PaintBgr(bgr);
}
