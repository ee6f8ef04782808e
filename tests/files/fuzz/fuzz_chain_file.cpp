// Fuzzes the chain file parser: whatever the bytes, the result stays within
// a chain and the grid.
#include <cstdlib>

#include "files/file_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ChainFileData chain;
    if (!ParseChainFile(data, size, chain)) return 0;
    if (chain.count > kChainCapacity || chain.port >= kPortCount) std::abort();
    for (int i = 0; i < chain.count; ++i)
        if (chain.points[i].x > kGridMax || chain.points[i].y > kGridMax) std::abort();
    // What the parser kept is written back as a file it reads the same.
    std::vector<uint8_t> again = BuildChainFile(chain.color, chain.port, chain.points, chain.count);
    static ChainFileData reread;
    if (!ParseChainFile(again.data(), again.size(), reread) || reread.count != chain.count)
        std::abort();
    return 0;
}
