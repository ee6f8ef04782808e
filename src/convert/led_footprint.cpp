// LED footprints from the grid marks and the LED map, and the per-frame
// mean over them in linear light.
#include "convert/led_footprint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

// The transfer tables, built once: 256 decoded values, for every linear
// value its encoded one (16 KiB, one look-up per channel and LED), and the
// decoded sum of every pair of values, a | b << 8 (128 KiB: one look-up
// per channel for two neighbouring pixels; pictures keep neighbours alike,
// so the pairs a frame reads stay in a small part of it).
struct SrgbTables {
    uint16_t linear[256];
    uint8_t encoded[kLinearOne + 1];
    uint16_t pair[256 * 256];
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
        for (int b = 0; b < 256; ++b)
            for (int a = 0; a < 256; ++a) t->pair[a | b << 8] = t->linear[a] + t->linear[b];
        return t;
    }();
    return *tables;
}

// 2^24 / side^2 rounded down: a sum of side^2 linear values times it, plus
// 2^23, shifted right by 24 is their mean rounded, never above kLinearOne.
struct MeanScales {
    uint32_t of[kMaxFootprintSide + 1];
    MeanScales() : of() {
        for (int side = 1; side <= kMaxFootprintSide; ++side)
            of[side] = (uint32_t(1) << 24) / uint32_t(side * side);
    }
};
const MeanScales kScales;

// The pixel words below are read as little-endian numbers.
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little-endian byte order");
#endif

uint64_t Load64(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Whether grid cell (x, y) holds an LED other than port/position.
bool OtherLedAt(int x, int y, unsigned port, unsigned position) {
    const GridCell& cell = CellAt(x, y);
    return cell.occupied == 1 && cell.port < kPortCount && cell.index < kChainCapacity &&
           (cell.port != port || cell.index != position);
}

}  // namespace

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
    const uint64_t frameBytes = uint64_t(step) * uint32_t(h);
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
            led.kind = FootprintKind::Cells;
            if (side == 1) {
                led.kind = FootprintKind::Pixel;
            } else if (side == 2 && led.columns == 2 && led.rows == 2 &&
                       led.offset + uint64_t(step) + 8 <= frameBytes) {
                led.kind = FootprintKind::Square2;
            }
        }
        // Runs of eight squares side by side, taken from the front.
        LedFootprint* led = footprints->led[port];
        footprints->runs[port] = 0;
        for (unsigned position = 0; position + 8 <= end;) {
            unsigned k = 0;
            while (k < 8 && led[position + k].kind == FootprintKind::Square2 &&
                   led[position + k].offset == led[position].offset + 6 * k)
                ++k;
            if (k == 8) {
                led[position].kind = FootprintKind::SquareRow8;
                FootprintRun* runs = footprints->run[port];
                uint16_t& count = footprints->runs[port];
                FootprintRun* last = count > 0 ? &runs[count - 1] : nullptr;
                if (last != nullptr && last->start + 8u * last->groups == position &&
                    last->offset + 48u * last->groups == led[position].offset)
                    ++last->groups;
                else
                    runs[count++] = {led[position].offset, uint16_t(position), 1};
            }
            position += k == 8 ? 8 : std::max(k, 1u);
        }
        footprints->positions[port] = uint16_t(end);
    }
    footprints->marksVersion = map.marksVersion;
    footprints->width = map.width;
    footprints->height = map.height;
    footprints->built = true;
    return true;
}

