// FSEQ v2 header, index and variable headers, the writer's block plan, and
// the frame decoder (plain or zstd blocks, streamed one frame at a time).
#include "convert/fseq_format.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>

#include "common/common.h"

namespace {

constexpr uint32_t kBlockBytes = 64 * 1024;
constexpr size_t kReadChunk = 64 * 1024;

std::string Number(uint64_t v) {
    return std::to_string(v);
}

bool Fail(std::string* error, const std::string& reason) {
    if (error != nullptr) *error = reason;
    return false;
}

}  // namespace

void BuildFseqHeader(const FseqHeader& h, uint8_t out[kFseqHeaderSize]) {
    std::memset(out, 0, kFseqHeaderSize);
    std::memcpy(out, "PSEQ", 4);
    WriteLE16(out + 4, h.channelDataOffset);
    out[6] = h.minorVersion;
    out[7] = h.majorVersion;
    WriteLE16(out + 8, h.variableHeaderOffset);
    WriteLE32(out + 10, h.channelCount);
    WriteLE32(out + 14, h.frameCount);
    out[18] = h.stepMs;
    out[19] = h.flags;
    out[20] = uint8_t((h.compression & 0x0F) | ((h.blockCount >> 4) & 0xF0));
    out[21] = uint8_t(h.blockCount);
    out[22] = h.sparseRangeCount;
    WriteLE64(out + 24, h.uniqueId);
}

FseqHeader ParseFseqHeader(const uint8_t in[kFseqHeaderSize]) {
    FseqHeader h;
    h.channelDataOffset = ReadLE16(in + 4);
    h.minorVersion = in[6];
    h.majorVersion = in[7];
    h.variableHeaderOffset = ReadLE16(in + 8);
    h.channelCount = ReadLE32(in + 10);
    h.frameCount = ReadLE32(in + 14);
    h.stepMs = in[18];
    h.flags = in[19];
    h.compression = in[20] & 0x0F;
    h.blockCount = uint16_t((in[20] & 0xF0) << 4 | in[21]);
    h.sparseRangeCount = in[22];
    h.uniqueId = ReadLE64(in + 24);
    return h;
}

bool AppendFseqVariable(std::vector<uint8_t>& out, const char code[2], const char* text) {
    const size_t length = 4 + std::strlen(text) + 1;
    if (length > 0xFFFF) return false;
    uint8_t head[4];
    WriteLE16(head, uint16_t(length));
    head[2] = uint8_t(code[0]);
    head[3] = uint8_t(code[1]);
    out.insert(out.end(), head, head + 4);
    out.insert(out.end(), text, text + length - 4);  // with the NUL
    return true;
}

namespace {

// Blocks that `frames` frames fill under `plan` (fewer frames than planned
// fill fewer blocks).
uint32_t FseqBlocksFor(const FseqBlockPlan& plan, uint32_t frames) {
    if (frames == 0) return 0;
    if (frames <= plan.firstBlockFrames) return 1;
    const uint64_t rest = frames - plan.firstBlockFrames;
    return uint32_t(1 + (rest + plan.framesPerBlock - 1) / plan.framesPerBlock);
}

}  // namespace

FseqBlockPlan PlanFseqBlocks(uint32_t channelsPerFrame, uint32_t frameCount, uint32_t maxBlocks) {
    FseqBlockPlan plan;
    plan.framesPerBlock = channelsPerFrame == 0 ? 1 : std::max(1u, kBlockBytes / channelsPerFrame);
    plan.firstBlockFrames = std::max(1u, plan.framesPerBlock / 8);
    if (maxBlocks <= 1) {
        plan.firstBlockFrames = std::max(1u, frameCount);
        plan.framesPerBlock = plan.firstBlockFrames;
    } else if (FseqBlocksFor(plan, frameCount) > maxBlocks) {
        const uint64_t rest = frameCount - plan.firstBlockFrames;
        plan.framesPerBlock = uint32_t((rest + maxBlocks - 2) / (maxBlocks - 1));
    }
    plan.blockCount = FseqBlocksFor(plan, frameCount);
    return plan;
}

bool FseqBlocksReadWhole(uint32_t channelsPerFrame, uint32_t frameCount, const FseqBlock* blocks,
                         size_t blockCount) {
    const uint32_t limit = channelsPerFrame * frameCount;
    for (size_t k = 0; k < blockCount; ++k)
        if (blocks[k].size > limit) return false;
    return true;
}

