// The dispatcher's small commands as a table: every case runs on a fresh run
// state and compares everything the small commands can touch with what the
// case expects, so a command that changes too much fails as well as one that
// changes too little. Also the settings-save rule and stale mailbox bytes.
#include "net/dispatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "app/edit.h"
#include "app/view.h"
#include "common/protocol.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "net/server.h"
#include "render/scene.h"
#include "render/settings.h"
#include "support/test_support.h"
#include "video/video.h"

namespace {

// A two-frame video in the working directory whose first frame paints cell
// (0, 2047) a colour that is not black.
void WriteTwoFrameVideo(const char* path) {
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 25.0, cv::Size(2, 2),
                           true);
    for (int f = 0; f < 2; ++f) writer.write(cv::Mat(2, 2, CV_8UC3, cv::Scalar(30, 20, 10)));
}

// Command 170 for a preview in order RGB at full brightness.
std::vector<uint8_t> PreviewPacket() {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(CommandCode::StartVideo));
    packet[3] = packet[4] = packet[5] = 100;
    return packet;
}

// Whether the playback's pause is on, seen where it acts: a video started
// directly (command 170 would clear the pause) steps no frame onto the grid
// while paused. Leaves the video idle without a path and the cell unpainted.
bool PlaybackPaused() {
    WriteTwoFrameVideo("pause-probe.avi");
    SetVideoPath("pause-probe.avi");
    CellColorColumn(0)[kGridMax] = 0;
    StartVideo(PreviewPacket().data());
    StepVideoFrame();
    const bool paused = CellColor(0, kGridMax) == 0;
    SetVideoModeIdle();
    SetVideoPath("");
    CellColorColumn(0)[kGridMax] = 0;
    return paused;
}

// The run-wide values the small commands set, gathered from their owners.
struct CommandValues {
    LedShape ledShape;
    uint8_t editMode;
    int32_t ledSizeFactor;
    uint8_t videoPaused;
    uint8_t frameImageRequest;
    uint8_t boundingFrameVisible;
};

CommandValues Values() {
    const SceneOptions& scene = CurrentSceneOptions();
    return {scene.ledShape,
            EditMode(),
            scene.ledSizeFactor,
            uint8_t(PlaybackPaused()),
            uint8_t(FrameImageRequested()),
            scene.boundingFrameVisible};
}

// What the small commands may change, as one comparable record.
struct Snapshot {
    CommandValues values;
    Settings settings;
    uint16_t currentPort;
    uint8_t chainColors[kPortCount][3];
    VideoModeKind videoMode;
    ViewState view;
};

Snapshot Capture() {
    Snapshot s;
    std::memset(&s, 0, sizeof s);
    s.values = Values();
    s.settings = CurrentSettings();
    s.currentPort = CurrentPort();
    for (int port = 0; port < kPortCount; ++port)
        std::memcpy(s.chainColors[port], ChainColor(port), 3);
    s.videoMode = VideoMode();
    s.view = View();
    return s;
}

std::string Rgb(const uint8_t* c) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}
std::string Rgb(PackedColor c) {
    const uint8_t bytes[3] = {c.red, c.green, c.blue};
    return Rgb(bytes);
}

std::string Describe(const Snapshot& s) {
    std::string out =
        "shape=" + std::to_string(int(s.values.ledShape)) +
        " edit=" + std::to_string(s.values.editMode) +
        " size=" + std::to_string(s.values.ledSizeFactor) +
        " paused=" + std::to_string(s.values.videoPaused) +
        " frameImage=" + std::to_string(s.values.frameImageRequest) +
        " frame=" + std::to_string(s.values.boundingFrameVisible) +
        " port=" + std::to_string(s.currentPort) + " mode=" + std::to_string(int(s.videoMode)) +
        " view=" + std::to_string(s.view.cellSize) + "/" + std::to_string(s.view.scrollX) + "/" +
        std::to_string(s.view.scrollY) + " dots=" + Rgb(s.settings.gridDotColor) +
        " background=" + Rgb(s.settings.backgroundColor) +
        " frameColour=" + Rgb(s.settings.frameColor) + " lines=" + Rgb(s.settings.chainLineColor);
    // The ends of the port range always, any other port only when it differs
    // from its neighbours' colour.
    for (int port = 0; port < kPortCount; ++port) {
        bool end = port < 2 || port > kPortCount - 3;
        if (end || std::memcmp(s.chainColors[port], s.chainColors[1], 3) != 0)
            out += " chain" + std::to_string(port) + "=" + Rgb(s.chainColors[port]);
    }
    return out;
}

void Dispatch(const std::vector<uint8_t>& bytes) {
    uint8_t packet[kPacketSize] = {};
    std::memcpy(packet, bytes.data(), bytes.size());
    DispatchCommand(packet, int(bytes.size()));
}

