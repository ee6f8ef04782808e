// The pixel walk. The grid is column-major (the cells of one column are
// adjacent) while frames are row-major, and a plain row-by-row walk touches
// a new cache line and page for every pixel. This walk goes column by
// column in blocks of 8 columns, so the grid is written in contiguous runs
// while the block's image bytes stay in cache. The LEDs met on the way are
// gathered and stored after the walk, port by port in chain order. Every
// cell gets the same value as in a row-by-row walk and every LED the same
// stored bytes (an LED is named by one cell only), so the order does not
// show in the results.
#include "video/mapping.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "model/layout.h"
#include "video/export.h"

namespace {

// Columns per block: the block's image bytes stay in cache while its
// columns are walked top to bottom.
constexpr int kBlockColumns = 8;

// The LED colours of one frame, gathered during the walk and stored
// afterwards in chain order: entry port * 2048 + position holds
// kStaged | 0x00RRGGBB once that LED was covered, and 0 after it was stored.
// One contiguous table keeps the scattered writes of the walk in few pages;
// the stores then run through each port's buffer front to back.
constexpr uint32_t kStaged = 0x01000000u;
alignas(1 << 21) uint32_t g_staged[kPortCount * kChainCapacity];

template <bool kStore>
void WalkBgr(const cv::Mat& frame, const LedStoreFrame* store) {
    const int width = std::min(frame.cols, kGridSide);
    const int height = std::min(frame.rows, kGridSide);
    const size_t step = frame.step[0];
    const uint8_t* top = frame.ptr<uint8_t>(0);
    for (int left = 0; left < width; left += kBlockColumns) {
        const int right = std::min(width, left + kBlockColumns);
        for (int x = left; x < right; ++x) {
            // The cells of a column are adjacent, row 0 first: picture row y
            // lands on grid row 2047 - y.
            const GridCell* cell = &CellAt(x, kGridSide - 1);
            uint32_t* colours = CellColourColumn(x) + (kGridSide - 1);
            const uint8_t* pixel = top + size_t(x) * 3;
            for (int y = 0; y < height; ++y, --cell, --colours, pixel += step) {
                const uint32_t colour =
                    (uint32_t(pixel[2]) << 16) | (uint32_t(pixel[1]) << 8) | pixel[0];
                *colours = colour;
                if (kStore && cell->occupied == 1) {
                    // The same bounds as StoreLedValue: a port without a
                    // buffer or a position past the frame length is skipped.
                    const unsigned port = cell->port, position = cell->index;
                    if (port < unsigned(kPortCount) && store->frame[port] != nullptr &&
                        position < store->positions)
                        g_staged[port * kChainCapacity + position] = kStaged | colour;
                }
            }
        }
    }
}

void StoreStaged(const LedStoreFrame& store) {
    for (int port = 0; port < kPortCount; ++port) {
        if (store.frame[port] == nullptr) continue;
        uint32_t* staged = g_staged + port * kChainCapacity;
        for (uint32_t position = 0; position < store.positions; ++position) {
            const uint32_t entry = staged[position];
            if (entry == 0) continue;
            staged[position] = 0;
            StoreLed(store, unsigned(port), position, uint8_t(entry >> 16), uint8_t(entry >> 8),
                     uint8_t(entry));
        }
    }
}

void Walk(const cv::Mat& bgr, int32_t frameIndex, bool store) {
    LedStoreFrame frameStore;
    if (store && BeginLedStoreFrame(frameIndex, &frameStore)) {
        WalkBgr<true>(bgr, &frameStore);
        StoreStaged(frameStore);
    } else {
        WalkBgr<false>(bgr, nullptr);
    }
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
