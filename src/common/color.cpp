// Conversions of the packed colours of the settings and port records.
#include "common/common.h"

namespace {

// The little-endian 32-bit reading of the four bytes.
uint32_t PackedColorValue(PackedColor color) {
    return uint32_t(color.red) | (uint32_t(color.green) << 8) | (uint32_t(color.blue) << 16) |
           (uint32_t(color.spare) << 24);
}

}  // namespace

void ColorToFloats(uint32_t packedValue, float rgb[3]) {
    rgb[0] = float(packedValue & 0xFF) / 255.0f;
    rgb[1] = float((packedValue >> 8) & 0xFF) / 255.0f;
    rgb[2] = float((packedValue >> 16) & 0xFF) / 255.0f;
}

void ColorToFloats(PackedColor color, float rgb[3]) {
    ColorToFloats(PackedColorValue(color), rgb);
}
