// Reading a controller file back: the header, the keys and the scrambled
// frames, turned into plain per-frame LED bytes. Used by the
// quorvane_decode_led tool and by the tests; firmware writers can follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedControllerFile {
    uint32_t frameLength;  // bytes of LED data per frame (3 per LED)
    uint32_t frameStride;  // bytes per frame in the file
    uint8_t keyA;
    uint8_t keyB;
    // frameCount frames of frameLength bytes, unscrambled, padding dropped.
    std::vector<std::vector<uint8_t>> frames;
};

// False (with a reason in `error`) when the file cannot be read or its size
// does not fit the header.
bool DecodeControllerFile(const char* path, DecodedControllerFile* out, std::string* error);
