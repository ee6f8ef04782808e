// Plain per-LED colour steps over the current settings.
#include "support/reference_color.h"

#include "convert/color.h"

void ApplyBlackLevel(uint8_t rgb[3]) {
    const ColorSettings& s = CurrentColorSettings();
    for (int c = 0; c < 3; ++c) rgb[c] = rgb[c] < s.blackLevel[c] ? 0 : rgb[c] - s.blackLevel[c];
}

// The division comes first (255 at 100 % gives 254); above 100 % the
// product saturates.
void ApplyBrightness(uint8_t rgb[3]) {
    const ColorSettings& s = CurrentColorSettings();
    for (int c = 0; c < 3; ++c) {
        const long long whole = static_cast<long long>(rgb[c] / 100.0 * s.brightness[c]);
        rgb[c] = whole > 255 ? 255 : uint8_t(whole);
    }
}

void ApplyCalibration(uint8_t rgb[3]) {
    const ColorSettings& s = CurrentColorSettings();
    for (int c = 0; c < 3; ++c) rgb[c] = CalibratedValue(rgb[c], s.gamma[c], s.white[c]);
}

void ReorderColor(const uint8_t rgb[3], int order, uint8_t out[3]) {
    // Which input channel goes to output byte 0, 1, 2.
    static const int kFrom[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                    {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    if (order < 0 || order > 5) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const uint8_t in[3] = {rgb[0], rgb[1], rgb[2]};
    for (int k = 0; k < 3; ++k) out[k] = in[kFrom[order][k]];
}

void ProgramChannelTables(uint8_t tables[3][256]) {
    ColorSettings rgbOrder = CurrentColorSettings();
    rgbOrder.order = int(ColorOrder::RGB);
    static uint32_t parts[3][256];
    BuildLedParts(rgbOrder, parts);
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) tables[c][v] = uint8_t(parts[c][v] >> (8 * c));
}
