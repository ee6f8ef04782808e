// Black level, brightness and colour order of the stored LED values, with
// the per-channel lookup tables the per-frame path uses.
#include "video/color.h"

namespace {

ColorSettings g_settings = {int(ColorOrder::RGB), {0, 0, 0}, {0, 0, 0}};
uint8_t g_tables[3][256];

uint8_t BlackLevel(uint8_t value, uint8_t level) {
    return value < level ? 0 : uint8_t(value - level);
}

// The division comes first: its rounding is visible after the truncation
// (255 at 100 % gives 254), and stored files depend on it.
uint8_t Brightness(uint8_t value, uint8_t percent) {
    double q = (double(value) / 100.0) * double(percent);
    return uint8_t(static_cast<long long>(q) & 0xFF);
}

void RebuildTables() {
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v)
            g_tables[c][v] = Brightness(BlackLevel(uint8_t(v), g_settings.blackLevel[c]),
                                        g_settings.brightness[c]);
}

}  // namespace

const ColorSettings& CurrentColorSettings() {
    return g_settings;
}

void SetColorSettings(const ColorSettings& settings) {
    g_settings = settings;
    RebuildTables();
}

void ResetColorSettings() {
    SetColorSettings({int(ColorOrder::RGB), {0, 0, 0}, {0, 0, 0}});
}

void ApplyBlackLevel(uint8_t rgb[3]) {
    for (int c = 0; c < 3; ++c) rgb[c] = BlackLevel(rgb[c], g_settings.blackLevel[c]);
}

void ApplyBrightness(uint8_t rgb[3]) {
    for (int c = 0; c < 3; ++c) rgb[c] = Brightness(rgb[c], g_settings.brightness[c]);
}

void ReorderColor(const uint8_t rgb[3], int order, uint8_t out[3]) {
    static const uint8_t kPick[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                        {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    if (order < 0 || order > 5) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const uint8_t r = rgb[0], g = rgb[1], b = rgb[2];
    const uint8_t in[3] = {r, g, b};
    for (int k = 0; k < 3; ++k) out[k] = in[kPick[order][k]];
}

const uint8_t (*ChannelTables())[256] {
    static bool built = [] {
        RebuildTables();
        return true;
    }();
    (void)built;
    return g_tables;
}

void BuildLedParts(const ColorSettings& settings, uint32_t parts[3][256]) {
    static const uint8_t kPick[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                        {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) parts[c][v] = 0;
    if (settings.order < 0 || settings.order > 5) return;
    // Output byte k is processed channel kPick[order][k].
    for (int k = 0; k < 3; ++k) {
        const int channel = kPick[settings.order][k];
        for (int v = 0; v < 256; ++v) {
            const uint8_t processed = Brightness(
                BlackLevel(uint8_t(v), settings.blackLevel[channel]), settings.brightness[channel]);
            parts[channel][v] |= uint32_t(processed) << (8 * k);
        }
    }
}
