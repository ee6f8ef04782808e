// The FSEQ sink: header area first (with room for the whole block index),
// frames streamed after it, header and index rewritten at the end.
#include "convert/fseq_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_io.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

namespace {

// A fast level: with a full layout, level 1 and level -3 cost a conversion
// 15 % or more of its processor time per frame over controller files, -7
// about 6 % (bench/fseq_write), for files about a third larger than at
// level 1. Any zstd decoder reads every level.
constexpr int kZstdLevel = -7;
constexpr uint8_t kNoRateStepMs = 50;

FseqSinkState* State(void* state) {
    return static_cast<FseqSinkState*>(state);
}

bool Fail(FseqSinkState* s, const std::string& reason) {
    std::snprintf(s->error, sizeof s->error, "%s: %s", s->target, reason.c_str());
    return false;
}

// The step time for a frame rate: 1000 / fps rounded, within 1..255; 50
// (20 frames per second) when the video gives no rate.
uint8_t FseqStepMsFor(double framesPerSecond) {
    if (!(framesPerSecond > 0.0)) return kNoRateStepMs;
    const double ms = std::floor(1000.0 / framesPerSecond + 0.5);
    return ms < 1.0 ? 1 : ms > 255.0 ? 255 : uint8_t(ms);
}

std::string SystemError() {
    return errno != 0 ? std::strerror(errno) : "write failed";
}

uint32_t ChannelsPerFrame(const FseqSinkState* s) {
    uint32_t channels = 0;
    for (int port = 0; port < kPortCount; ++port) channels += 3u * s->ledCount[port];
    return channels;
}

// The bytes before the frames: header, block index (used entries, then
// zeroed slots) and the variable headers.
std::vector<uint8_t> HeaderArea(const FseqSinkState* s, const std::vector<uint8_t>& variables) {
    std::vector<uint8_t> area(s->header.channelDataOffset, 0);
    BuildFseqHeader(s->header, area.data());
    for (uint32_t k = 0; k < s->usedBlocks; ++k) {
        uint8_t* entry = area.data() + kFseqHeaderSize + k * kFseqBlockEntrySize;
        const FseqBlock& block = s->blocks[k];
        for (int b = 0; b < 4; ++b) {
            entry[b] = uint8_t(block.firstFrame >> (8 * b));
            entry[4 + b] = uint8_t(block.size >> (8 * b));
        }
    }
    if (!variables.empty())
        std::memcpy(area.data() + s->header.variableHeaderOffset, variables.data(),
                    variables.size());
    return area;
}

std::vector<uint8_t> Variables(const char* videoPath) {
    std::vector<uint8_t> variables;
    if (videoPath != nullptr) {
        const char* slash = std::strrchr(videoPath, '/');
        AppendFseqVariable(variables, "mf", slash != nullptr ? slash + 1 : videoPath);
    }
    AppendFseqVariable(variables, "sp", "Quorvane " QUORVANE_VERSION);
    return variables;
}

bool WriteFailed(FseqSinkState* s) {
    return Fail(s, "cannot write " + std::string(s->temporary) + ": " + SystemError());
}

bool FlushPending(FseqSinkState* s) {
    errno = 0;
    const bool ok = WriteFully(s->fd, s->pending, s->pendingSize, -1);
    s->pendingSize = 0;
    return ok || WriteFailed(s);
}

// Appends to the file through the write buffer.
bool WriteBytes(FseqSinkState* s, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        if (s->pendingSize == kFseqWriteBuffer && !FlushPending(s)) return false;
        const size_t part = std::min(size, kFseqWriteBuffer - s->pendingSize);
        std::memcpy(s->pending + s->pendingSize, bytes, part);
        s->pendingSize += part;
        bytes += part;
        size -= part;
    }
    return true;
}

// Compresses `size` bytes into the open block (ZSTD_e_continue) or ends it
// (ZSTD_e_end, no input), writing out whatever the compressor gives back.
bool Compress(FseqSinkState* s, const void* data, size_t size, ZSTD_EndDirective mode) {
    ZSTD_inBuffer in = {data, size, 0};
    for (;;) {
        ZSTD_outBuffer out = {s->zstdOut, s->zstdOutSize, 0};
        const size_t left = ZSTD_compressStream2(s->zstd, &out, &in, mode);
        if (ZSTD_isError(left))
            return Fail(s, std::string("zstd compression failed: ") + ZSTD_getErrorName(left));
        if (!WriteBytes(s, s->zstdOut, out.pos)) return false;
        s->blockBytes += out.pos;
        if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size) return true;
    }
}