namespace {

// The linear sums (blue, green, red) of the cells of `f` inside the frame.
__attribute__((noinline)) void SumCells(const SrgbTables& tables, const LedFootprint& f,
                                        const uint8_t* bgr, size_t step, uint32_t sum[3]) {
    // At most 64 x 64 x kLinearOne per channel: fits 32 bits.
    uint32_t b = 0, g = 0, r = 0;
    const uint8_t* line = bgr + f.offset;
    for (int y = 0; y < f.rows; ++y, line += step) {
        const uint8_t* p = line;
        for (int x = 0; x < f.columns; ++x, p += 3) {
            b += tables.linear[p[0]];
            g += tables.linear[p[1]];
            r += tables.linear[p[2]];
        }
    }
    sum[0] = b;
    sum[1] = g;
    sum[2] = r;
}

// parts[] after the encoding, by linear mean: [c][mean] is
// parts[2 - c][encoded[mean]] (blue, green, red as the means come). Kept
// per thread for the parts it was made from, which change only with the
// colour settings.
struct MeanParts {
    uint32_t of[3][kLinearOne + 1];
    uint32_t from[3][256];
};

const MeanParts& MeanPartsOf(const LedParts& parts) {
    thread_local std::unique_ptr<MeanParts> kept;
    if (kept && std::memcmp(kept->from, parts, sizeof kept->from) == 0) return *kept;
    if (!kept) kept.reset(new MeanParts());
    std::memcpy(kept->from, parts, sizeof kept->from);
    const uint8_t* encoded = Tables().encoded;
    for (int c = 0; c < 3; ++c)
        for (int l = 0; l <= kLinearOne; ++l) kept->of[c][l] = parts[2 - c][encoded[l]];
    return *kept;
}

#if defined(__x86_64__) && defined(__GNUC__)
struct WideConstants {
    alignas(64) uint8_t low[256];  // the transfer table's low bytes
    alignas(64) uint8_t high[256];
    // The word of each square's left and right pixel among the unpacked
    // words: byte j of a row lands in word 8 * (j / 16) + j % 16 of the
    // low unpacking, or 32 + 8 * (j / 16) + j % 16 - 8 of the high one.
    alignas(64) int16_t first[32];
    alignas(64) int16_t second[32];
    // 16 pixels' bytes as planes: blue, green, red, then 16 zero bytes
    // (taken from beyond the 48 read).
    alignas(64) uint8_t planes[64];
};

const WideConstants& Wide() {
    static const WideConstants* constants = [] {
        WideConstants* k = new WideConstants();
        for (int v = 0; v < 256; ++v) {
            k->low[v] = uint8_t(Tables().linear[v]);
            k->high[v] = uint8_t(Tables().linear[v] >> 8);
        }
        const auto word = [](int j) {
            return int16_t(j % 16 < 8 ? 8 * (j / 16) + j % 16 : 32 + 8 * (j / 16) + j % 16 - 8);
        };
        for (int square = 0; square < 8; ++square)
            for (int c = 0; c < 3; ++c) {
                k->first[3 * square + c] = word(6 * square + c);
                k->second[3 * square + c] = word(6 * square + 3 + c);
            }
        for (int j = 0; j < 64; ++j) k->planes[j] = uint8_t(j < 48 ? 3 * (j % 16) + j / 16 : 63);
        return k;
    }();
    return *constants;
}

#define QV_WIDE __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

// The bytes of `v` decoded, as words in the unpacking's order.
QV_WIDE inline void DecodeBytes(const WideConstants& k, __m512i v, __m512i* lowWords,
                                __m512i* highWords) {
    const __m512i* low = reinterpret_cast<const __m512i*>(k.low);
    const __m512i* high = reinterpret_cast<const __m512i*>(k.high);
    const __mmask64 upper = _mm512_movepi8_mask(v);
    const __m512i l = _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(low[0], v, low[1]),
                                             _mm512_permutex2var_epi8(low[2], v, low[3]));
    const __m512i h = _mm512_mask_blend_epi8(upper, _mm512_permutex2var_epi8(high[0], v, high[1]),
                                             _mm512_permutex2var_epi8(high[2], v, high[3]));
    *lowWords = _mm512_unpacklo_epi8(l, h);
    *highWords = _mm512_unpackhi_epi8(l, h);
}

// One row's 48 bytes decoded, as words in the unpacking's order.
QV_WIDE inline void DecodeRow(const WideConstants& k, const uint8_t* row, __m512i* lowWords,
                              __m512i* highWords) {
    DecodeBytes(k, _mm512_maskz_loadu_epi8((uint64_t(1) << 48) - 1, row), lowWords, highWords);
}

