// The control protocol, shared by Quorvane and the control program: the
// command codes (big-endian 16-bit, bytes 0-1 of every packet), the port
// count, the payload offsets, and the layouts of the status messages sent
// back.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kPortCount = 256;  // controller ports; indexes 0..255, numbers 1..256

// ---- commands ----------------------------------------------------------------

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

constexpr size_t kPacketSize = 2048;     // receive buffer and mailbox size
constexpr size_t kPathBufferSize = 512;  // path buffers: at most 511 bytes + NUL

// Payload offsets.
constexpr size_t kPortFieldOffset = 2;       // bytes 2-3, big-endian: port index or number
constexpr size_t kPathOffset = 4;            // where every path field starts, but 209's
constexpr size_t kColorOffset = 4;           // red, green, blue of 165-169
constexpr size_t kRawOutputNameOffset = 12;  // 209: output name after the two sizes

// ---- status messages ---------------------------------------------------------------

// Byte 0 is always 0x00, byte 1 the tag.
constexpr uint8_t kPortLoadedTag = 0xB0;
constexpr uint8_t kWindowGeometryTag = 0xB1;
constexpr uint8_t kVideoProgressTag = 0xB2;
constexpr int kPortLoadedMessageSize = 4;
constexpr int kWindowGeometryMessageSize = 18;
constexpr int kVideoProgressMessageSize = 12;

// Port loaded: the port index, big-endian.
constexpr size_t kPortLoadedPortOffset = 2;
// Window geometry: x, y, width, height, each little-endian 32-bit.
constexpr size_t kGeometryXOffset = 2;
constexpr size_t kGeometryYOffset = 6;
constexpr size_t kGeometryWidthOffset = 10;
constexpr size_t kGeometryHeightOffset = 14;
// Video progress: byte 2 is 0x00, byte 3 the percentage, then the frame
// count and the frame number, each big-endian 32-bit.
constexpr size_t kProgressPercentOffset = 3;
constexpr size_t kProgressCountOffset = 4;
constexpr size_t kProgressFrameOffset = 8;
