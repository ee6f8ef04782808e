// Conversions of the packed colours of the settings and port records.
#include "common/common.h"

uint32_t PackedColorValue(PackedColor colour) {
    return uint32_t(colour.red) | (uint32_t(colour.green) << 8) | (uint32_t(colour.blue) << 16) |
           (uint32_t(colour.spare) << 24);
}

void ColorToFloats(uint32_t packedValue, float rgb[3]) {
    rgb[0] = float(packedValue & 0xFF) / 255.0f;
    rgb[1] = float((packedValue >> 8) & 0xFF) / 255.0f;
    rgb[2] = float((packedValue >> 16) & 0xFF) / 255.0f;
}

void ColorToFloats(PackedColor colour, float rgb[3]) {
    ColorToFloats(PackedColorValue(colour), rgb);
}
