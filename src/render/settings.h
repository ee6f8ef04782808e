// The settings file Configuration.dat: four drawing colours and the window
// geometry, one 1024-byte record in the current directory. This module owns
// the live Settings, the record image and the last-known geometry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/common.h"
#include "render/window.h"

struct Settings {
    PackedColor gridDotColor;
    PackedColor backgroundColor;
    PackedColor frameColor;
    PackedColor chainLineColor;
    int32_t windowX;
    int32_t windowY;
    int32_t windowWidth;
    int32_t windowHeight;
};
static_assert(sizeof(Settings) == 32);

constexpr size_t kSettingsRecordSize = 1024;
extern const char kSettingsFileName[];  // "Configuration.dat"

enum class SettingsColor { GridDot, Background, Frame, ChainLine };

const Settings& CurrentSettings();

// Fills the record image from the file; true and the live settings filled
// when a full 1024-byte record was read from a file open for update.
bool LoadSettings();
// The four default colours; window fields and spare bytes untouched.
void ApplyDefaultSettings();
// Writes the 1024-byte record (live 32 bytes over the image). Silent.
void SaveSettings();
// Sets red, green, blue of one colour; the spare byte is untouched.
void SetSettingsColor(SettingsColor which, uint8_t red, uint8_t green, uint8_t blue);

// Reads the window geometry, saves the settings when it changed since the
// last call, returns it.
WindowRect TrackWindowGeometry();

struct WindowPlacement {
    int32_t x, y, width, height;
};
// The placement rule: halving against the screen, 50-pixel minimum with the
// 480 x 320 fallback at the screen's top-left corner; the position is the
// drawing area's, as saved.
WindowPlacement ComputeWindowPlacement(int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t screenWidth, int32_t screenHeight);
// Gives GLUT the initial size and position; before the window is created.
void PlaceWindow(int32_t x, int32_t y, int32_t width, int32_t height);

// A window manager that honours a requested position usually puts the
// frame's top-left corner there, so the drawing area lands the frame's left
// and top extents further in. True, with the position to ask for instead,
// when the drawing area landed exactly there; false when it is where it was
// asked for (no window manager, no frame) or somewhere the window manager
// chose itself.
bool FrameCorrection(int32_t requestedX, int32_t requestedY, WindowRect actual, int32_t frameLeft,
                     int32_t frameTop, int32_t* moveX, int32_t* moveY);
// Right after the window is created: moves it once by the frame extents
// where FrameCorrection says so, so it opens where it was saved. Nothing
// when PlaceWindow was not called.
void SettleWindowPosition();

// Tests: everything back to process start (all zero).
void ResetSettings();
