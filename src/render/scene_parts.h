// The single steps of the scene drawing, for the benchmark and the tests:
// one port's LEDs or chain lines, and the strings the text steps
// drew (recorded only while recording is on).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Both expect the drawing state of a redraw: the window's orthographic
// projection and an identity modelview matrix.
// `videoColors`: the LEDs take their cells' colours (a playback shows).
void DrawPortLeds(int port, int cellSize, bool videoColors);
void DrawChainLines(int port, int cellSize);

// The outer radius of an LED disk: 1 for cells up to 5 pixels, half the
// cell less one above, times LedSizeFactor (wrapping 32-bit product).
int32_t LedOuterRadius(int cellSize, int32_t sizeFactor);

// Draws one string at the current raster position in the read-out font.
void DrawText(const char* text);

struct DrawnText {
    std::string text;
    float x, y, z;  // raster position asked for (only valid positions are kept)
};
void RecordDrawnTexts(bool on);
const std::vector<DrawnText>& DrawnTexts();
void ClearDrawnTexts();
