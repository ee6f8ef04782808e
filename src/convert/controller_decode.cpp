// Decoding of controller files: the exact inverse of the export's scrambling.
#include "convert/controller_decode.h"

#include <cerrno>
#include <cstdio>

#include "common/common.h"
#include "common/file_io.h"
#include "convert/controller_format.h"

bool DecodeControllerFile(const char* path, DecodedControllerFile* out, std::string* error) {
    const long size = FileSizeOf(path);
    std::vector<uint8_t> bytes;
    if (size < 0 || !ReadFilePrefix(path, size_t(size), bytes)) {
        *error = std::string("cannot open the file: ") + OpenFailureText(errno);
        return false;
    }

    if (bytes.size() < size_t(kControllerHeaderSize)) {
        *error = "the file is shorter than its 512-byte header";
        return false;
    }
    out->frameLength = ReadLE16(bytes.data());
    out->frameStride = FrameStrideFor(out->frameLength);
    out->keyA = bytes[254];
    out->keyB = bytes[255];
    out->frames.clear();
    const size_t body = bytes.size() - kControllerHeaderSize;
    if (out->frameLength > kMaxFrameLength || body % out->frameStride != 0) {
        *error = "the file size does not match the frame length in its header";
        return false;
    }
    for (size_t offset = kControllerHeaderSize; offset < bytes.size(); offset += out->frameStride) {
        std::vector<uint8_t> frame(bytes.begin() + long(offset),
                                   bytes.begin() + long(offset + out->frameLength));
        ScrambleBytes(frame.data(), frame.size(), out->keyA, out->keyB);
        out->frames.push_back(std::move(frame));
    }
    return true;
}