// SumCells 16 pixels of a row at a time: each piece's bytes put in planes
// (a short piece's missing bytes read as 0, whose linear value is 0) and
// decoded, so that every 128-bit lane of the words holds one channel.
QV_WIDE void SumCellsWide(const LedFootprint& f, const uint8_t* bgr, size_t step, uint32_t sum[3]) {
    const WideConstants& k = Wide();
    const __m512i planes = _mm512_load_si512(k.planes), ones = _mm512_set1_epi16(1);
    __m512i total = _mm512_setzero_si512();
    const uint8_t* line = bgr + f.offset;
    for (int y = 0; y < f.rows; ++y, line += step) {
        for (int x = 0; x < f.columns; x += 16) {
            const int pixels = std::min(16, f.columns - x);
            const __m512i v =
                _mm512_maskz_loadu_epi8((uint64_t(1) << (3 * pixels)) - 1, line + 3 * x);
            __m512i low, high;
            DecodeBytes(k, _mm512_maskz_permutexvar_epi8(~__mmask64(0), planes, v), &low, &high);
            // Two values of at most kLinearOne: a positive signed 16-bit
            // number; the pairs of words summed into 32 bits.
            total = _mm512_add_epi32(total, _mm512_madd_epi16(_mm512_add_epi16(low, high), ones));
        }
    }
    alignas(64) uint32_t lanes[16];
    _mm512_store_si512(lanes, total);
    for (int c = 0; c < 3; ++c)
        sum[c] = lanes[4 * c] + lanes[4 * c + 1] + lanes[4 * c + 2] + lanes[4 * c + 3];
}

// Eight 2 x 2 squares side by side from `p` onto 24 output bytes, as
// Square2 does one: the 16 x 2 pixels decoded 64 bytes at a time with byte
// permutes over the transfer table, summed down, then across, each sum of
// four plus 2 shifted right by 2, then each square's value made of the
// parts of its three means; squares whose flag is not 1 left dark.
constexpr int kAhead = 384;
QV_WIDE inline void SquareRowWide(const WideConstants& k, const uint8_t* p, size_t step,
                                  const MeanParts& parts, const uint8_t* active, uint8_t* out) {
    // Both rows are read further on soon: ask for them ahead (a prefetch
    // past the frame's end is harmless).
    _mm_prefetch(reinterpret_cast<const char*>(p) + kAhead, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(p + step) + kAhead, _MM_HINT_T0);
    __m512i topLow, topHigh, bottomLow, bottomHigh;
    DecodeRow(k, p, &topLow, &topHigh);
    DecodeRow(k, p + step, &bottomLow, &bottomHigh);
    const __m512i low = _mm512_add_epi16(topLow, bottomLow);
    const __m512i high = _mm512_add_epi16(topHigh, bottomHigh);
    const __m512i first = _mm512_load_si512(k.first), second = _mm512_load_si512(k.second);
    // Four values of at most kLinearOne, plus 2: within 16 bits.
    const __m512i sum = _mm512_add_epi16(_mm512_permutex2var_epi16(low, first, high),
                                         _mm512_permutex2var_epi16(low, second, high));
    const __m512i means = _mm512_srli_epi16(_mm512_add_epi16(sum, _mm512_set1_epi16(2)), 2);
    alignas(64) uint16_t mean[32];
    _mm512_store_si512(mean, means);
    // One four-byte store per square, its fourth byte the next one's first.
    for (int square = 0; square < 8; ++square, out += 3) {
        const uint32_t value = active[square] != 1 ? 0
                                                   : parts.of[0][mean[3 * square]] |
                                                         parts.of[1][mean[3 * square + 1]] |
                                                         parts.of[2][mean[3 * square + 2]];
        if (square < 7) {
            std::memcpy(out, &value, 4);
        } else {
            out[0] = uint8_t(value);
            out[1] = uint8_t(value >> 8);
            out[2] = uint8_t(value >> 16);
        }
    }
}

// `groups` times eight squares side by side from `p`.
QV_WIDE void SquareRowsWide(const uint8_t* p, size_t step, const MeanParts& parts,
                            const uint8_t* active, uint8_t* out, int groups) {
    const WideConstants& k = Wide();
    for (int group = 0; group < groups; ++group, p += 48, active += 8, out += 24)
        SquareRowWide(k, p, step, parts, active, out);
}

bool g_wideAllowed = true;

bool WideInstructions() {
    static const bool wide = __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vl") &&
                             __builtin_cpu_supports("avx512vbmi");
    return wide && g_wideAllowed;
}
#else
bool g_wideAllowed = true;

