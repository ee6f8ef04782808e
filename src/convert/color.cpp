// Black level, brightness, calibration and colour order of the stored LED
// values, as the per-channel lookups the per-frame path uses.
#include "convert/color.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

ColorSettings g_settings = {int(ColorOrder::RGB), {0, 0, 0}, {0, 0, 0}};

// Which processed channel goes to output byte 0, 1, 2 for each order.
constexpr uint8_t kPick[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

uint8_t BlackLevel(uint8_t value, uint8_t level) {
    return value < level ? 0 : uint8_t(value - level);
}

// The division comes first: its rounding is visible after the truncation
// (255 at 100 % gives 254), and stored files depend on it. Above 100 % the
// product saturates at 255 rather than wrapping into a dark value.
uint8_t Brightness(uint8_t value, uint8_t percent) {
    double q = (double(value) / 100.0) * double(percent);
    const long long whole = static_cast<long long>(q);
    return whole > 255 ? 255 : uint8_t(whole);
}

bool ChannelIsIdentity(double gamma, double white) {
    return gamma == 1.0 && white == 100.0;
}

// Value v of channel c through black level, brightness and calibration.
uint8_t ProcessedValue(const ColorSettings& settings, int c, uint8_t v, bool identity) {
    const uint8_t value = Brightness(BlackLevel(v, settings.blackLevel[c]), settings.brightness[c]);
    return identity ? value : CalibratedValue(value, settings.gamma[c], settings.white[c]);
}

// Digits with at most one point, at most twelve characters, at most
// `maximum`.
bool ParseDecimal(const std::string& text, double maximum, double* out) {
    if (text.empty() || text.size() > 12 || text == ".") return false;
    int points = 0;
    for (const char c : text) {
        if (c == '.') {
            if (++points > 1) return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    *out = std::strtod(text.c_str(), nullptr);
    return *out <= maximum;
}

// Three comma-separated decimals, or one standing for all three when
// `single` allows it.
bool ParseDecimals(const char* text, double maximum, bool single, double out[3]) {
    if (text == nullptr) return false;
    const std::string all = text;
    std::string parts[3];
    int n = 0;
    for (size_t start = 0;;) {
        if (n == 3) return false;
        const size_t comma = all.find(',', start);
        parts[n++] = all.substr(start, comma == std::string::npos ? comma : comma - start);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (n != 3 && !(single && n == 1)) return false;
    double values[3];
    for (int k = 0; k < 3; ++k)
        if (!ParseDecimal(parts[n == 1 ? 0 : k], maximum, &values[k])) return false;
    for (int k = 0; k < 3; ++k) out[k] = values[k];
    return true;
}

}  // namespace

const ColorSettings& CurrentColorSettings() {
    return g_settings;
}

void SetColorSettings(const ColorSettings& settings) {
    g_settings = settings;
}

void ResetColorSettings() {
    SetColorSettings({int(ColorOrder::RGB), {0, 0, 0}, {0, 0, 0}});
}

bool CalibrationIsIdentity(const ColorSettings& settings) {
    for (int c = 0; c < 3; ++c)
        if (!ChannelIsIdentity(settings.gamma[c], settings.white[c])) return false;
    return true;
}

uint8_t CalibratedValue(uint8_t value, double gamma, double white) {
    if (ChannelIsIdentity(gamma, white)) return value;
    const double out = 255.0 * std::pow(double(value) / 255.0, gamma) * white / 100.0;
    if (!(out > 0.0)) return 0;  // also NaN from a gamma the caller did not check
    const double rounded = std::floor(out + 0.5);
    return rounded >= 255.0 ? 255 : uint8_t(rounded);
}

bool ParseGammaText(const char* text, double out[3]) {
    double values[3];
    if (!ParseDecimals(text, 10.0, true, values)) return false;
    for (int k = 0; k < 3; ++k)
        if (!(values[k] > 0.0)) return false;
    for (int k = 0; k < 3; ++k) out[k] = values[k];
    return true;
}

bool ParseWhiteText(const char* text, double out[3]) {
    return ParseDecimals(text, 100.0, false, out);
}

void BuildLedParts(const ColorSettings& settings, uint32_t parts[3][256]) {
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) parts[c][v] = 0;
    if (settings.order < 0 || settings.order > 5) return;
    const bool identity = CalibrationIsIdentity(settings);
    // Output byte k is processed channel kPick[order][k].
    for (int k = 0; k < 3; ++k) {
        const int channel = kPick[settings.order][k];
        for (int v = 0; v < 256; ++v)
            parts[channel][v] |= uint32_t(ProcessedValue(settings, channel, uint8_t(v), identity))
                                 << (8 * k);
    }
}