bool ParseFseqFile(const uint8_t* head, size_t headSize, uint64_t fileSize, FseqFileInfo* out,
                   std::string* error) {
    if (fileSize < kFseqHeaderSize || headSize < kFseqHeaderSize)
        return Fail(error, "truncated: " + Number(std::min<uint64_t>(fileSize, headSize)) +
                               " bytes, shorter than the 32-byte header");
    if (std::memcmp(head, "PSEQ", 4) != 0)
        return Fail(error, "not an FSEQ sequence (no \"PSEQ\" at the start)");
    FseqHeader h = ParseFseqHeader(head);
    if (h.majorVersion != 2)
        return Fail(error, "FSEQ version " + Number(h.majorVersion) + "." + Number(h.minorVersion) +
                               ": only version 2 is read");
    if (h.compression == 2) return Fail(error, "zlib compression (type 2) is not supported");
    if (h.compression != kFseqNone && h.compression != kFseqZstd)
        return Fail(error, "unknown compression type " + Number(h.compression));
    if (h.channelDataOffset < kFseqHeaderSize)
        return Fail(error, "channel data offset " + Number(h.channelDataOffset) +
                               " lies inside the 32-byte header");
    if (fileSize < h.channelDataOffset || headSize < h.channelDataOffset)
        return Fail(error, "truncated: the file ends at byte " + Number(fileSize) +
                               ", before its channel data offset " + Number(h.channelDataOffset));
    if (h.frameCount > 0 && h.channelCount == 0)
        return Fail(error, "no channels per frame in " + Number(h.frameCount) + " frames");
    if (h.channelCount > kFseqMaxChannels)
        return Fail(error, Number(h.channelCount) +
                               " channels per frame, more than this reader's " +
                               Number(kFseqMaxChannels));

    const size_t variablesAt = kFseqHeaderSize + size_t(h.blockCount) * kFseqBlockEntrySize +
                               size_t(h.sparseRangeCount) * kFseqSparseRangeSize;
    if (variablesAt > h.channelDataOffset)
        return Fail(error, "the block index and sparse ranges end at byte " + Number(variablesAt) +
                               ", past the channel data offset " + Number(h.channelDataOffset));

    FseqFileInfo info;
    info.header = h;
    info.indexSlots = h.blockCount;
    uint64_t blockBytes = 0;
    for (size_t k = 0; k < h.blockCount; ++k) {
        const uint8_t* entry = head + kFseqHeaderSize + k * kFseqBlockEntrySize;
        const FseqBlock block = {ReadLE32(entry), ReadLE32(entry + 4)};
        if (block.size == 0 || h.compression == kFseqNone) continue;
        const uint32_t expected = info.blocks.empty() ? 0 : info.blocks.back().firstFrame + 1;
        if (info.blocks.empty() ? block.firstFrame != 0 : block.firstFrame < expected)
            return Fail(
                error,
                "compression block " + Number(k) + " starts at frame " + Number(block.firstFrame) +
                    (info.blocks.empty() ? ", not at frame 0" : ", not after the block before it"));
        if (block.firstFrame >= h.frameCount)
            return Fail(error, "compression block " + Number(k) + " starts at frame " +
                                   Number(block.firstFrame) + ", beyond the " +
                                   Number(h.frameCount) + " frames");
        info.blocks.push_back(block);
        blockBytes += block.size;
    }
    if (h.compression == kFseqZstd) {
        if (h.frameCount > 0 && info.blocks.empty())
            return Fail(error, "no compression blocks for " + Number(h.frameCount) + " frames");
        info.dataSize = blockBytes;
    } else {
        info.dataSize = uint64_t(h.channelCount) * h.frameCount;
    }
    if (info.dataSize > fileSize - h.channelDataOffset) {
        if (h.compression == kFseqZstd)
            return Fail(error, "compression blocks of " + Number(info.dataSize) +
                                   " bytes from byte " + Number(h.channelDataOffset) +
                                   " run past the end of the file (" + Number(fileSize) +
                                   " bytes)");
        return Fail(error, "truncated: " + Number(h.frameCount) + " frames of " +
                               Number(h.channelCount) + " channels need " + Number(info.dataSize) +
                               " bytes from byte " + Number(h.channelDataOffset) +
                               ", the file has " + Number(fileSize) + " bytes");
    }

    size_t at = variablesAt;
    while (at + 4 <= h.channelDataOffset) {
        const uint16_t length = ReadLE16(head + at);
        if (length == 0) {  // padding
            at += 4;
            continue;
        }
        if (length < 4)
            return Fail(error, "variable header at byte " + Number(at) + " has length " +
                                   Number(length) + ", shorter than its 4-byte head");
        if (at + length > h.channelDataOffset)
            return Fail(error, "variable header at byte " + Number(at) +
                                   " runs past the channel data offset " +
                                   Number(h.channelDataOffset));
        FseqVariable variable;
        variable.code[0] = char(head[at + 2]);
        variable.code[1] = char(head[at + 3]);
        variable.code[2] = 0;
        const char* text = reinterpret_cast<const char*>(head + at + 4);
        variable.data.assign(text, strnlen(text, length - 4));
        info.variables.push_back(variable);
        at += length;
    }
    *out = std::move(info);
    return true;
}

