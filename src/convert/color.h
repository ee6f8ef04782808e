// Colour processing of the stored LED values: black-level subtraction,
// brightness scaling, an optional calibration (gamma and white point) and
// the byte order the LED hardware expects. Only the values written into
// the outputs pass through here; the colours shown on screen are the
// video's own.
#pragma once

#include <cstdint>

enum class ColorOrder : uint8_t { RGB = 0, RBG = 1, GRB = 2, GBR = 3, BRG = 4, BGR = 5 };

struct ColorSettings {
    int order;              // ColorOrder value; 6..255 give black
    uint8_t brightness[3];  // percentages for red, green, blue; above 100 saturates
    uint8_t blackLevel[3];  // subtracted from red, green, blue
    // Calibration after brightness, per channel: v becomes
    // floor(255 * (v / 255)^gamma * white / 100 + 0.5), at most 255. Gamma 1
    // with white 100 leaves every value as it is (no calibration).
    double gamma[3] = {1.0, 1.0, 1.0};        // > 0
    double white[3] = {100.0, 100.0, 100.0};  // percent, >= 0
};

// True when the settings change no value in the calibration step.
bool CalibrationIsIdentity(const ColorSettings& settings);
// One calibrated value: `value` through gamma and white point of one channel.
uint8_t CalibratedValue(uint8_t value, double gamma, double white);

// The texts of the calibration options: the gamma as "G" (every channel)
// or "R,G,B", each a decimal number above 0 and at most 10; the white point
// as "R,G,B", each a decimal percentage 0..100 ("95.5"). Plain digits with
// at most one point, no sign or exponent. False (and `out` unchanged) when
// the text is malformed or out of range.
bool ParseGammaText(const char* text, double out[3]);
bool ParseWhiteText(const char* text, double out[3]);

// The settings of the running playback (filled by command 170).
const ColorSettings& CurrentColorSettings();
void SetColorSettings(const ColorSettings& settings);
void ResetColorSettings();

// The output bytes of a lit LED for `settings`, per channel value: byte k
// (bits 8k..8k+7) of parts[c][v] is channel c's processed value v when the
// order puts that channel at byte k, else 0; so one LED's three output
// bytes are parts[0][red] | parts[1][green] | parts[2][blue]. All zero for
// the orders that give black.
void BuildLedParts(const ColorSettings& settings, uint32_t parts[3][256]);
