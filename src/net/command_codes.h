// The command codes of the control protocol (big-endian 16-bit, bytes 0-1 of
// every packet) and the status message codes sent back. Shared by Quorvane
// and the control program.
#pragma once

#include <cstdint>

enum class CommandCode : uint16_t {
    UndoLastLed = 160,
    SaveChainFile = 161,
    LoadChainFile = 162,
    SelectPort = 163,
    SetVideoPath = 164,
    SetPortColor = 165,
    SetBackgroundColor = 166,
    SetFrameColor = 167,
    SetGridDotColor = 168,
    SetChainLineColor = 169,
    StartVideo = 170,
    SetLedShapeDisk = 171,
    SetLedShapeSquare = 172,
    KeyPress = 173,
    ClearPort = 174,
    StopVideo = 175,
    SaveProject = 176,
    OpenFile = 177,
    SetEditMode = 178,
    LoadBackgroundImage = 179,
    RemoveBackgroundImage = 180,
    SetLedSize = 181,
    ToggleVideoPause = 182,
    SaveFrameImage = 183,
    ToggleBoundingFrame = 184,
    SetVideoResize = 185,
    ViewJump = 192,
    SetRawFramePath = 208,
    ConvertRawFrames = 209,
};

constexpr uint16_t kCommandPort = 2023;

// Byte 1 of the status messages (byte 0 is always 0x00).
constexpr uint8_t kPortLoadedTag = 0xB0;
constexpr uint8_t kWindowGeometryTag = 0xB1;
constexpr uint8_t kVideoProgressTag = 0xB2;
constexpr int kPortLoadedMessageSize = 4;
constexpr int kWindowGeometryMessageSize = 18;
constexpr int kVideoProgressMessageSize = 12;
