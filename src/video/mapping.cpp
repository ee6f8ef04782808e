// The pixel walk. The grid is column-major (the cells of one column are
// adjacent) while frames are row-major, so the walk goes in bands of rows:
// within a band it runs column by column, touching a short contiguous run of
// cells per column while the band's image rows stay in cache. Every cell
// gets the same value as in a plain row-by-row walk, and each LED is stored
// once per frame, so the order does not show in the results.
#include "video/mapping.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "model/layout.h"
#include "video/export.h"

namespace {

constexpr int kBandRows = 32;

void WalkBgr(const cv::Mat& frame, int32_t frameIndex, bool store) {
    const int width = std::min(frame.cols, kGridSide);
    const int height = std::min(frame.rows, kGridSide);
    const uint8_t* rows[kBandRows];
    for (int top = 0; top < height; top += kBandRows) {
        const int band = std::min(kBandRows, height - top);
        for (int r = 0; r < band; ++r) rows[r] = frame.ptr<uint8_t>(top + r);
        for (int x = 0; x < width; ++x) {
            // The cells of a column are adjacent, row 0 first: picture row
            // top + r lands on grid row 2047 - top - r.
            GridCell* cell = &CellAt(x, kGridSide - 1 - top);
            const size_t offset = size_t(x) * 3;
            for (int r = 0; r < band; ++r, --cell) {
                const uint8_t* pixel = rows[r] + offset;
                cell->colour = (uint32_t(pixel[2]) << 16) | (uint32_t(pixel[1]) << 8) | pixel[0];
                if (store && cell->occupied == 1) {
                    const uint8_t rgb[3] = {pixel[2], pixel[1], pixel[0]};
                    StoreLedValue(cell->port, frameIndex, cell->index, rgb);
                }
            }
        }
    }
}

}  // namespace

void MapFrameOntoGrid(const cv::Mat& frame, int32_t frameIndex, bool store) {
    if (frame.empty() || frame.depth() != CV_8U) return;
    if (frame.channels() == 3) {
        WalkBgr(frame, frameIndex, store);
        return;
    }
    cv::Mat bgr;
    if (frame.channels() == 1)
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
    else if (frame.channels() == 4)
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    else
        return;
    WalkBgr(bgr, frameIndex, store);
}