bool WriteChannels(FseqSinkState* s, const uint8_t* data, size_t size) {
    if (s->compression == kFseqNone) return WriteBytes(s, data, size);
    return Compress(s, data, size, ZSTD_e_continue);
}

bool CloseBlock(FseqSinkState* s) {
    if (!Compress(s, nullptr, 0, ZSTD_e_end)) return false;
    if (s->blockBytes > UINT32_MAX) return Fail(s, "a compression block exceeds 4 GiB");
    s->blocks[s->usedBlocks++] = {uint32_t(s->framesWritten) - s->framesInBlock,
                                  uint32_t(s->blockBytes)};
    s->framesInBlock = 0;
    s->blockBytes = 0;
    return true;
}

// One frame of the ports' values; nullptr values (or leds == nullptr: a
// frame the conversion skipped) write dark LEDs.
bool WriteFrame(FseqSinkState* s, const FrameLeds* leds) {
    static const uint8_t kDark[4096] = {};
    if (s->compression == kFseqZstd && s->framesInBlock == 0 && s->usedBlocks == s->indexSlots)
        return Fail(s, "more frames than the video reported");
    for (int port = 0; port < kPortCount; ++port) {
        if (s->ledCount[port] == 0) continue;
        const uint8_t* values = leds != nullptr ? leds->values[port] : nullptr;
        size_t size = 3u * s->ledCount[port];
        if (values != nullptr) {
            if (!WriteChannels(s, values, size)) return false;
            continue;
        }
        for (size_t part; size > 0; size -= part) {
            part = size < sizeof kDark ? size : sizeof kDark;
            if (!WriteChannels(s, kDark, part)) return false;
        }
    }
    ++s->framesWritten;
    ++s->framesInBlock;
    if (s->compression == kFseqZstd) {
        const uint32_t blockFrames =
            s->usedBlocks == 0 ? s->plan.firstBlockFrames : s->plan.framesPerBlock;
        if (s->framesInBlock == blockFrames) return CloseBlock(s);
    }
    return true;
}

void Release(FseqSinkState* s) {
    if (s->fd >= 0) CurrentFileSyscalls().close(s->fd);
    s->fd = -1;
    ZSTD_freeCCtx(s->zstd);
    s->zstd = nullptr;
    delete[] s->zstdOut;
    s->zstdOut = nullptr;
    delete[] s->pending;
    s->pending = nullptr;
    s->pendingSize = 0;
}

// Where the sequence goes, found as every save finds it (through symbolic
// links to the final target). A target that exists must be a regular file we
// may write; its permission bits are kept.
bool ResolveTarget(FseqSinkState* s) {
    std::string destination;
    mode_t mode = 0;
    if (!SaveTargetOf(s->target, &destination, &mode)) {
        if (errno == EINVAL) return Fail(s, "not a regular file");
        return Fail(s, std::string("cannot replace the file: ") + OpenFailureText(errno));
    }
    if (destination.size() >= sizeof s->destination) return Fail(s, "the path is too long");
    std::snprintf(s->destination, sizeof s->destination, "%s", destination.c_str());
    std::snprintf(s->temporary, sizeof s->temporary, "%s.part", s->destination);
    struct stat info;
    s->replacesFile = CurrentFileSyscalls().stat(s->destination, &info) == 0;
    if (!s->replacesFile) return true;
    s->targetMode = mode;
    errno = 0;
    const int fd = OpenRegularFile(s->destination, O_RDWR);
    if (fd < 0) return Fail(s, std::string("cannot replace the file: ") + OpenFailureText(errno));
    CurrentFileSyscalls().close(fd);
    return true;
}

