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

// Tests: pixels freed, texture deleted (when a window exists), hidden.
void ResetBackgroundImage();
