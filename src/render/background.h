// The background picture under the layout: a 24-bit bitmap read from file,
// turned into a texture and drawn behind everything, one pixel per cell.
// This module owns the BackgroundImage holder and BackgroundVisible.
#pragma once

#include <cstddef>
#include <cstdint>

// Command 179 (the dispatcher sets the video mode to Idle first) and 180.
// 179 for a path the dispatcher checked.
void LoadBackgroundImage(const char* path);
void RemoveBackgroundImage();
// Display step after the grid dots; draws only while the picture is visible.
void DrawBackgroundImage();

// A bitmap as read: red, green, blue per pixel, bottom row first, no row
// padding; the buffer holds exactly width * height * 3 bytes (malloc'd, the
// caller frees it).
struct BmpPicture {
    int32_t width;
    int32_t height;
    uint8_t* pixels;
};

enum class BmpReadResult {
    Ok,
    Unreadable,  // missing, not "BM", header cut short, size not above 0, no memory
    TooLarge,    // width or height above 2047: header read, no pixels
};

// Reads the header and the pixel data. Pixel data that the file does not
// supply (short file, offset past the end, smaller size field) is zero.
BmpReadResult ReadBmp(const char* path, BmpPicture* picture);

struct BackgroundImageRecord {
    uint32_t texture;
    int32_t width;
    int32_t height;
    const uint8_t* pixels;
    uint8_t loaded;
    uint32_t pixelFormat;
};
BackgroundImageRecord BackgroundImage();
bool BackgroundVisible();

// Builds the texture from the holder's pixels (a current GL context).
void MakeBackgroundTexture();
// Frees the pixels; width, height and the texture name stay.
void ReleaseBackgroundImage();

// Tests: pixels freed, texture deleted (when a window exists), hidden.
void ResetBackgroundImage();
