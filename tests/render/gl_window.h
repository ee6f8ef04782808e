// A real freeglut window of a fixed size for the drawing tests (run under
// Xvfb), with read-back of the back buffer before any swap.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kTestWindowWidth = 640;
constexpr int kTestWindowHeight = 480;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Creates the window once per process and makes it current; sets the fixed
// GL state of start-up (lighting, depth test, normalize).
void EnsureTestWindow();

// glClear and the program's whole scene, not swapped.
void RenderScene();

Rgb PixelAt(int x, int y);  // window pixels, origin bottom-left
std::vector<uint8_t> ReadFrame();

// What a colour byte becomes on screen under the fixed lighting: the scene
// ambient gives the colour itself and the material emission adds 0.01.
int Lit(int byte);
Rgb Lit(Rgb color);
bool Near(Rgb a, Rgb b, int tolerance = 1);