namespace {

bool DecodePlain(const FseqFileInfo& info, const FseqByteSource& source,
                 bool (*frame)(void*, uint32_t, const uint8_t*), void* context,
                 std::string* error) {
    const uint32_t channels = info.header.channelCount;
    std::vector<uint8_t> buffer(channels);
    for (uint32_t index = 0; index < info.header.frameCount; ++index) {
        const uint64_t offset = info.header.channelDataOffset + uint64_t(index) * channels;
        if (!source.read(source.context, offset, buffer.data(), channels))
            return Fail(error, "cannot read frame " + Number(index));
        if (!frame(context, index, buffer.data())) return true;
    }
    return true;
}

struct DecompressStream {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ~DecompressStream() { ZSTD_freeDCtx(context); }
};

}  // namespace

bool DecodeFseqFrames(const FseqFileInfo& info, const FseqByteSource& source,
                      bool (*frame)(void* context, uint32_t index, const uint8_t* data),
                      void* context, std::string* error) {
    if (info.header.frameCount == 0) return true;
    if (info.header.compression == kFseqNone)
        return DecodePlain(info, source, frame, context, error);

    const uint32_t channels = info.header.channelCount;
    DecompressStream stream;
    if (stream.context == nullptr) return Fail(error, "out of memory for the decompressor");
    std::vector<uint8_t> output(channels);
    std::vector<uint8_t> input(kReadChunk);
    uint64_t offset = info.header.channelDataOffset;
    for (size_t b = 0; b < info.blocks.size(); ++b) {
        const FseqBlock& block = info.blocks[b];
        const uint32_t end =
            b + 1 < info.blocks.size() ? info.blocks[b + 1].firstFrame : info.header.frameCount;
        const uint32_t frames = end - block.firstFrame;
        const std::string name = "compression block " + Number(b) + " (frames " +
                                 Number(block.firstFrame) + " to " + Number(end - 1) + ")";
        ZSTD_DCtx_reset(stream.context, ZSTD_reset_session_only);
        uint32_t done = 0;
        ZSTD_outBuffer out = {output.data(), channels, 0};
        size_t last = 1;  // what the decoder still expects; 0 at the end of a zstd frame
        uint64_t remaining = block.size;
        while (remaining > 0) {
            const size_t chunk = size_t(std::min<uint64_t>(remaining, kReadChunk));
            if (!source.read(source.context, offset, input.data(), chunk))
                return Fail(error, "cannot read " + name);
            offset += chunk;
            remaining -= chunk;
            ZSTD_inBuffer in = {input.data(), chunk, 0};
            bool full = false;
            do {
                const size_t inBefore = in.pos, outBefore = out.pos;
                const size_t result = ZSTD_decompressStream(stream.context, &out, &in);
                if (ZSTD_isError(result))
                    return Fail(error,
                                name + " is not valid zstd data: " + ZSTD_getErrorName(result));
                // A call without progress after the end of a zstd frame
                // asks for the next frame's header; the block is complete.
                if (in.pos != inBefore || out.pos != outBefore) last = result;
                full = out.pos == out.size;
                if (out.pos > 0 && done == frames)
                    return Fail(error, name + " holds more than its " + Number(frames) + " frames");
                if (full) {
                    if (!frame(context, block.firstFrame + done, output.data())) return true;
                    ++done;
                    out.pos = 0;
                }
            } while (in.pos < in.size || full);
        }
        if (last != 0 || done != frames || out.pos != 0)
            return Fail(error, name + " ends after " + Number(done) + " frames and " +
                                   Number(out.pos) + " bytes, short of its " + Number(frames) +
                                   " frames");
    }
    return true;
}