bool Begin(void* state, const ConversionInfo& info) {
    FseqSinkState* s = State(state);
    Release(s);
    std::memcpy(s->ledCount, info.ledCount, sizeof s->ledCount);
    s->usedBlocks = 0;
    s->framesInBlock = 0;
    s->framesWritten = 0;
    s->blockBytes = 0;
    s->error[0] = 0;
    if (s->targetTooLong) return Fail(s, "the path is too long");

    const uint32_t channels = ChannelsPerFrame(s);
    if (channels == 0) return Fail(s, "the layout has no LEDs");
    const uint32_t frames = info.frameCount > 0 ? uint32_t(info.frameCount) : 0;
    s->plan = PlanFseqBlocks(channels, frames);
    s->indexSlots = s->compression == kFseqZstd ? s->plan.blockCount : 0;

    const std::vector<uint8_t> variables = Variables(info.videoPath);
    const size_t variablesAt = kFseqHeaderSize + s->indexSlots * kFseqBlockEntrySize;
    const size_t dataOffset = (variablesAt + variables.size() + 3) / 4 * 4;
    if (dataOffset > 0xFFFF) return Fail(s, "the video's file name is too long for the header");

    FseqHeader& h = s->header;
    h = {};
    h.channelDataOffset = uint16_t(dataOffset);
    h.minorVersion = 0;
    h.majorVersion = 2;
    h.variableHeaderOffset = uint16_t(variablesAt);
    h.channelCount = channels;
    h.frameCount = 0;  // until finish: a file cut short claims no frames
    h.stepMs = s->stepMsOption > 0 ? uint8_t(s->stepMsOption) : FseqStepMsFor(info.framesPerSecond);
    h.compression = s->compression;
    h.blockCount = uint16_t(s->indexSlots);
    h.uniqueId = s->uniqueIdOption;
    if (h.uniqueId == 0)
        h.uniqueId = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count());

    if (!ResolveTarget(s)) return false;
    errno = 0;
    s->fd = OpenRegularFileForWriting(s->temporary);
    if (s->fd < 0)
        return Fail(s,
                    "cannot create " + std::string(s->temporary) + ": " + OpenFailureText(errno));
    s->temporaryExists = true;
    s->pending = new uint8_t[kFseqWriteBuffer];
    if (s->compression == kFseqZstd) {
        s->zstd = ZSTD_createCCtx();
        s->zstdOutSize = ZSTD_CStreamOutSize();
        s->zstdOut = new uint8_t[s->zstdOutSize];
        if (s->zstd == nullptr ||
            ZSTD_isError(ZSTD_CCtx_setParameter(s->zstd, ZSTD_c_compressionLevel,
                                                s->zstdLevel != 0 ? s->zstdLevel : kZstdLevel)))
            return Fail(s, "cannot start the zstd compressor");
    }
    const std::vector<uint8_t> area = HeaderArea(s, variables);
    return WriteBytes(s, area.data(), area.size());
}

bool Frame(void* state, const FrameLeds& leds) {
    FseqSinkState* s = State(state);
    if (s->fd < 0) return Fail(s, "frame given before the sequence was started");
    if (leds.frameIndex < s->framesWritten)
        return Fail(s, "frame " + std::to_string(leds.frameIndex) + " given after frame " +
                           std::to_string(s->framesWritten - 1));
    // A frame the conversion skipped stays dark, so the timing holds.
    while (s->framesWritten < leds.frameIndex)
        if (!WriteFrame(s, nullptr)) return false;
    return WriteFrame(s, &leds);
}

bool WriteChannelMap(FseqSinkState* s) {
    std::string text = "port,first_channel,led_count\n";
    uint32_t first = 1;
    for (int port = 0; port < kPortCount; ++port) {
        if (s->ledCount[port] == 0) continue;
        text += std::to_string(port + 1) + "," + std::to_string(first) + "," +
                std::to_string(s->ledCount[port]) + "\n";
        first += 3u * s->ledCount[port];
    }
    const std::string path = std::string(s->target) + ".channels.csv";
    if (!SaveFileReplacing(path.c_str(), text.data(), text.size()))
        return Fail(s, "cannot write the channel map " + path);
    return true;
}

struct CompressedSource {
    int fd;
};

bool ReadCompressed(void* context, uint64_t offset, void* buffer, size_t size) {
    const int fd = static_cast<CompressedSource*>(context)->fd;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        const ssize_t got = pread(fd, bytes, size, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        offset += uint64_t(got);
        size -= size_t(got);
    }
    return true;
}

bool WriteDecodedFrame(void* context, uint32_t, const uint8_t* data) {
    FseqSinkState* s = State(context);
    return WriteBytes(s, data, s->header.channelCount);
}