void SetChain(Snapshot& s, int port, uint8_t r, uint8_t g, uint8_t b) {
    s.chainColors[port][0] = r;
    s.chainColors[port][1] = g;
    s.chainColors[port][2] = b;
}
void SetRgb(PackedColor& c, uint8_t r, uint8_t g, uint8_t b) {
    c.red = r;
    c.green = g;
    c.blue = b;
}

struct SmallCommandCase {
    const char* name;
    std::vector<std::vector<uint8_t>> before;  // dispatched first
    std::vector<uint8_t> packet;
    bool savesSettings;
    void (*expect)(Snapshot& s);  // turns the state before into the state expected after
};

const SmallCommandCase kCases[] = {
    {"select port 5", {}, {0x00, 0xA3, 0x00, 0x05}, false, [](Snapshot& s) { s.currentPort = 5; }},
    {"select port 255",
     {},
     {0x00, 0xA3, 0x00, 0xFF},
     false,
     [](Snapshot& s) { s.currentPort = 255; }},
    {"select index 256 is ignored",
     {{0x00, 0xA3, 0x00, 0x07}},
     {0x00, 0xA3, 0x01, 0x00},
     false,
     [](Snapshot&) {}},
    {"port colour of port number 1",
     {},
     {0x00, 0xA5, 0x00, 0x01, 10, 20, 30},
     true,
     [](Snapshot& s) { SetChain(s, 0, 10, 20, 30); }},
    {"port colour of port number 256",
     {},
     {0x00, 0xA5, 0x01, 0x00, 10, 20, 30},
     true,
     [](Snapshot& s) { SetChain(s, 255, 10, 20, 30); }},
    {"port colour of port number 0 changes no port",
     {},
     {0x00, 0xA5, 0x00, 0x00, 10, 20, 30},
     true,
     [](Snapshot&) {}},
    {"port colour of port number 257 changes no port",
     {},
     {0x00, 0xA5, 0x01, 0x01, 10, 20, 30},
     true,
     [](Snapshot&) {}},
    {"background colour",
     {},
     {0x00, 0xA6, 9, 9, 1, 2, 3},
     true,
     [](Snapshot& s) { SetRgb(s.settings.backgroundColor, 1, 2, 3); }},
    {"frame colour",
     {},
     {0x00, 0xA7, 9, 9, 4, 5, 6},
     true,
     [](Snapshot& s) { SetRgb(s.settings.frameColor, 4, 5, 6); }},
    {"grid dot colour",
     {},
     {0x00, 0xA8, 9, 9, 7, 8, 9},
     true,
     [](Snapshot& s) { SetRgb(s.settings.gridDotColor, 7, 8, 9); }},
    {"chain line colour",
     {},
     {0x00, 0xA9, 9, 9, 250, 251, 252},
     true,
     [](Snapshot& s) { SetRgb(s.settings.chainLineColor, 250, 251, 252); }},
    {"square shape",
     {},
     {0x00, 0xAC},
     false,
     [](Snapshot& s) { s.values.ledShape = LedShape::Square; }},
    {"disk shape after square",
     {{0x00, 0xAC}},
     {0x00, 0xAB},
     false,
     [](Snapshot& s) { s.values.ledShape = LedShape::Disk; }},
    {"key press '-' zooms out",
     {},
     {0x00, 0xAD, 0x00, '-'},
     false,
     [](Snapshot& s) { s.view.cellSize = 15; }},
    {"edit mode 0",
     {},
     {0x00, 0xB2, 0x00, 0x00},
     false,
     [](Snapshot& s) { s.values.editMode = 0; }},
    {"edit mode non-zero is 1",
     {{0x00, 0xB2, 0x00, 0x00}},
     {0x00, 0xB2, 0x00, 0x07},
     false,
     [](Snapshot& s) { s.values.editMode = 1; }},
    {"led size is unsigned",
     {},
     {0x00, 0xB5, 0x00, 0x00, 0xFF},
     false,
     [](Snapshot& s) { s.values.ledSizeFactor = 255; }},
    {"pause", {}, {0x00, 0xB6}, false, [](Snapshot& s) { s.values.videoPaused = 1; }},
    {"pause twice",
     {{0x00, 0xB6}},
     {0x00, 0xB6},
     false,
     [](Snapshot& s) { s.values.videoPaused = 0; }},
    {"start video clears the pause",
     {{0x00, 0xB6}},
     {0x00, 0xAA, 0, 100, 100, 100, 9},
     false,
     [](Snapshot& s) { s.values.videoPaused = 0; }},
    {"stop video", {}, {0x00, 0xAF}, false, [](Snapshot& s) { s.videoMode = VideoModeKind::Idle; }},
    {"frame image request",
     {},
     {0x00, 0xB7},
     false,
     [](Snapshot& s) { s.values.frameImageRequest = 1; }},
    {"bounding frame off",
     {},
     {0x00, 0xB8},
     false,
     [](Snapshot& s) { s.values.boundingFrameVisible = 0; }},
    {"bounding frame back on",
     {{0x00, 0xB8}},
     {0x00, 0xB8},
     false,
     [](Snapshot& s) { s.values.boundingFrameVisible = 1; }},
    {"code 0", {}, {0x00, 0x00, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 159", {}, {0x00, 0x9F, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 186", {}, {0x00, 0xBA, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 191", {}, {0x00, 0xBF, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 193", {}, {0x00, 0xC1, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 207", {}, {0x00, 0xCF, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 210", {}, {0x00, 0xD2, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
    {"code 0x01A6 (a colour code in the low byte)",
     {},
     {0x01, 0xA6, 0x00, 0x01, 1, 2, 3},
     false,
     [](Snapshot&) {}},
    {"code 65535", {}, {0xFF, 0xFF, 0x00, 0x01, 1, 2, 3}, false, [](Snapshot&) {}},
};

TEST(Dispatcher, SmallCommands) {
    for (const SmallCommandCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        ResetRunState();
        for (const auto& packet : c.before) Dispatch(packet);
        // The first geometry message of a run saves the settings too; only
        // the command's own save may rewrite the file from here on.
        Dispatch({0x00, 0x00});
        std::remove(kSettingsFileName);

        Snapshot expected = Capture();
        c.expect(expected);
        Dispatch(c.packet);
        EXPECT_EQ(Describe(Capture()), Describe(expected));
        EXPECT_EQ(ReadWholeFile(dir.File(kSettingsFileName)).size(),
                  c.savesSettings ? kSettingsRecordSize : 0u);
    }
}

TEST(Dispatcher, ColorCommandSavesTheNewColorInTheSettingsFile) {
    ScopedTempDir dir;
    ResetRunState();
    Dispatch({0x00, 0xA8, 0x00, 0x00, 0x11, 0x22, 0x33});
    std::string file = ReadWholeFile(dir.File(kSettingsFileName));
    ASSERT_EQ(file.size(), kSettingsRecordSize);
    EXPECT_EQ(file.substr(0, 3), "\x11\x22\x33");  // the grid dot colour leads the record
}

TEST(Dispatcher, ShortPacketReadsTheStaleMailboxBytes) {
    ScopedTempDir dir;
    ResetRunState();
    ResetPacketMailbox();
    uint8_t packet[kPacketSize];
    int length = 0;

    const uint8_t color[] = {0x01, 0xA7, 0x00, 0x00, 40, 50, 60};  // code 423: not a command
    PostPacket(color, sizeof color);
    ASSERT_TRUE(TakePacket(packet, &length));
    DispatchCommand(packet, length);
    EXPECT_EQ(Rgb(CurrentSettings().frameColor), "0,0,0");

    const uint8_t oneByte[] = {0x00};
    PostPacket(oneByte, 1);
    ASSERT_TRUE(TakePacket(packet, &length));
    EXPECT_EQ(length, 1);
    DispatchCommand(packet, length);  // code 0x00A7 from the stale second byte
    EXPECT_EQ(Rgb(CurrentSettings().frameColor), "40,50,60");
    ResetPacketMailbox();
}

// The path kinds: a path at offset 4 longer than 511 bytes ignores the
// command (176 saves nothing), or reaches the handler as "" (164 empties the
// video path).
TEST(Dispatcher, PathArgumentsAreCheckedOnceBeforeTheHandler) {
    ScopedTempDir dir;
    ResetRunState();
    auto pathPacket = [](uint16_t code, const std::string& path) {
        std::vector<uint8_t> packet(kPacketSize, 0);
        WriteBE16(packet.data(), code);
        std::memcpy(packet.data() + kPathOffset, path.data(), path.size());
        return packet;
    };
    const std::string tooLong(600, 'p');
    RunCommand(pathPacket(176, tooLong).data());
    EXPECT_STREQ(ProjectPath(), "");
    RunCommand(pathPacket(176, "show.quor").data());
    EXPECT_STREQ(ProjectPath(), "show.quor");
    EXPECT_EQ(ReadWholeFile(dir.File("show.quor")).size(), kProjectHeaderSize);

    // 164 names the video the next start plays; a refused path reaches it as
    // "", so the next start opens nothing.
    WriteTwoFrameVideo("clip.avi");
    std::vector<uint8_t> stop(kPacketSize, 0);
    WriteBE16(stop.data(), uint16_t(CommandCode::StopVideo));
    RunCommand(pathPacket(164, "clip.avi").data());
    RunCommand(PreviewPacket().data());
    EXPECT_EQ(VideoMode(), VideoModeKind::Preview);
    RunCommand(stop.data());
    RunCommand(pathPacket(164, tooLong).data());
    RunCommand(PreviewPacket().data());
    EXPECT_EQ(VideoMode(), VideoModeKind::Idle);
    ResetRunState();
}

}  // namespace
