// The pixel walk. The grid is column-major (the cells of one column are
// adjacent) while frames are row-major, and a plain row-by-row walk touches
// a new cache line and page for every pixel. This walk goes in blocks of
// 8 columns, column by column inside a block, so the grid is
// written in contiguous runs while the block's image bytes stay in cache.
// Every cell gets the same value as in a row-by-row walk and each LED is
// stored once per frame, so the order does not show in the results.
#include "video/mapping.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "model/layout.h"
#include "video/export.h"

namespace {

// Rows per band and columns per block: a block's image rows and grid runs
// stay in cache while it is walked.
constexpr int kBandRows = kGridSide;
constexpr int kBlockColumns = 8;

template <bool kStore>
void WalkBgr(const cv::Mat& frame, const LedStoreFrame* store) {
    const int width = std::min(frame.cols, kGridSide);
    const int height = std::min(frame.rows, kGridSide);
    const size_t step = frame.step[0];
    for (int top = 0; top < height; top += kBandRows) {
        const int band = std::min(kBandRows, height - top);
        const uint8_t* bandRow = frame.ptr<uint8_t>(top);
        for (int left = 0; left < width; left += kBlockColumns) {
            const int right = std::min(width, left + kBlockColumns);
            for (int x = left; x < right; ++x) {
                // The cells of a column are adjacent, row 0 first: picture
                // row top + r lands on grid row 2047 - top - r.
                GridCell* cell = &CellAt(x, kGridSide - 1 - top);
                const uint8_t* pixel = bandRow + size_t(x) * 3;
                for (int r = 0; r < band; ++r, --cell, pixel += step) {
                    const uint8_t blue = pixel[0], green = pixel[1], red = pixel[2];
                    cell->colour = (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue;
                    if (kStore && cell->occupied == 1)
                        StoreLed(*store, cell->port, cell->index, red, green, blue);
                }
            }
        }
    }
}

void Walk(const cv::Mat& bgr, int32_t frameIndex, bool store) {
    LedStoreFrame frameStore;
    if (store && BeginLedStoreFrame(frameIndex, &frameStore))
        WalkBgr<true>(bgr, &frameStore);
    else
        WalkBgr<false>(bgr, nullptr);
}

}  // namespace

void MapFrameOntoGrid(const cv::Mat& frame, int32_t frameIndex, bool store) {
    if (frame.empty() || frame.depth() != CV_8U) return;
    if (frame.channels() == 3) {
        Walk(frame, frameIndex, store);
        return;
    }
    cv::Mat bgr;
    if (frame.channels() == 1)
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
    else if (frame.channels() == 4)
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    else
        return;
    Walk(bgr, frameIndex, store);
}
