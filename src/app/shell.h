// Start-up, the GLUT callbacks and the fixed drawing order of every redraw.
#pragma once

extern const char kWindowTitle[];         // "Quorvane 1.46 EN beta"
extern const char kControlProgramName[];  // "Quorvane_Net.exe"

// What the shell calls in the command channel, which sits above it.
struct ShellHooks {
    void (*startCommandServer)();  // once, after the window exists
    void (*pollCommand)();         // every tick, 40 ms after the end of the one before
};

// The window program: start-up, then the GLUT main loop. Returns the exit code.
int RunShell(int argc, char** argv, const ShellHooks& hooks);

// The material and light state, applied at start-up and every redraw.
void ApplyMaterialAndLight();

// The viewport over the whole window and the 2-D projection in window
// pixels (origin bottom-left); the modelview matrix is left as identity.
void ApplyWindowProjection(int width, int height);

// One redraw of the scene in the fixed order (without clear and swap).
void DrawScene();
