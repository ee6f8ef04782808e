// The byte layouts of every command the control program sends to Quorvane.
// Each Encode function returns one whole packet (code big-endian in bytes
// 0-1, then the payload); an empty result means the input was refused (a
// path longer than kMaxPathBytes, a size that does not fit its text field)
// and nothing must be sent. Shared by the control program and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/packet.h"
#include "common/protocol.h"

using Packet = std::vector<uint8_t>;

// The longest path Quorvane takes: its path buffers hold 511 bytes and a NUL.
constexpr size_t kMaxPathBytes = kPathBufferSize - 1;

// Colour order byte of command 170.
enum ColorOrderCode : uint8_t { kOrderRGB, kOrderRBG, kOrderGRB, kOrderGBR, kOrderBRG, kOrderBGR };

// Mode byte of command 170.
enum VideoStartMode : uint8_t { kStartPreview = 0, kStartConvert = 1, kStartConvertHidden = 2 };

// Target byte of command 192.
enum ViewJumpTarget : uint8_t {
    kJumpUp = 0,
    kJumpDown = 1,
    kJumpLeft = 2,
    kJumpRight = 3,
    kJumpTopEdge = 4,
    kJumpBottomEdge = 5,
    kJumpLeftEdge = 6,
    kJumpRightEdge = 7,
    kJumpTopLeft = 8,
    kJumpTopRight = 9,
    kJumpBottomLeft = 160,
    kJumpBottomRight = 161,
    kJumpCentre = 162,
};

struct Rgb {
    uint8_t red, green, blue;
};

struct VideoStartSettings {
    uint8_t order;          // ColorOrderCode
    uint8_t brightness[3];  // percent, red, green, blue
    uint8_t mode;           // VideoStartMode
    uint8_t blackLevel[3];  // red, green, blue
};

// The message the forms show when a path is refused.
extern const char* const kPathTooLongText;

// Ports: `portNumber` counts from 1 (1..256), `portIndex` from 0 (0..255);
// each command takes the kind its handler reads.
Packet EncodeUndoLastLed(int portNumber);                                             // 160
Packet EncodeSaveChainFile(int portNumber, const std::string& path);                  // 161
Packet EncodeLoadChainFile(const std::string& path);                                  // 162
Packet EncodeSelectPort(int portIndex);                                               // 163
Packet EncodeSetVideoPath(const std::string& path);                                   // 164
Packet EncodeSetPortColor(int portNumber, Rgb color);                                 // 165
Packet EncodeSettingsColor(CommandCode code, Rgb color);                              // 166-169
Packet EncodeStartVideo(const VideoStartSettings& settings);                          // 170
Packet EncodeKeyPress(uint8_t key);                                                   // 173
Packet EncodeClearPort(int portIndex);                                                // 174
Packet EncodeSaveProject(const std::string& path);                                    // 176
Packet EncodeOpenFile(const std::string& path);                                       // 177
Packet EncodeSetEditMode(bool switchLeds);                                            // 178
Packet EncodeLoadBackgroundImage(const std::string& path);                            // 179
Packet EncodeSetLedSize(uint8_t factor);                                              // 181
Packet EncodeSetVideoResize(int width, int height, bool on, uint8_t interpolation);   // 185
Packet EncodeViewJump(uint8_t target);                                                // 192
Packet EncodeSetRawFramePath(const std::string& path);                                // 208
Packet EncodeConvertRawFrames(int width, int height, const std::string& outputPath);  // 209
// Commands without a payload: 171, 172, 175, 180, 182, 183, 184.
Packet EncodeBare(CommandCode code);
// Code 0, which names no command: Quorvane only logs and answers it. Its
// answer arrives after Quorvane has finished the command sent before it.
Packet EncodeNoCommand();
