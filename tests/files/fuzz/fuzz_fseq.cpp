// Fuzzes the FSEQ reader: whatever the bytes, parsing and decoding end with
// a result or a reason, never read outside the buffer, and every frame
// handed out lies within the frame count.
#include <cstdlib>
#include <cstring>

#include "convert/fseq_format.h"

namespace {

struct Buffer {
    const uint8_t* data;
    size_t size;
};

bool ReadBuffer(void* context, uint64_t offset, void* out, size_t size) {
    const Buffer* buffer = static_cast<const Buffer*>(context);
    if (offset > buffer->size || size > buffer->size - offset) return false;
    std::memcpy(out, buffer->data + offset, size);
    return true;
}

struct Seen {
    uint32_t frameCount;
    uint32_t next;
};

bool TakeFrame(void* context, uint32_t index, const uint8_t*) {
    Seen* seen = static_cast<Seen*>(context);
    if (index != seen->next || index >= seen->frameCount) std::abort();
    ++seen->next;
    return seen->next < 64;  // enough to reach every block kind, bounded time
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FseqFileInfo info;
    std::string error;
    if (!ParseFseqFile(data, size, size, &info, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    // The header reads back as it was built.
    uint8_t again[kFseqHeaderSize];
    BuildFseqHeader(info.header, again);
    if (std::memcmp(again + 4, data + 4, 19) != 0 || std::memcmp(again + 24, data + 24, 8) != 0)
        std::abort();
    if (info.header.channelCount > (1u << 20)) return 0;  // large frames only cost time
    const Buffer buffer = {data, size};
    const FseqByteSource source = {const_cast<Buffer*>(&buffer), ReadBuffer};
    Seen seen = {info.header.frameCount, 0};
    if (!DecodeFseqFrames(info, source, TakeFrame, &seen, &error) && error.empty()) std::abort();
    return 0;
}
