// The controller file format's header, keys and scrambling.
#include "convert/controller_format.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/common.h"
#include "convert/scramble_table.h"

uint32_t FrameStrideFor(uint32_t length) {
    if (length == 0) return 512;
    if (length > kMaxFrameLength) return kMaxFrameStride;
    return (length + 511) / 512 * 512;
}

void DrawControllerKeys(uint8_t* keyA, uint8_t* keyB) {
    std::srand(uint32_t(std::time(nullptr)) >> 1);
    *keyA = uint8_t(std::rand() % 255 + 1);
    *keyB = uint8_t(std::rand() % 255 + 1);
}

void WriteControllerHeader(uint8_t* header, uint32_t frameLength, uint8_t keyA, uint8_t keyB) {
    std::memset(header, 0, kControllerHeaderSize);
    WriteLE16(header, uint16_t(frameLength));
    header[254] = keyA;
    header[255] = keyB;
}

void ScrambleBytes(uint8_t* data, size_t length, uint8_t keyA, uint8_t keyB) {
    const size_t start = uint8_t(keyA + 4 * keyB);
    if (length > size_t(kScrambleTableSize) - start) length = size_t(kScrambleTableSize) - start;
    const uint8_t keys = keyA ^ keyB;
    for (size_t k = 0; k < length; ++k) data[k] ^= ScrambleTable[start + k] ^ keys;
}

void XorWithStream(uint8_t* target, const uint8_t* data, const uint8_t* stream, size_t length) {
    size_t k = 0;
    for (; k + 8 <= length; k += 8) {
        uint64_t word, key;
        std::memcpy(&word, data + k, 8);
        std::memcpy(&key, stream + k, 8);
        word ^= key;
        std::memcpy(target + k, &word, 8);
    }
    for (; k < length; ++k) target[k] = data[k] ^ stream[k];
}