void SquareRowsWide(const uint8_t*, size_t, const MeanParts&, const uint8_t*, uint8_t*, int) {}
void SumCellsWide(const LedFootprint&, const uint8_t*, size_t, uint32_t*) {}
bool WideInstructions() {
    return false;
}
#endif

// One LED's three output bytes, from its footprint `f` alone.
// Footprints at least this wide are summed 16 pixels at a time where the
// processor can (narrower ones cost more that way than cell by cell).
constexpr int kWideColumns = 8;
inline void AreaLed(const SrgbTables& tables, bool wide, const LedFootprint& f, uint8_t active,
                    const uint8_t* bgr, size_t step, const LedParts& parts,
                    const MeanParts& meanParts, uint8_t* out) {
    uint32_t value = 0;
    const uint8_t* p = bgr + f.offset;
    if (f.kind == FootprintKind::Pixel) {
        // One cell: its mean is the pixel itself (every value survives the
        // transfer and back unchanged).
        if (active == 1) value = parts[0][p[2]] | parts[1][p[1]] | parts[2][p[0]];
    } else if (active != 1 || f.kind == FootprintKind::Dark) {
        // Left dark.
    } else if (f.kind == FootprintKind::Square2 || f.kind == FootprintKind::SquareRow8) {
        // Each row's eight bytes hold both pixels; the mean of four is the
        // sum plus 2, shifted right by 2 (the general scale for a side of 2
        // is exactly 2^22).
        const uint64_t top = Load64(p), bottom = Load64(p + step);
        const auto sum = [&](uint64_t row, int c) {
            return uint32_t(tables.pair[(row >> (8 * c) & 0xFF) | (row >> (8 * c + 16) & 0xFF00)]);
        };
        value = meanParts.of[0][(sum(top, 0) + sum(bottom, 0) + 2) >> 2] |
                meanParts.of[1][(sum(top, 1) + sum(bottom, 1) + 2) >> 2] |
                meanParts.of[2][(sum(top, 2) + sum(bottom, 2) + 2) >> 2];
    } else {
        uint32_t sum[3];
        if (wide && f.columns >= kWideColumns)
            SumCellsWide(f, bgr, step, sum);
        else
            SumCells(tables, f, bgr, step, sum);
        const uint64_t scale = kScales.of[f.side], half = uint64_t(1) << 23;
        value = meanParts.of[0][(sum[0] * scale + half) >> 24] |
                meanParts.of[1][(sum[1] * scale + half) >> 24] |
                meanParts.of[2][(sum[2] * scale + half) >> 24];
    }
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
    out[2] = uint8_t(value >> 16);
}

}  // namespace

void AllowWideAreaPass(bool allow) {
    g_wideAllowed = allow;
}

void AreaFrameLeds(const LedFootprints& footprints, const uint8_t* bgr, const LedParts& parts,
                   uint32_t positions, uint8_t* const values[kPortCount]) {
    const SrgbTables& tables = Tables();
    const size_t step = size_t(std::max(footprints.width, 0)) * 3;
    const bool wide = WideInstructions();
    const MeanParts& meanParts = MeanPartsOf(parts);
    for (int port = 0; port < kPortCount; ++port) {
        uint8_t* out = values[port];
        if (out == nullptr) continue;
        const uint8_t* active = ActiveFlags(port);
        const uint32_t mapped = std::min(uint32_t(footprints.positions[port]), positions);
        const LedFootprint* led = footprints.led[port];
        const FootprintRun* run = footprints.run[port];
        const FootprintRun* runEnd = wide ? run + footprints.runs[port] : run;
        uint32_t position = 0;
        for (;; ++run) {
            // The LEDs up to the next run (or the end) one at a time, then
            // the run.
            const int groups = run == runEnd || run->start >= mapped
                                   ? 0
                                   : std::min<int>(run->groups, (mapped - run->start) / 8);
            const uint32_t until = groups > 0 ? run->start : mapped;
            for (; position < until; ++position, out += 3)
                AreaLed(tables, wide, led[position], active[position], bgr, step, parts, meanParts,
                        out);
            if (groups == 0) break;
            SquareRowsWide(bgr + run->offset, step, meanParts, active + position, out, groups);
            position += 8 * groups;
            out += 24 * groups;
        }
        std::memset(out, 0, size_t(positions - mapped) * 3);
    }
}
