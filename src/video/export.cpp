// The controller files of a conversion: target choice, buffers with their
// 512-byte header, the per-LED stores, the per-frame scrambling, writing
// and release.
#include "video/export.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "common/common.h"
#include "common/file_io.h"
#include "platform/boxes.h"
#include "platform/sys.h"
#include "video/color.h"
#include "video/scramble_table.h"

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

}  // namespace

// Tests: replaces the buffer allocation (nullptr restores calloc).
void SetExportAllocatorForTests(void* (*allocate)(size_t)) {
    g_allocate = allocate;
}

const ExportState& CurrentExport() {
    return g_export;
}

uint32_t FrameStrideFor(uint32_t length) {
    if (length == 0) return 512;
    if (length > kMaxFrameLength) return kMaxFrameStride;
    return (length + 511) / 512 * 512;
}

void DrawControllerKeys(uint8_t* keyA, uint8_t* keyB) {
    std::srand(uint32_t(std::time(nullptr)) >> 1);
    *keyA = uint8_t(std::rand() % 255 + 1);
    *keyB = uint8_t(std::rand() % 255 + 1);
}

void WriteControllerHeader(uint8_t* header, uint32_t frameLength, uint8_t keyA, uint8_t keyB) {
    std::memset(header, 0, kControllerHeaderSize);
    WriteLE16(header, uint16_t(frameLength));
    header[254] = keyA;
    header[255] = keyB;
}

bool ChooseExportTarget() {
    const SysSaveDialog dialog = {"Bin Files", "*.led", "led", true};
    char path[260] = {0};
    if (!Sys_SaveFileDialog(dialog, path, sizeof path)) return false;
    path[sizeof path - 1] = '\0';
    const std::string name = FileNameOf(path);
    const std::string directory = DirectoryOf(path);
    std::memset(g_export.name, 0, sizeof g_export.name);
    std::memset(g_export.directory, 0, sizeof g_export.directory);
    std::strncpy(g_export.name, name.c_str(), sizeof g_export.name - 1);
    std::strncpy(g_export.directory, directory.c_str(), sizeof g_export.directory - 1);
    return true;
}

bool ChooseAndCheckExport(int32_t frameCount) {
    if (!ChooseExportTarget()) return false;
    if (frameCount > kMaxExportFrames) {
        ShowErrorBox("File size is very large.");
        return false;
    }
    // A count of 0 or below leaves no room for frames (and a negative file
    // size); such a video cannot be converted.
    if (frameCount <= 0) {
        ShowErrorBox("The video reports no frames, so it cannot be converted.");
        return false;
    }
    return true;
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

void ScrambleBytes(uint8_t* data, size_t length, uint8_t keyA, uint8_t keyB) {
    const size_t start = uint8_t(keyA + 4 * keyB);
    if (length > size_t(kScrambleTableSize) - start) length = size_t(kScrambleTableSize) - start;
    const uint8_t keys = keyA ^ keyB;
    for (size_t k = 0; k < length; ++k) data[k] ^= ScrambleTable[start + k] ^ keys;
}

void XorWithStream(uint8_t* target, const uint8_t* data, const uint8_t* stream, size_t length) {
    size_t k = 0;
    for (; k + 8 <= length; k += 8) {
        uint64_t word, key;
        std::memcpy(&word, data + k, 8);
        std::memcpy(&key, stream + k, 8);
        word ^= key;
        std::memcpy(target + k, &word, 8);
    }
    for (; k < length; ++k) target[k] = data[k] ^ stream[k];
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
    for (int n = 1; n <= kPortCount; ++n) {
        const int port = n - 1;
        if (!g_export.prepared[port]) continue;
        const std::string fileName = "PORT-" + std::to_string(n) + "-" + g_export.name;
        const std::string path = JoinPath(g_export.directory, fileName);
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
