// Reading FSEQ sequences back in tests: through our reader, independently
// of it straight from the bytes (the frames of a plain file, or each zstd
// block decompressed whole with libzstd), and as the open show player reads
// them (its cut of every block included).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/fseq_format.h"

using FseqBytes = std::vector<uint8_t>;

FseqBytes ReadFileBytes(const std::string& path);

// Little-endian field of `size` bytes at `at`.
uint32_t FseqField(const FseqBytes& file, size_t at, int size);

struct FseqReadBack {
    FseqFileInfo info;
    std::vector<FseqBytes> frames;  // channels per frame bytes each
    std::string error;              // "" when the whole file was read
};
FseqReadBack ReadFseq(const FseqBytes& file);

// Without our reader: the header fields and the block index read here, the
// blocks decompressed with ZSTD_decompress. `problem` gets the first thing
// that does not fit ("" when none).
std::vector<FseqBytes> ReadFseqDirectly(const FseqBytes& file, std::string* problem);

// As the open show player reads a sequence: the compression from the whole
// of byte 20, the block count from byte 21 alone, zero-length slots
// skipped, every block cut to frames x channels bytes (a 32-bit product,
// compared as a signed int), decompressed frame by frame in one streaming
// call each, zeros for what the stream does not give. `problem` gets the
// first rule of that reader the file breaks: the header length field is
// not 32 + 8 x slots + 6 x ranges, blocks not from frame 0 or going down or
// with gaps, a block that is not one zstd frame, more than 4 bytes of
// padding after the variable headers or a last one not ending in NUL.
std::vector<FseqBytes> ReadFseqAsPlayer(const FseqBytes& file, std::string* problem);
