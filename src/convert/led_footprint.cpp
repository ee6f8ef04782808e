// LED footprints from the grid marks and the LED map, and the per-frame
// mean over them in linear light.
#include "convert/led_footprint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The transfer tables, built once: 256 decoded values and, for every linear
// value, its encoded one (16 KiB, one look-up per channel and LED).
struct SrgbTables {
    uint16_t linear[256];
    uint8_t encoded[kLinearOne + 1];
};

const SrgbTables& Tables() {
    static const SrgbTables* tables = [] {
        SrgbTables* t = new SrgbTables();
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            const double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            t->linear[v] = uint16_t(std::lround(l * kLinearOne));
        }
        for (int l = 0; l <= kLinearOne; ++l) {
            const double x = double(l) / kLinearOne;
            const double c = x <= 0.0031308 ? x * 12.92 : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
            t->encoded[l] = uint8_t(std::clamp(std::lround(c * 255.0), 0L, 255L));
        }
        return t;
    }();
    return *tables;
}

// Whether grid cell (x, y) holds an LED other than port/position.
bool OtherLedAt(int x, int y, unsigned port, unsigned position) {
    const GridCell& cell = CellAt(x, y);
    return cell.occupied == 1 && cell.port < kPortCount && cell.index < kChainCapacity &&
           (cell.port != port || cell.index != position);
}

}  // namespace

uint16_t LinearOfSrgb(uint8_t value) {
    return Tables().linear[value];
}

uint8_t SrgbOfLinear(uint16_t linear) {
    return Tables().encoded[linear];
}

int FootprintSide(int x, int y) {
    const GridCell& self = CellAt(x, y);
    const unsigned port = self.port, position = self.index;
    // Rings of growing Chebyshev radius r: no cell of ring r is nearer than
    // r, so the search ends once r^2 reaches the best squared distance.
    int best = kMaxFootprintSide * kMaxFootprintSide + 1;
    for (int r = 1; r <= kMaxFootprintSide && r * r < best; ++r) {
        for (int d = -r; d <= r; ++d) {
            const int d2 = d * d + r * r;
            if (d2 >= best) continue;
            const int cx = x + d, cy = y + d;
            if (cx >= 0 && cx < kGridSide) {
                if ((y - r >= 0 && OtherLedAt(cx, y - r, port, position)) ||
                    (y + r < kGridSide && OtherLedAt(cx, y + r, port, position)))
                    best = d2;
            }
            if (cy >= 0 && cy < kGridSide && d2 < best) {
                if ((x - r >= 0 && OtherLedAt(x - r, cy, port, position)) ||
                    (x + r < kGridSide && OtherLedAt(x + r, cy, port, position)))
                    best = d2;
            }
        }
    }
    const int side = int(std::lround(std::sqrt(double(best))));
    return std::clamp(side, 1, kMaxFootprintSide);
}

bool UpdateLedFootprints(LedFootprints* footprints, const LedMap& map) {
    if (footprints->built && footprints->marksVersion == map.marksVersion &&
        footprints->width == map.width && footprints->height == map.height)
        return false;
    const int w = std::max(map.width, 0), h = std::max(map.height, 0);
    const uint32_t step = uint32_t(w) * 3;
    for (int port = 0; port < kPortCount; ++port) {
        const unsigned end = map.positions[port];
        for (unsigned position = 0; position < end; ++position) {
            LedFootprint& led = footprints->led[port][position];
            const uint32_t pixel = map.pixel[port][position];
            if (pixel == kNoPixel) {
                led = {};
                continue;
            }
            const int row = int(pixel / step), x = int(pixel % step / 3);
            const int side = FootprintSide(x, kGridSide - 1 - row);
            const int left = std::max(x - side / 2, 0), top = std::max(row - side / 2, 0);
            const int right = std::min(x - side / 2 + side, w);
            const int bottom = std::min(row - side / 2 + side, h);
            led.offset = uint32_t(top) * step + uint32_t(left) * 3;
            led.columns = uint8_t(right - left);
            led.rows = uint8_t(bottom - top);
            led.side = uint8_t(side);
            led.scale = (uint32_t(1) << 24) / uint32_t(side * side);
        }
        footprints->positions[port] = uint16_t(end);
    }
    footprints->marksVersion = map.marksVersion;
    footprints->width = map.width;
    footprints->height = map.height;
    footprints->built = true;
    return true;
}

void AreaFrameLeds(const LedFootprints& footprints, const uint8_t* bgr, const LedParts& parts,
                   uint32_t positions, uint8_t* const values[kPortCount]) {
    const SrgbTables& tables = Tables();
    const uint16_t* linear = tables.linear;
    const size_t step = size_t(std::max(footprints.width, 0)) * 3;
    for (int port = 0; port < kPortCount; ++port) {
        uint8_t* out = values[port];
        if (out == nullptr) continue;
        const uint8_t* active = ActiveFlags(port);
        const uint32_t mapped = std::min(uint32_t(footprints.positions[port]), positions);
        const LedFootprint* led = footprints.led[port];
        for (uint32_t position = 0; position < mapped; ++position, out += 3) {
            uint32_t value = 0;
            const LedFootprint& f = led[position];
            if (f.side == 1 && f.columns != 0 && active[position] == 1) {
                // One cell: its mean is the pixel itself (every value
                // survives the transfer and back unchanged).
                const uint8_t* p = bgr + f.offset;
                value = parts[0][p[2]] | parts[1][p[1]] | parts[2][p[0]];
            } else if (f.columns != 0 && active[position] == 1) {
                // At most 64 x 64 x kLinearOne per channel: fits 32 bits.
                uint32_t b = 0, g = 0, r = 0;
                const uint8_t* line = bgr + f.offset;
                for (int y = 0; y < f.rows; ++y, line += step) {
                    const uint8_t* p = line;
                    for (int x = 0; x < f.columns; ++x, p += 3) {
                        b += linear[p[0]];
                        g += linear[p[1]];
                        r += linear[p[2]];
                    }
                }
                // The scale is 2^24 / side^2 rounded down, so the mean never
                // passes kLinearOne.
                const uint64_t half = uint64_t(1) << 23;
                const uint8_t mr = tables.encoded[(uint64_t(r) * f.scale + half) >> 24];
                const uint8_t mg = tables.encoded[(uint64_t(g) * f.scale + half) >> 24];
                const uint8_t mb = tables.encoded[(uint64_t(b) * f.scale + half) >> 24];
                value = parts[0][mr] | parts[1][mg] | parts[2][mb];
            }
            out[0] = uint8_t(value);
            out[1] = uint8_t(value >> 8);
            out[2] = uint8_t(value >> 16);
        }
        std::memset(out, 0, size_t(positions - mapped) * 3);
    }
}
