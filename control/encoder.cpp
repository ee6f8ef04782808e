// Builds the command packets: big-endian code and port fields, colours as
// red, green, blue at offsets 4-6, paths NUL-terminated at offset 4, and the
// decimal text fields of 185 and 209. Bytes a command does not read are 0.
#include "encoder.h"

#include <cstdio>
#include <cstring>

#include "common/common.h"

const char* const kPathTooLongText =
    "The path is too long: Quorvane accepts at most 511 bytes. Choose a shorter path.";

namespace {

Packet Header(CommandCode code, size_t size) {
    Packet packet(size, 0);
    WriteBE16(packet.data(), uint16_t(code));
    return packet;
}

void PutPort(Packet& packet, int port) {
    WriteBE16(packet.data() + kPortFieldOffset, uint16_t(port));
}

bool ValidIndex(int portIndex) {
    return portIndex >= 0 && portIndex < kPortCount;
}
bool ValidNumber(int portNumber) {
    return portNumber >= 1 && portNumber <= kPortCount;
}
bool PathFits(const std::string& path) {
    return path.size() <= kMaxPathBytes;
}

// Code, two bytes at 2-3 (port or zero), the path and its NUL.
Packet WithPath(CommandCode code, size_t offset, const std::string& path) {
    if (!PathFits(path) || path.find('\0') != std::string::npos) return {};
    Packet packet = Header(code, offset + path.size() + 1);
    std::memcpy(packet.data() + offset, path.data(), path.size());
    return packet;
}

// Writes `value` as decimal text into `width` bytes at `offset`, NUL-padded.
// With `needNul` the text must leave room for a terminating NUL.
bool PutDecimal(Packet& packet, size_t offset, size_t width, int value, bool needNul) {
    if (value < 0) return false;
    char text[16];
    int length = std::snprintf(text, sizeof text, "%d", value);
    if (length <= 0 || size_t(length) > (needNul ? width - 1 : width)) return false;
    std::memcpy(packet.data() + offset, text, size_t(length));
    return true;
}

Packet WithColor(CommandCode code, Rgb color) {
    Packet packet = Header(code, 7);
    packet[kColorOffset] = color.red;
    packet[kColorOffset + 1] = color.green;
    packet[kColorOffset + 2] = color.blue;
    return packet;
}

}  // namespace

Packet EncodeUndoLastLed(int portNumber) {
    if (!ValidNumber(portNumber)) return {};
    Packet packet = Header(CommandCode::UndoLastLed, 4);
    PutPort(packet, portNumber);
    return packet;
}

Packet EncodeSaveChainFile(int portNumber, const std::string& path) {
    if (!ValidNumber(portNumber)) return {};
    Packet packet = WithPath(CommandCode::SaveChainFile, kPathOffset, path);
    if (!packet.empty()) PutPort(packet, portNumber);
    return packet;
}

Packet EncodeLoadChainFile(const std::string& path) {
    return WithPath(CommandCode::LoadChainFile, kPathOffset, path);
}

Packet EncodeSelectPort(int portIndex) {
    if (!ValidIndex(portIndex)) return {};
    Packet packet = Header(CommandCode::SelectPort, 4);
    PutPort(packet, portIndex);
    return packet;
}

Packet EncodeSetVideoPath(const std::string& path) {
    return WithPath(CommandCode::SetVideoPath, kPathOffset, path);
}

Packet EncodeSetPortColor(int portNumber, Rgb color) {
    if (!ValidNumber(portNumber)) return {};
    Packet packet = WithColor(CommandCode::SetPortColor, color);
    PutPort(packet, portNumber);
    return packet;
}

Packet EncodeSettingsColor(CommandCode code, Rgb color) {
    if (code != CommandCode::SetBackgroundColor && code != CommandCode::SetFrameColor &&
        code != CommandCode::SetGridDotColor && code != CommandCode::SetChainLineColor)
        return {};
    return WithColor(code, color);
}

Packet EncodeStartVideo(const VideoStartSettings& settings) {
    Packet packet = Header(CommandCode::StartVideo, 10);
    packet[2] = settings.order;
    packet[3] = settings.brightness[0];
    packet[4] = settings.brightness[1];
    packet[5] = settings.brightness[2];
    packet[6] = settings.mode;
    packet[7] = settings.blackLevel[0];
    packet[8] = settings.blackLevel[1];
    packet[9] = settings.blackLevel[2];
    return packet;
}

Packet EncodeKeyPress(uint8_t key) {
    Packet packet = Header(CommandCode::KeyPress, 4);
    packet[3] = key;
    return packet;
}

Packet EncodeClearPort(int portIndex) {
    if (!ValidIndex(portIndex)) return {};
    Packet packet = Header(CommandCode::ClearPort, 4);
    PutPort(packet, portIndex);
    return packet;
}

Packet EncodeSaveProject(const std::string& path) {
    return WithPath(CommandCode::SaveProject, kPathOffset, path);
}

Packet EncodeOpenFile(const std::string& path) {
    return WithPath(CommandCode::OpenFile, kPathOffset, path);
}

Packet EncodeSetEditMode(bool switchLeds) {
    Packet packet = Header(CommandCode::SetEditMode, 4);
    packet[3] = switchLeds ? 1 : 0;
    return packet;
}

Packet EncodeLoadBackgroundImage(const std::string& path) {
    return WithPath(CommandCode::LoadBackgroundImage, kPathOffset, path);
}

Packet EncodeSetLedSize(uint8_t factor) {
    Packet packet = Header(CommandCode::SetLedSize, 5);
    packet[4] = factor;
    return packet;
}

Packet EncodeSetVideoResize(int width, int height, bool on, uint8_t interpolation) {
    // Width text in bytes 4-8 and height text in 9-13, each ending in a NUL
    // inside its field so the width's digits cannot run into the height.
    Packet packet = Header(CommandCode::SetVideoResize, 16);
    if (!PutDecimal(packet, 4, 5, width, true) || !PutDecimal(packet, 9, 5, height, true))
        return {};
    packet[14] = on ? 1 : 0;
    packet[15] = interpolation;
    return packet;
}

Packet EncodeViewJump(uint8_t target) {
    Packet packet = Header(CommandCode::ViewJump, 4);
    packet[3] = target;
    return packet;
}

Packet EncodeSetRawFramePath(const std::string& path) {
    return WithPath(CommandCode::SetRawFramePath, kPathOffset, path);
}

Packet EncodeConvertRawFrames(int width, int height, const std::string& outputPath) {
    // Each size is at most four digits in exactly four bytes; a shorter
    // number ends at its NUL padding.
    Packet packet = WithPath(CommandCode::ConvertRawFrames, kRawOutputNameOffset, outputPath);
    if (packet.empty()) return {};
    if (!PutDecimal(packet, 4, 4, width, false) || !PutDecimal(packet, 8, 4, height, false))
        return {};
    return packet;
}

Packet EncodeBare(CommandCode code) {
    switch (code) {
        case CommandCode::SetLedShapeDisk:
        case CommandCode::SetLedShapeSquare:
        case CommandCode::StopVideo:
        case CommandCode::RemoveBackgroundImage:
        case CommandCode::ToggleVideoPause:
        case CommandCode::SaveFrameImage:
        case CommandCode::ToggleBoundingFrame:
            return Header(code, 2);
        default:
            return {};
    }
}

Packet EncodeNoCommand() {
    return Packet{0x00, 0x00};
}
