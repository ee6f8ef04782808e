// The background picture under the layout: a 24-bit bitmap read from file,
// turned into a texture and drawn behind everything, one pixel per cell.
#pragma once

#include <cstdint>

// Command 179 (the dispatcher sets the video mode to Idle first) and 180.
void LoadBackgroundImage(const uint8_t* packet);
void RemoveBackgroundImage(const uint8_t* packet);
// Display step after the grid dots; draws only while the picture is visible.
void DrawBackgroundImage();
