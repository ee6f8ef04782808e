// Reading FSEQ sequences back in tests: through our reader, and
// independently of it, straight from the bytes (the frames of a plain file,
// or each zstd block decompressed whole with libzstd).
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
