// The FSEQ v2 sequence format of the open LED show players: building and
// reading its header, compression block index and variable headers, the
// block plan of a writer, and decoding the frames back. Pure functions over
// byte buffers; the frame decoder reads the file through a byte source, so
// the same code serves a file on disk and a buffer in memory.
//
// File layout (little-endian):
//   0  "PSEQ"                      20 compression type (low nibble),
//   4  channel-data offset (u16)      block count bits 8-11 (high nibble)
//   6  minor version 0             21 block count bits 0-7
//   7  major version 2             22 sparse range count
//   8  first variable header (u16) 23 reserved
//   10 channels per frame (u32)    24 unique id (u64)
//   14 frame count (u32)
//   18 step time in ms (u8)
//   19 flags
// then the block index (8 bytes per block: first frame, compressed size),
// the sparse ranges (6 bytes each), the variable headers (u16 length with
// its 4-byte head, 2-character code, data), and from the channel-data offset
// on the frames: channels-per-frame bytes each, or compressed blocks one
// after another. A block entry of size 0 is an unused slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kFseqHeaderSize = 32;
constexpr size_t kFseqBlockEntrySize = 8;
constexpr size_t kFseqSparseRangeSize = 6;
// What a writer uses: readers of minor version 0 read the count from byte 21
// alone, so a writer stays within its 8 bits.
constexpr uint32_t kFseqWriterMaxBlocks = 255;
// Readers refuse frames wider than this (the largest layout has 1.5 M).
constexpr uint32_t kFseqMaxChannels = 16u << 20;

enum FseqCompression : uint8_t { kFseqNone = 0, kFseqZstd = 1 };

struct FseqHeader {
    uint16_t channelDataOffset;
    uint8_t minorVersion;
    uint8_t majorVersion;
    uint16_t variableHeaderOffset;
    uint32_t channelCount;
    uint32_t frameCount;
    uint8_t stepMs;
    uint8_t flags;
    uint8_t compression;  // low nibble of byte 20
    uint16_t blockCount;  // 12 bits
    uint8_t sparseRangeCount;
    uint64_t uniqueId;
};

struct FseqBlock {
    uint32_t firstFrame;
    uint32_t size;  // compressed bytes; 0 = unused slot
};

struct FseqVariable {
    char code[3];      // two characters and a NUL
    std::string data;  // as stored, up to its first NUL
};

// The 32 header bytes. Only the low 12 bits of blockCount are kept.
void BuildFseqHeader(const FseqHeader& header, uint8_t out[kFseqHeaderSize]);
// Reads the 32 header bytes without judging them.
FseqHeader ParseFseqHeader(const uint8_t in[kFseqHeaderSize]);

// Appends one variable header holding `text` and its NUL. False (nothing
// appended) when it would not fit the 16-bit length.
bool AppendFseqVariable(std::vector<uint8_t>& out, const char code[2], const char* text);

// How a writer cuts frames into compression blocks: about 64 KiB of raw
// frames per block, the first block an eighth of that (at least one frame)
// so a player has its first frames at once, and never more than `maxBlocks`
// blocks for `frameCount` frames (blocks grow instead).
struct FseqBlockPlan {
    uint32_t firstBlockFrames;
    uint32_t framesPerBlock;  // every block after the first
    uint32_t blockCount;      // blocks that frameCount frames fill
};
FseqBlockPlan PlanFseqBlocks(uint32_t channelsPerFrame, uint32_t frameCount,
                             uint32_t maxBlocks = kFseqWriterMaxBlocks);

// Whether the show players take every block whole: they read at most
// frames x channels bytes of any block (the product taken in 32 bits) and
// play zeros for what the cut leaves out.
bool FseqBlocksReadWhole(uint32_t channelsPerFrame, uint32_t frameCount, const FseqBlock* blocks,
                         size_t blockCount);

// Everything before the frames, checked against the size of the file.
struct FseqFileInfo {
    FseqHeader header;
    std::vector<FseqBlock> blocks;  // the used entries, in file order
    size_t indexSlots;              // entries in the index, used or not
    std::vector<FseqVariable> variables;
    uint64_t dataSize;  // bytes of frame data the header and index account for
};

// Parses the first bytes of a file (at least the channel-data offset of
// them; more are ignored) of `fileSize` bytes in all. False with a one-line
// reason when the file is not a sequence this reader can decode: not
// "PSEQ", not major version 2, unknown compression, an index or variable
// header that runs past the channel data, blocks out of order or beyond the
// frame count, or frames or blocks that run past the end of the file.
bool ParseFseqFile(const uint8_t* head, size_t headSize, uint64_t fileSize, FseqFileInfo* out,
                   std::string* error);

// Where the decoder reads from: `read` fills `size` bytes at `offset`, false
// when it cannot.
struct FseqByteSource {
    void* context;
    bool (*read)(void* context, uint64_t offset, void* buffer, size_t size);
};

// Decodes every frame in order and hands each to `frame` (channelCount
// bytes); `frame` returns false to stop early (not an error). False with a
// reason when a block does not decompress to exactly its frames or the
// source cannot be read. Memory stays at one frame and a small buffer.
bool DecodeFseqFrames(const FseqFileInfo& info, const FseqByteSource& source,
                      bool (*frame)(void* context, uint32_t index, const uint8_t* data),
                      void* context, std::string* error);
