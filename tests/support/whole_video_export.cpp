// The whole-video reference export: buffers with their 512-byte header, the
// per-LED stores, the per-frame scrambling, writing and release.
#include "support/whole_video_export.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <string>

#include "common/file_io.h"
#include "convert/color.h"
#include "convert/led_map.h"
#include "platform/boxes.h"
#include "video/export_target.h"

namespace {

ExportState g_export;
// The scrambling stream of the current keys, ready for one XOR per byte.
uint8_t g_stream[kMaxFrameLength];

void* (*g_allocate)(size_t) = nullptr;

uint8_t* AllocateZeroed(size_t size) {
    if (g_allocate != nullptr) {
        void* block = g_allocate(size);
        if (block != nullptr) std::memset(block, 0, size);
        return static_cast<uint8_t*>(block);
    }
    return static_cast<uint8_t*>(std::calloc(size, 1));
}

size_t FrameOffset(int32_t frameIndex) {
    return size_t(kControllerHeaderSize) + size_t(frameIndex) * g_export.frameStride;
}

void StoreBgr(const cv::Mat& frame, const LedStoreFrame& store) {
    const LedCells& cells = ListLedCells();
    const unsigned width = unsigned(std::min(frame.cols, kGridSide));
    const unsigned height = unsigned(std::min(frame.rows, kGridSide));
    const size_t step = frame.step[0];
    const uint8_t* top = frame.ptr<uint8_t>(0);
    for (int port = 0; port < kPortCount; ++port) {
        if (store.frame[port] == nullptr) continue;
        const unsigned end = std::min(unsigned(cells.portEnd[port]), store.positions);
        for (unsigned position = 0; position < end; ++position) {
            const uint32_t cell = cells.cell[port][position];
            const unsigned x = cell & 0x7FF, row = cell >> 11;
            if (x >= width || row >= height) continue;
            const uint8_t* pixel = top + row * step + x * 3;
            StoreLed(store, unsigned(port), position, pixel[2], pixel[1], pixel[0]);
        }
    }
    for (const uint64_t key : cells.shared) {
        const unsigned x = unsigned(key & 0xFFFF), row = unsigned(key >> 16 & 0xFFFF);
        if (x >= width || row >= height) continue;
        const uint8_t* pixel = top + row * step + x * 3;
        StoreLed(store, unsigned(key >> 48), unsigned(key >> 32 & 0xFFFF), pixel[2], pixel[1],
                 pixel[0]);
    }
}

}  // namespace

void SetExportAllocatorForTests(void* (*allocate)(size_t)) {
    g_allocate = allocate;
}

const ExportState& CurrentExport() {
    return g_export;
}

bool PrepareExport(int32_t frameCount) {
    if (!ChooseAndCheckExport(frameCount)) return false;
    uint8_t keyA, keyB;
    DrawControllerKeys(&keyA, &keyB);

    ReleaseExport();
    uint32_t longest = 0;
    for (int port = 0; port < kPortCount; ++port) {
        const uint32_t length = ChainLength(port);
        if (length > longest) longest = length;
    }
    g_export.keyA = keyA;
    g_export.keyB = keyB;
    g_export.frameLength = longest * 3;
    g_export.frameStride = FrameStrideFor(g_export.frameLength);
    g_export.frameCount = frameCount;
    g_export.fileSize = int32_t(size_t(frameCount) * g_export.frameStride + kControllerHeaderSize);

    for (int port = 0; port < kPortCount; ++port) {
        if (ChainLength(port) == 0) continue;
        uint8_t* buffer = AllocateZeroed(size_t(g_export.fileSize));
        if (buffer == nullptr) {
            ReleaseExport();
            ShowErrorBox("Not enough memory for the controller files of this video.");
            return false;
        }
        WriteControllerHeader(buffer, g_export.frameLength, keyA, keyB);
        g_export.buffer[port] = buffer;
        g_export.prepared[port] = true;
    }
    for (uint32_t k = 0; k < g_export.frameLength; ++k) g_stream[k] = 0;
    ScrambleBytes(g_stream, g_export.frameLength, keyA, keyB);
    return true;
}

bool BeginLedStoreFrame(int32_t frameIndex, LedStoreFrame* out) {
    if (frameIndex < 0 || frameIndex >= g_export.frameCount) return false;
    bool any = false;
    for (int port = 0; port < kPortCount; ++port) {
        out->frame[port] =
            g_export.prepared[port] ? g_export.buffer[port] + FrameOffset(frameIndex) : nullptr;
        out->active[port] = ActiveFlags(port);
        any = any || g_export.prepared[port];
    }
    out->positions = g_export.frameLength / 3;
    BuildLedParts(CurrentColorSettings(), out->parts);
    return any;
}

void StoreFrameInExport(const cv::Mat& frame, int32_t frameIndex) {
    if (frame.empty() || frame.depth() != CV_8U) return;
    cv::Mat bgr = frame;
    if (frame.channels() == 1)
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
    else if (frame.channels() == 4)
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
    else if (frame.channels() != 3)
        return;
    LedStoreFrame store;
    if (BeginLedStoreFrame(frameIndex, &store)) StoreBgr(bgr, store);
}

void ScrambleFrame(int32_t frameIndex) {
    if (frameIndex < 0 || frameIndex >= g_export.frameCount) return;
    const size_t length = g_export.frameLength;
    for (int port = 0; port < kPortCount; ++port) {
        if (!g_export.prepared[port]) continue;
        uint8_t* frame = g_export.buffer[port] + FrameOffset(frameIndex);
        XorWithStream(frame, frame, g_stream, length);
    }
}

bool WriteControllerFiles() {
    const ExportTarget& target = CurrentExportTarget();
    for (int n = 1; n <= kPortCount; ++n) {
        const int port = n - 1;
        if (!g_export.prepared[port]) continue;
        const std::string fileName = "PORT-" + std::to_string(n) + "-" + target.name;
        const std::string path = JoinPath(target.directory, fileName);
        if (!SaveFileReplacing(path.c_str(), g_export.buffer[port], size_t(g_export.fileSize)))
            return false;
    }
    return true;
}

void ReleaseExport() {
    for (int port = 0; port < kPortCount; ++port) {
        std::free(g_export.buffer[port]);
        g_export.buffer[port] = nullptr;
        g_export.prepared[port] = false;
    }
}

void ResetExport() {
    ReleaseExport();
    std::memset(&g_export, 0, sizeof g_export);
    g_allocate = nullptr;
}
