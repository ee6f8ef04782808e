// Colour processing of the stored LED values: black-level subtraction,
// brightness scaling and the byte order the LED hardware expects. Only the
// values written into controller files pass through here; the colours shown
// on screen are the video's own.
#pragma once

#include <cstdint>

enum class ColorOrder : uint8_t { RGB = 0, RBG = 1, GRB = 2, GBR = 3, BRG = 4, BGR = 5 };

struct ColorSettings {
    int order;              // ColorOrder value; 6..255 give black
    uint8_t brightness[3];  // percentages for red, green, blue
    uint8_t blackLevel[3];  // subtracted from red, green, blue
};

// The settings of the running playback (filled by command 170).
const ColorSettings& CurrentColorSettings();
void SetColorSettings(const ColorSettings& settings);
void ResetColorSettings();

// rgb is red, green, blue; both change it in place using the current settings.
void ApplyBlackLevel(uint8_t rgb[3]);
void ApplyBrightness(uint8_t rgb[3]);
// The three output bytes for `order`; rgb is left unchanged.
void ReorderColor(const uint8_t rgb[3], int order, uint8_t out[3]);

// The three steps above as one lookup per channel, rebuilt whenever the
// settings change: table[c][v] is ApplyBrightness(ApplyBlackLevel(v)) of
// channel c. Gives the same bytes as the three calls, without the divisions.
const uint8_t (*ChannelTables())[256];

// The output bytes of a lit LED for `settings`, per channel value: byte k
// (bits 8k..8k+7) of parts[c][v] is channel c's processed value v when the
// order puts that channel at byte k, else 0; so one LED's three output
// bytes are parts[0][red] | parts[1][green] | parts[2][blue]. All zero for
// the orders that give black.
void BuildLedParts(const ColorSettings& settings, uint32_t parts[3][256]);
