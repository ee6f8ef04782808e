// Command packets against their exact bytes, and the inputs the encoder
// refuses (ports out of range, paths over 511 bytes, sizes that do not fit
// their text fields).
#include "encoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EncoderCase {
    const char* name;
    Packet packet;
    Packet expected;
};

Packet Bytes(std::initializer_list<int> values) {
    Packet packet;
    for (int value : values) packet.push_back(uint8_t(value));
    return packet;
}

// Code bytes, two zero bytes (or the given port), the text and its NUL.
Packet PathPacket(int high, int low, const std::string& path, int port = 0) {
    Packet packet = Bytes({high, low, port >> 8, port & 0xFF});
    packet.insert(packet.end(), path.begin(), path.end());
    packet.push_back(0);
    return packet;
}

TEST(ControlEncoder, EveryCommandHasItsExactBytes) {
    VideoStartSettings video = {kOrderGRB, {90, 80, 70}, kStartConvert, {1, 2, 3}};
    Packet raw = Bytes({0x00, 0xD1, 0, 0, '2', '0', '4', '8', '7', 0, 0, 0});
    for (char ch : std::string("out.avi")) raw.push_back(uint8_t(ch));
    raw.push_back(0);

    const EncoderCase cases[] = {
        // Port numbers (1..256) in 160, 161, 165; port indexes (0..255) in 163, 174.
        {"160 undo, port number", EncodeUndoLastLed(6), Bytes({0x00, 0xA0, 0x00, 0x06})},
        {"160 undo, port 256", EncodeUndoLastLed(256), Bytes({0x00, 0xA0, 0x01, 0x00})},
        {"161 save chain", EncodeSaveChainFile(256, "c.line"),
         PathPacket(0x00, 0xA1, "c.line", 256)},
        {"162 load chain", EncodeLoadChainFile("/tmp/a.line"),
         PathPacket(0x00, 0xA2, "/tmp/a.line")},
        {"163 select, port index", EncodeSelectPort(4), Bytes({0x00, 0xA3, 0x00, 0x04})},
        {"163 select, last port", EncodeSelectPort(255), Bytes({0x00, 0xA3, 0x00, 0xFF})},
        {"164 video path", EncodeSetVideoPath("v.avi"), PathPacket(0x00, 0xA4, "v.avi")},
        {"165 port colour", EncodeSetPortColor(6, {10, 20, 30}),
         Bytes({0x00, 0xA5, 0x00, 0x06, 10, 20, 30})},
        {"165 port colour, port 256", EncodeSetPortColor(256, {1, 2, 3}),
         Bytes({0x00, 0xA5, 0x01, 0x00, 1, 2, 3})},
        {"166 background", EncodeSettingsColor(CommandCode::SetBackgroundColor, {255, 128, 0}),
         Bytes({0x00, 0xA6, 0, 0, 255, 128, 0})},
        {"167 frame", EncodeSettingsColor(CommandCode::SetFrameColor, {1, 2, 3}),
         Bytes({0x00, 0xA7, 0, 0, 1, 2, 3})},
        {"168 grid dots", EncodeSettingsColor(CommandCode::SetGridDotColor, {4, 5, 6}),
         Bytes({0x00, 0xA8, 0, 0, 4, 5, 6})},
        {"169 chain lines", EncodeSettingsColor(CommandCode::SetChainLineColor, {7, 8, 9}),
         Bytes({0x00, 0xA9, 0, 0, 7, 8, 9})},
        {"170 start video", EncodeStartVideo(video),
         Bytes({0x00, 0xAA, 2, 90, 80, 70, 1, 1, 2, 3})},
        {"171 disk", EncodeBare(CommandCode::SetLedShapeDisk), Bytes({0x00, 0xAB})},
        {"172 square", EncodeBare(CommandCode::SetLedShapeSquare), Bytes({0x00, 0xAC})},
        {"173 key W", EncodeKeyPress('W'), Bytes({0x00, 0xAD, 0, 'W'})},
        {"173 key +", EncodeKeyPress('+'), Bytes({0x00, 0xAD, 0, '+'})},
        {"174 clear, port index", EncodeClearPort(4), Bytes({0x00, 0xAE, 0x00, 0x04})},
        {"175 stop", EncodeBare(CommandCode::StopVideo), Bytes({0x00, 0xAF})},
        {"176 save project", EncodeSaveProject("p.quor"), PathPacket(0x00, 0xB0, "p.quor")},
        {"177 open", EncodeOpenFile("list.iqp"), PathPacket(0x00, 0xB1, "list.iqp")},
        {"178 place mode", EncodeSetEditMode(false), Bytes({0x00, 0xB2, 0, 0})},
        {"178 switch mode", EncodeSetEditMode(true), Bytes({0x00, 0xB2, 0, 1})},
        {"179 background image", EncodeLoadBackgroundImage("b.bmp"),
         PathPacket(0x00, 0xB3, "b.bmp")},
        {"180 remove background", EncodeBare(CommandCode::RemoveBackgroundImage),
         Bytes({0x00, 0xB4})},
        {"181 LED size", EncodeSetLedSize(200), Bytes({0x00, 0xB5, 0, 0, 200})},
        {"182 pause", EncodeBare(CommandCode::ToggleVideoPause), Bytes({0x00, 0xB6})},
        {"183 save frame", EncodeBare(CommandCode::SaveFrameImage), Bytes({0x00, 0xB7})},
        {"184 bounding frame", EncodeBare(CommandCode::ToggleBoundingFrame), Bytes({0x00, 0xB8})},
        // Width text at 4, height text at 9, each NUL-terminated inside its field.
        {"185 resize", EncodeSetVideoResize(2048, 15, true, 4),
         Bytes({0x00, 0xB9, 0, 0, '2', '0', '4', '8', 0, '1', '5', 0, 0, 0, 1, 4})},
        {"185 resize off", EncodeSetVideoResize(7, 1234, false, 0),
         Bytes({0x00, 0xB9, 0, 0, '7', 0, 0, 0, 0, '1', '2', '3', '4', 0, 0, 0})},
        {"192 centre", EncodeViewJump(kJumpCentre), Bytes({0x00, 0xC0, 0, 162})},
        {"192 top edge", EncodeViewJump(kJumpTopEdge), Bytes({0x00, 0xC0, 0, 4})},
        {"208 raw path", EncodeSetRawFramePath("f.raw"), PathPacket(0x00, 0xD0, "f.raw")},
        // Four-byte size fields at 4 and 8 (a full field has no NUL), path at 12.
        {"209 raw to video", EncodeConvertRawFrames(2048, 7, "out.avi"), raw},
    };
    for (const EncoderCase& c : cases) EXPECT_EQ(c.packet, c.expected) << c.name;
}

