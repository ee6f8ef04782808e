// FSEQ read-back for tests: our reader over a buffer, and a reader of its
// own built on libzstd alone.
#include "support/fseq_read.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>

#include "support/test_support.h"

namespace {

bool ReadMemory(void* context, uint64_t offset, void* buffer, size_t size) {
    const FseqBytes* file = static_cast<const FseqBytes*>(context);
    if (offset > file->size() || size > file->size() - offset) return false;
    std::memcpy(buffer, file->data() + offset, size);
    return true;
}

struct Collected {
    std::vector<FseqBytes>* frames;
    uint32_t channels;
};

bool Collect(void* context, uint32_t index, const uint8_t* data) {
    Collected* c = static_cast<Collected*>(context);
    if (index != c->frames->size()) return false;
    c->frames->emplace_back(data, data + c->channels);
    return true;
}

}  // namespace

FseqBytes ReadFileBytes(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    return FseqBytes(text.begin(), text.end());
}

uint32_t FseqField(const FseqBytes& file, size_t at, int size) {
    uint32_t v = 0;
    for (int k = size - 1; k >= 0; --k) v = v << 8 | (at + k < file.size() ? file[at + k] : 0);
    return v;
}

FseqReadBack ReadFseq(const FseqBytes& file) {
    FseqReadBack out;
    if (!ParseFseqFile(file.data(), file.size(), file.size(), &out.info, &out.error)) return out;
    Collected collected = {&out.frames, out.info.header.channelCount};
    const FseqByteSource source = {const_cast<FseqBytes*>(&file), ReadMemory};
    DecodeFseqFrames(out.info, source, Collect, &collected, &out.error);
    return out;
}

std::vector<FseqBytes> ReadFseqDirectly(const FseqBytes& file, std::string* problem) {
    problem->clear();
    std::vector<FseqBytes> out;
    if (file.size() < 32) {
        *problem = "shorter than a header";
        return out;
    }
    const uint32_t offset = FseqField(file, 4, 2), channels = FseqField(file, 10, 4),
                   frames = FseqField(file, 14, 4);
    if ((file[20] & 0x0F) == 0) {
        if (file.size() != offset + uint64_t(channels) * frames) *problem = "size";
        for (uint32_t f = 0; f < frames && offset + uint64_t(f + 1) * channels <= file.size(); ++f)
            out.emplace_back(file.begin() + offset + size_t(f) * channels,
                             file.begin() + offset + size_t(f + 1) * channels);
        return out;
    }
    const uint32_t slots = (file[20] & 0xF0) << 4 | file[21];
    std::vector<std::pair<uint32_t, uint32_t>> blocks;
    for (uint32_t k = 0; k < slots; ++k)
        if (FseqField(file, 32 + 8 * k + 4, 4) != 0)
            blocks.push_back({FseqField(file, 32 + 8 * k, 4), FseqField(file, 32 + 8 * k + 4, 4)});
    size_t at = offset;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const uint32_t end = b + 1 < blocks.size() ? blocks[b + 1].first : frames;
        FseqBytes raw(size_t(end - blocks[b].first) * channels + 1);
        if (at + blocks[b].second > file.size()) {
            *problem = "block " + std::to_string(b) + " past the end";
            return out;
        }
        const size_t got =
            ZSTD_decompress(raw.data(), raw.size(), file.data() + at, blocks[b].second);
        if (ZSTD_isError(got) || got != raw.size() - 1) {
            *problem =
                "block " + std::to_string(b) + " holds " +
                (ZSTD_isError(got) ? ZSTD_getErrorName(got) : std::to_string(got) + " bytes");
            return out;
        }
        for (size_t f = 0; f + channels < raw.size(); f += channels)
            out.emplace_back(raw.begin() + f, raw.begin() + f + channels);
        at += blocks[b].second;
    }
    if (at != file.size()) *problem = "bytes after the last block";
    return out;
}

