// Configuration.dat: load once at start-up, save after colour commands and
// whenever the window moved or was resized. A save never leaves a truncated
// file: the record is written whole before it replaces the old one.
#include "render/settings.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

#include "common/file_io.h"
#include "platform/sys.h"

const char kSettingsFileName[] = "Configuration.dat";

namespace {
Settings g_settings;
uint8_t g_record[kSettingsRecordSize];
WindowRect g_lastGeometry;
WindowPlacement g_placement;  // asked for at start-up, when g_placed
bool g_placed = false;

PackedColor* ColorSlot(SettingsColor which) {
    switch (which) {
        case SettingsColor::GridDot:
            return &g_settings.gridDotColor;
        case SettingsColor::Background:
            return &g_settings.backgroundColor;
        case SettingsColor::Frame:
            return &g_settings.frameColor;
        case SettingsColor::ChainLine:
            return &g_settings.chainLineColor;
    }
    return &g_settings.gridDotColor;
}
}  // namespace

const Settings& CurrentSettings() {
    return g_settings;
}

bool LoadSettings() {
    if (!Sys_FileExists(kSettingsFileName)) return false;
    // Opened for update on purpose: a file we could not save counts as unusable.
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(kSettingsFileName, kSettingsRecordSize, bytes, true)) return false;
    std::memcpy(g_record, bytes.data(), bytes.size());
    if (bytes.size() < kSettingsRecordSize) return false;
    std::memcpy(&g_settings, g_record, sizeof g_settings);
    return true;
}

void ApplyDefaultSettings() {
    SetSettingsColor(SettingsColor::GridDot, 255, 0, 0);
    SetSettingsColor(SettingsColor::Background, 255, 255, 255);
    SetSettingsColor(SettingsColor::Frame, 0, 0, 255);
    SetSettingsColor(SettingsColor::ChainLine, 0, 0, 180);
}

void SaveSettings() {
    std::memcpy(g_record, &g_settings, sizeof g_settings);
    SaveFileReplacing(kSettingsFileName, g_record, kSettingsRecordSize);
}

void SetSettingsColor(SettingsColor which, uint8_t red, uint8_t green, uint8_t blue) {
    PackedColor* color = ColorSlot(which);
    color->red = red;
    color->green = green;
    color->blue = blue;
}

WindowRect TrackWindowGeometry() {
    WindowRect now = QueryWindowRect();
    if (now.x != g_lastGeometry.x || now.y != g_lastGeometry.y ||
        now.width != g_lastGeometry.width || now.height != g_lastGeometry.height) {
        g_lastGeometry = now;
        g_settings.windowX = now.x;
        g_settings.windowY = now.y;
        g_settings.windowWidth = now.width;
        g_settings.windowHeight = now.height;
        SaveSettings();
    }
    return now;
}

// The saved position is the drawing area's (GLUT reports that one), and the
// window is asked for at exactly that position: fixed frame sizes (8 to the
// left, 31 above, those of one desktop) made the window creep by them on
// every start wherever the frame differs or there is none.
WindowPlacement ComputeWindowPlacement(int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t screenWidth, int32_t screenHeight) {
    if (width > screenWidth - 100) width /= 2;
    if (height > screenHeight - 100) height /= 2;
    if (width < 50 || height < 50) return {0, 0, 480, 320};
    return {x, y, width, height};
}

void PlaceWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
    int screenWidth = 0, screenHeight = 0;
    Sys_ScreenSize(&screenWidth, &screenHeight);
    g_placement = ComputeWindowPlacement(x, y, width, height, screenWidth, screenHeight);
    g_placed = true;
    glutInitWindowSize(g_placement.width, g_placement.height);
    glutInitWindowPosition(g_placement.x, g_placement.y);
}

bool FrameCorrection(int32_t requestedX, int32_t requestedY, WindowRect actual, int32_t frameLeft,
                     int32_t frameTop, int32_t* moveX, int32_t* moveY) {
    if (frameLeft == 0 && frameTop == 0) return false;
    if (actual.x != requestedX + frameLeft || actual.y != requestedY + frameTop) return false;
    *moveX = requestedX - frameLeft;
    *moveY = requestedY - frameTop;
    return true;
}

void SettleWindowPosition() {
    if (!g_placed || !HaveGlutWindow()) return;
    // GLUT reads the frame extents the window manager announces
    // (_NET_FRAME_EXTENTS), else the drawing area's offset in its frame;
    // both are 0 without a window manager.
    int32_t x = 0, y = 0;
    if (FrameCorrection(g_placement.x, g_placement.y, QueryWindowRect(),
                        glutGet(GLUT_WINDOW_BORDER_WIDTH), glutGet(GLUT_WINDOW_HEADER_HEIGHT), &x,
                        &y))
        MoveWindowNow(x, y);
}

void ResetSettings() {
    g_settings = Settings{};
    std::memset(g_record, 0, sizeof g_record);
    g_lastGeometry = WindowRect{};
    g_placement = WindowPlacement{};
    g_placed = false;
}
