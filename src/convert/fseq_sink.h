// The FSEQ output of a conversion: one v2 sequence file for all ports, for
// the open show players, with a channel map beside it.
//
// Channels: the ports with LEDs in ascending order, each port's LEDs in
// chain order, three channels per LED in the conversion's colour order. The
// file is written to "<target>.part" as the frames arrive (plain, or zstd
// blocks streamed as they fill, so memory stays at the compressor's and a
// write buffer) and, when the conversion finishes, gets the frames actually
// done and the block index in its header, is synced and renamed over the
// target (a symbolic link is written through; an earlier file's permission
// bits are kept). Players cut every compressed block they read to the raw
// size of the whole sequence (frames x channels, as a 32-bit product) and
// play zeros beyond; a sequence with a block larger than that (a short show,
// or frames that do not compress) is rewritten plain before the rename, so
// every file reads back exactly. A stopped conversion removes the temporary file and
// leaves an earlier target alone; a target that is not a regular file, or
// may not be written, is refused before the first frame.
//
// The channel map "<target>.channels.csv" has a line "port,first_channel,
// led_count" and one line per used port: its number (1..256), its first
// channel (1-based) and its LED count.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/packet.h"
#include "convert/fseq_format.h"
#include "convert/sink.h"

struct ZSTD_CCtx_s;

struct FseqOptions {
    const char* target;   // the .fseq file
    uint8_t compression;  // FseqCompression
    int stepMs;           // 1..255; 0 = from the video's frame rate
    uint64_t uniqueId;    // 0 = the creation time in microseconds
    int zstdLevel = 0;    // 0 = the default, -7 (fast; a player decodes any level)
};

constexpr size_t kFseqWriteBuffer = 256 * 1024;

struct FseqSinkState {
    char target[kPathBufferSize];       // as given: messages, the channel map
    char destination[kPathBufferSize];  // the file replaced (links followed)
    char temporary[kPathBufferSize + 16];
    bool temporaryExists;
    // The zstd file while it is rewritten plain into `temporary`.
    char compressedTemporary[kPathBufferSize + 16];
    bool compressedTemporaryExists;
    uint8_t compression;
    int stepMsOption;
    uint64_t uniqueIdOption;
    int zstdLevel;

    int fd;            // the temporary file while open, else -1
    uint8_t* pending;  // bytes not yet written, up to kFseqWriteBuffer
    size_t pendingSize;
    bool replacesFile;  // the target exists: its permission bits are kept
    uint32_t targetMode;
    ZSTD_CCtx_s* zstd;
    uint8_t* zstdOut;  // the compressor's output buffer, zstdOutSize bytes
    size_t zstdOutSize;

    uint16_t ledCount[kPortCount];
    FseqHeader header;
    FseqBlockPlan plan;
    uint32_t indexSlots;
    uint32_t usedBlocks;
    FseqBlock blocks[kFseqWriterMaxBlocks];
    uint32_t framesInBlock;
    uint64_t blockBytes;  // compressed bytes of the open block so far
    int32_t framesWritten;
    bool targetTooLong;
    char error[kPathBufferSize + 256];
};

// Starts a fresh state for `options` (target copied); nothing is opened yet.
void InitFseqSink(FseqSinkState* state, const FseqOptions& options);
OutputSink FseqOutputSink(FseqSinkState* state);