std::vector<FseqBytes> ReadFseqAsPlayer(const FseqBytes& file, std::string* problem) {
    problem->clear();
    std::vector<FseqBytes> out;
    if (file.size() < 32) {
        *problem = "shorter than a header";
        return out;
    }
    const uint32_t offset = FseqField(file, 4, 2), channels = FseqField(file, 10, 4),
                   frames = FseqField(file, 14, 4);
    const uint32_t compression = file[20], slots = file[21], ranges = file[22];
    if (compression > 1) {
        *problem = "compression byte " + std::to_string(compression);
        return out;
    }
    const uint32_t variablesAt = FseqField(file, 8, 2);
    if (variablesAt != 32 + 8 * slots + 6 * ranges) *problem = "header length field";
    // The variable headers up to the channel data: at most 4 bytes left over.
    size_t at = variablesAt, lastEnd = 0;
    while (at + 4 <= offset && FseqField(file, at, 2) >= 4) {
        lastEnd = at + FseqField(file, at, 2);
        at = lastEnd;
    }
    if (problem->empty() && (at > offset || offset - at > 4)) *problem = "padding";
    if (problem->empty() && lastEnd > 0 && file[lastEnd - 1] != 0) *problem = "no NUL";
    auto zeros = [&] { return FseqBytes(channels, 0); };
    if (compression == 0) {
        for (uint32_t f = 0; f < frames; ++f) {
            FseqBytes frame = zeros();
            for (uint32_t c = 0; c < channels; ++c) {
                const uint64_t byte = offset + uint64_t(f) * channels + c;
                if (byte < file.size()) frame[c] = file[byte];
            }
            out.push_back(frame);
        }
        return out;
    }
    std::vector<std::pair<uint32_t, uint64_t>> starts;  // first frame, file offset
    uint64_t next = offset;
    for (uint32_t k = 0; k < slots; ++k) {
        const uint32_t first = FseqField(file, 32 + 8 * k, 4),
                       size = FseqField(file, 36 + 8 * k, 4);
        if (size == 0) continue;
        if (problem->empty() && (starts.empty() ? first != 0 : first < starts.back().first))
            *problem = "block " + std::to_string(k) + " starts at frame " + std::to_string(first);
        starts.push_back({first, next});
        next += size;
    }
    if (problem->empty() && next != file.size()) *problem = "blocks do not end the file";
    starts.push_back({frames + 2, next});
    const int max = int(frames * channels);
    ZSTD_DStream* stream = ZSTD_createDStream();
    for (size_t b = 0; b + 1 < starts.size(); ++b) {
        uint64_t length = starts[b + 1].second - starts[b].second;
        if (length > uint64_t(int64_t(max))) length = uint64_t(max);
        const uint64_t from = std::min<uint64_t>(starts[b].second, file.size());
        length = std::min<uint64_t>(length, file.size() - from);
        const uint32_t end = std::min(starts[b + 1].first, frames);
        const uint32_t count = end > starts[b].first ? end - starts[b].first : 0;
        if (problem->empty() && length > 0) {
            const size_t frameSize = ZSTD_findFrameCompressedSize(file.data() + from, length);
            if (ZSTD_isError(frameSize) || frameSize != length)
                *problem = "block " + std::to_string(b) + " is not one whole zstd frame";
        }
        FseqBytes raw(size_t(count) * channels, 0);
        ZSTD_initDStream(stream);
        ZSTD_inBuffer in = {file.data() + from, size_t(length), 0};
        ZSTD_outBuffer o = {raw.data(), 0, 0};
        for (uint32_t f = 0; f < count; ++f) {
            o.size = size_t(f + 1) * channels;
            ZSTD_decompressStream(stream, &o, &in);
            out.emplace_back(raw.begin() + size_t(f) * channels,
                             raw.begin() + size_t(f + 1) * channels);
        }
    }
    ZSTD_freeDStream(stream);
    return out;
}
