// The area mean of every LED summed cell by cell in linear light.
#include "support/reference_area.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The sRGB transfer from its formulas, to linear light 0..kLinearOne and
// back to 8 bits, rounded.
uint16_t Linear(uint8_t value) {
    const double c = value / 255.0;
    const double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    return uint16_t(std::lround(l * kLinearOne));
}

uint8_t Encoded(uint16_t linear) {
    const double x = double(linear) / kLinearOne;
    const double c = x <= 0.0031308 ? x * 12.92 : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
    return uint8_t(std::clamp(std::lround(c * 255.0), 0L, 255L));
}

}  // namespace

void ReferenceAreaFrameLeds(const LedFootprints& footprints, const uint8_t* bgr,
                            const LedParts& parts, uint32_t positions,
                            uint8_t* const values[kPortCount]) {
    uint16_t linear[256];
    for (int v = 0; v < 256; ++v) linear[v] = Linear(uint8_t(v));
    const size_t step = size_t(std::max(footprints.width, 0)) * 3;
    for (int port = 0; port < kPortCount; ++port) {
        uint8_t* out = values[port];
        if (out == nullptr) continue;
        const uint8_t* active = ActiveFlags(port);
        const uint32_t mapped = std::min(uint32_t(footprints.positions[port]), positions);
        for (uint32_t position = 0; position < mapped; ++position, out += 3) {
            const LedFootprint& f = footprints.led[port][position];
            uint32_t value = 0;
            if (f.columns != 0 && active[position] == 1) {
                uint32_t sum[3] = {0, 0, 0};  // blue, green, red
                for (int y = 0; y < f.rows; ++y)
                    for (int x = 0; x < f.columns; ++x)
                        for (int c = 0; c < 3; ++c)
                            sum[c] += linear[bgr[f.offset + y * step + x * 3 + c]];
                // The mean rounded to the nearest linear step, by the same
                // fixed-point scale as the program: 2^24 / side^2 rounded
                // down, so that a footprint all white stays at kLinearOne.
                const uint64_t scale = (uint64_t(1) << 24) / (uint32_t(f.side) * f.side);
                uint8_t mean[3];
                for (int c = 0; c < 3; ++c)
                    mean[c] = Encoded(uint16_t((sum[c] * scale + (uint64_t(1) << 23)) >> 24));
                value = parts[0][mean[2]] | parts[1][mean[1]] | parts[2][mean[0]];
            }
            out[0] = uint8_t(value);
            out[1] = uint8_t(value >> 8);
            out[2] = uint8_t(value >> 16);
        }
        std::memset(out, 0, size_t(positions - mapped) * 3);
    }
}