// Rewrites the finished zstd file (flushed, header not yet written) as a
// plain one in a new temporary file, which becomes `temporary` with its
// descriptor open; the zstd file is removed.
bool RewritePlain(FseqSinkState* s) {
    FileSyscalls& io = CurrentFileSyscalls();
    const int fd = s->fd;
    s->fd = -1;
    if (io.close(fd) != 0) return WriteFailed(s);
    std::memcpy(s->compressedTemporary, s->temporary, sizeof s->temporary);
    s->compressedTemporaryExists = true;
    s->temporaryExists = false;
    std::snprintf(s->temporary, sizeof s->temporary, "%s.plain.part", s->destination);

    FseqFileInfo info = {};
    info.header = s->header;
    info.blocks.assign(s->blocks, s->blocks + s->usedBlocks);
    info.indexSlots = s->indexSlots;
    errno = 0;
    CompressedSource source = {OpenRegularFile(s->compressedTemporary, O_RDONLY)};
    if (source.fd < 0)
        return Fail(s, "cannot reopen " + std::string(s->compressedTemporary) + ": " +
                           OpenFailureText(errno));
    // The variable headers and their padding move up with the index gone.
    std::vector<uint8_t> variables(s->header.channelDataOffset - s->header.variableHeaderOffset);
    bool ok =
        ReadCompressed(&source, s->header.variableHeaderOffset, variables.data(), variables.size());
    if (ok) {
        s->header.compression = kFseqNone;
        s->header.blockCount = 0;
        s->header.variableHeaderOffset = uint16_t(kFseqHeaderSize);
        s->header.channelDataOffset = uint16_t(kFseqHeaderSize + variables.size());
        s->usedBlocks = 0;
        errno = 0;
        s->fd = OpenRegularFileForWriting(s->temporary);
        if (s->fd < 0) {
            io.close(source.fd);
            return Fail(
                s, "cannot create " + std::string(s->temporary) + ": " + OpenFailureText(errno));
        }
        s->temporaryExists = true;
        const std::vector<uint8_t> area = HeaderArea(s, variables);
        std::string error;
        // A failed write stops the decoder early and leaves its reason.
        ok = WriteBytes(s, area.data(), area.size());
        if (ok && !DecodeFseqFrames(info, {&source, ReadCompressed}, WriteDecodedFrame, s, &error))
            ok = Fail(s, "cannot read back " + std::string(s->compressedTemporary) + ": " + error);
        ok = ok && s->error[0] == 0 && (s->pendingSize == 0 || FlushPending(s));
    } else {
        Fail(s, "cannot read back " + std::string(s->compressedTemporary) + ": " + SystemError());
    }
    io.close(source.fd);
    if (!ok) return false;
    io.unlink(s->compressedTemporary);
    s->compressedTemporaryExists = false;
    return true;
}

bool Finish(void* state, int32_t framesDone) {
    FseqSinkState* s = State(state);
    if (s->fd < 0) return Fail(s, "finished before the sequence was started");
    if (framesDone < s->framesWritten)
        return Fail(s, "finished after " + std::to_string(framesDone) + " frames, but " +
                           std::to_string(s->framesWritten) + " were written");
    while (s->framesWritten < framesDone)
        if (!WriteFrame(s, nullptr)) return false;
    if (s->compression == kFseqZstd && s->framesInBlock > 0 && !CloseBlock(s)) return false;

    if (s->pendingSize > 0 && !FlushPending(s)) return false;

    // Only the header and the index change; the variable headers stay.
    s->header.frameCount = uint32_t(s->framesWritten);
    if (s->compression == kFseqZstd &&
        !FseqBlocksReadWhole(s->header.channelCount, s->header.frameCount, s->blocks,
                             s->usedBlocks) &&
        !RewritePlain(s))
        return false;
    const std::vector<uint8_t> area = HeaderArea(s, {});
    FileSyscalls& io = CurrentFileSyscalls();
    errno = 0;
    if (!WriteFully(s->fd, area.data(), s->header.variableHeaderOffset, 0)) return WriteFailed(s);
    if (s->replacesFile && io.fchmod(s->fd, mode_t(s->targetMode)) != 0) return WriteFailed(s);
    if (io.fsync(s->fd) != 0) return WriteFailed(s);
    const int fd = s->fd;
    s->fd = -1;
    if (io.close(fd) != 0) return WriteFailed(s);
    if (!WriteChannelMap(s)) return false;
    errno = 0;
    if (io.rename(s->temporary, s->destination) != 0)
        return Fail(s, "cannot rename " + std::string(s->temporary) + ": " + SystemError());
    s->temporaryExists = false;
    SyncDirectoryOf(s->destination);
    Release(s);
    return true;
}

void Abort(void* state) {
    FseqSinkState* s = State(state);
    Release(s);
    if (s->temporaryExists) CurrentFileSyscalls().unlink(s->temporary);
    s->temporaryExists = false;
    if (s->compressedTemporaryExists) CurrentFileSyscalls().unlink(s->compressedTemporary);
    s->compressedTemporaryExists = false;
}

const char* Error(const void* state) {
    return static_cast<const FseqSinkState*>(state)->error;
}

}  // namespace

void InitFseqSink(FseqSinkState* state, const FseqOptions& options) {
    std::memset(state, 0, sizeof *state);
    state->fd = -1;
    state->targetTooLong = std::strlen(options.target) >= sizeof state->target;
    std::snprintf(state->target, sizeof state->target, "%s", options.target);
    state->compression = options.compression;
    state->stepMsOption = options.stepMs;
    state->uniqueIdOption = options.uniqueId;
    state->zstdLevel = options.zstdLevel;
}

OutputSink FseqOutputSink(FseqSinkState* state) {
    return {state, Begin, Frame, Finish, Abort, Error};
}
