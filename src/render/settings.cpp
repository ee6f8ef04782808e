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
    FILE* file = CurrentFileSyscalls().open(kSettingsFileName, "rb+");
    if (file == nullptr) return false;
    size_t read = CurrentFileSyscalls().read(g_record, 1, kSettingsRecordSize, file);
    CurrentFileSyscalls().close(file);
    if (read < kSettingsRecordSize) return false;
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

WindowPlacement ComputeWindowPlacement(int32_t x, int32_t y, int32_t width, int32_t height,
                                       int32_t screenWidth, int32_t screenHeight) {
    if (width > screenWidth - 100) width /= 2;
    if (height > screenHeight - 100) height /= 2;
    if (width < 50 || height < 50) return {-8, -31, 480, 320};
    return {x - 8, y - 31, width, height};
}

void PlaceWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
    int screenWidth = 0, screenHeight = 0;
    Sys_ScreenSize(&screenWidth, &screenHeight);
    WindowPlacement placement =
        ComputeWindowPlacement(x, y, width, height, screenWidth, screenHeight);
    glutInitWindowSize(placement.width, placement.height);
    glutInitWindowPosition(placement.x, placement.y);
}

void ResetSettings() {
    g_settings = Settings{};
    std::memset(g_record, 0, sizeof g_record);
    g_lastGeometry = WindowRect{};
}

const uint8_t* SettingsRecordImage() {
    return g_record;
}
