// Fuzzes reading a project header over an existing one and the view clamps.
#include <cstdlib>
#include <cstring>

#include "files/file_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ProjectHeader header;
    std::memset(header.bytes, 0xEE, sizeof header.bytes);
    ApplyProjectHeaderBytes(header, data, size);
    // Bytes the input does not supply keep their former values.
    for (size_t i = size; i < kProjectHeaderSize; ++i)
        if (header.bytes[i] != 0xEE) std::abort();
    HeaderView view = ClampedHeaderView(header);
    if (view.cellSize < 1 || view.cellSize > 16) std::abort();
    if (view.scrollX > kGridSide || view.scrollY > kGridSide) std::abort();
    for (int port = 0; port < kPortCount; ++port) HeaderPortFlag(header, port);
    return 0;
}
