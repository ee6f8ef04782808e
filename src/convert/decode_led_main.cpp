// quorvane_decode_led: prints the plain LED values of a controller file.
//
//   quorvane_decode_led FILE            text on standard output
//   quorvane_decode_led FILE --binary OUT
//
// Text: a first line "leds L frames N keyA A keyB B", then one line per
// frame with one 6-digit hex group per LED: its three bytes as stored, in
// the colour order chosen for the conversion ("ff8000" is bytes ff, 80, 00).
// Binary: the frames one after another, frameLength bytes each (3 per LED),
// without header or padding. Exit code 0 on success, 1 on a bad file, 2 on
// bad arguments.
#include <cstdio>
#include <cstring>
#include <string>

#include "convert/controller_decode.h"

int main(int argc, char** argv) {
    const bool binary = argc == 4 && std::strcmp(argv[2], "--binary") == 0;
    if (argc != 2 && !binary) {
        std::fprintf(stderr, "usage: %s FILE [--binary OUT]\n", argv[0]);
        return 2;
    }
    DecodedControllerFile decoded;
    std::string error;
    if (!DecodeControllerFile(argv[1], &decoded, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (binary) {
        FILE* out = std::fopen(argv[3], "wb");
        if (out == nullptr) {
            std::fprintf(stderr, "%s: cannot create the file\n", argv[3]);
            return 1;
        }
        bool ok = true;
        for (const auto& frame : decoded.frames)
            ok = ok && std::fwrite(frame.data(), 1, frame.size(), out) == frame.size();
        ok = std::fclose(out) == 0 && ok;
        if (!ok) std::fprintf(stderr, "%s: write failed\n", argv[3]);
        return ok ? 0 : 1;
    }
    std::printf("leds %u frames %zu keyA %u keyB %u\n", decoded.frameLength / 3,
                decoded.frames.size(), decoded.keyA, decoded.keyB);
    for (const auto& frame : decoded.frames) {
        for (size_t i = 0; i + 2 < frame.size(); i += 3)
            std::printf(i == 0 ? "%02x%02x%02x" : " %02x%02x%02x", frame[i], frame[i + 1],
                        frame[i + 2]);
        std::printf("\n");
    }
    return 0;
}
