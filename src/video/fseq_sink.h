// The FSEQ output of a conversion: one v2 sequence file for all ports, for
// the open show players, with a channel map beside it.
//
// Channels: the ports with LEDs in ascending order, each port's LEDs in
// chain order, three channels per LED in the conversion's colour order. The
// file is written to "<target>.part" as the frames arrive (plain, or zstd
// blocks streamed as they fill, so memory stays at one block's compressor)
// and renamed over the target when the conversion finishes; the header gets
// the frames actually done and the block index then. A stopped conversion
// removes the temporary file and leaves an earlier target alone.
//
// The channel map "<target>.channels.csv" has a line "port,first_channel,
// led_count" and one line per used port: its number (1..256), its first
// channel (1-based) and its LED count.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/packet.h"
#include "video/fseq_format.h"
#include "video/sink.h"

struct ZSTD_CCtx_s;

struct FseqOptions {
    const char* target;   // the .fseq file
    uint8_t compression;  // FseqCompression
    int stepMs;           // 1..255; 0 = from the video's frame rate
    uint64_t uniqueId;    // 0 = the creation time in microseconds
    int zstdLevel = 0;    // 0 = the default, -3 (fast; a player decodes any level)
};

struct FseqSinkState {
    char target[kPathBufferSize];
    char temporary[kPathBufferSize + 8];
    uint8_t compression;
    int stepMsOption;
    uint64_t uniqueIdOption;
    int zstdLevel;

    FILE* file;
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

// The step time for a frame rate: 1000 / fps rounded, within 1..255; 50
// (20 frames per second) when the video gives no rate.
uint8_t FseqStepMsFor(double framesPerSecond);