TEST(ControlEncoder, RefusesWhatQuorvaneCannotRead) {
    const std::string longest(kMaxPathBytes, 'x');
    const std::string tooLong(kMaxPathBytes + 1, 'x');
    EXPECT_EQ(EncodeSaveProject(longest).size(), 4 + kMaxPathBytes + 1);
    EXPECT_EQ(EncodeConvertRawFrames(1, 1, longest).size(), 12 + kMaxPathBytes + 1);

    const struct {
        const char* name;
        Packet packet;
    } refused[] = {
        {"161 long path", EncodeSaveChainFile(1, tooLong)},
        {"162 long path", EncodeLoadChainFile(tooLong)},
        {"164 long path", EncodeSetVideoPath(tooLong)},
        {"176 long path", EncodeSaveProject(tooLong)},
        {"177 long path", EncodeOpenFile(tooLong)},
        {"179 long path", EncodeLoadBackgroundImage(tooLong)},
        {"208 long path", EncodeSetRawFramePath(tooLong)},
        {"209 long path", EncodeConvertRawFrames(10, 10, tooLong)},
        {"160 port number 0", EncodeUndoLastLed(0)},
        {"161 port number 257", EncodeSaveChainFile(257, "a")},
        {"165 port number 0", EncodeSetPortColor(0, {1, 2, 3})},
        {"163 port index 256", EncodeSelectPort(256)},
        {"174 port index -1", EncodeClearPort(-1)},
        {"185 width of five digits", EncodeSetVideoResize(10000, 10, true, 0)},
        {"185 negative height", EncodeSetVideoResize(10, -1, true, 0)},
        {"209 width of five digits", EncodeConvertRawFrames(10000, 10, "o.avi")},
        {"bare code with a payload", EncodeBare(CommandCode::SelectPort)},
        {"settings colour with another code", EncodeSettingsColor(CommandCode::SetPortColor, {})},
    };
    for (const auto& r : refused) EXPECT_TRUE(r.packet.empty()) << r.name;
}

}  // namespace
