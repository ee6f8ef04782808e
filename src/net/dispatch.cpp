// The command dispatcher: every packet first sends the window geometry and
// logs "Send_Windows_Pos ", then runs the handler that the command table
// names for its code. The small commands that only set a run-wide value live
// here; the others belong to the subsystems that do the work.
//
// Handlers get the whole 2048-byte mailbox copy and never its length: a
// packet shorter than what its command reads sees the stale bytes of earlier
// packets, but every read stays inside the buffer.
#include "net/dispatch.h"

#include <cstdio>

#include "app/settings.h"
#include "app/view.h"
#include "common/common.h"
#include "common/packet.h"
#include "files/layout_files.h"
#include "model/edit.h"
#include "model/layout.h"
#include "net/command_codes.h"
#include "net/messages.h"
#include "render/background.h"
#include "video/video.h"

namespace {

constexpr CommandValues kStartValues = {Disk, 1, 1, 0, 0, 1};
CommandValues g_values = kStartValues;

void SelectPortCommand(const uint8_t* packet) {
    uint16_t index = PacketPort(packet);
    if (index < kPortCount) SelectCurrentPort(index);
}

void SetPortColorCommand(const uint8_t* packet) {
    uint16_t number = PacketPort(packet);
    if (number >= 1 && number <= kPortCount)
        SetChainColour(number - 1, packet[4], packet[5], packet[6]);
}

void SetColor(SettingsColor which, const uint8_t* packet) {
    SetSettingsColor(which, packet[4], packet[5], packet[6]);
}
void SetBackgroundColorCommand(const uint8_t* p) {
    SetColor(SettingsColor::Background, p);
}
void SetFrameColorCommand(const uint8_t* p) {
    SetColor(SettingsColor::Frame, p);
}
void SetGridDotColorCommand(const uint8_t* p) {
    SetColor(SettingsColor::GridDot, p);
}
void SetChainLineColorCommand(const uint8_t* p) {
    SetColor(SettingsColor::ChainLine, p);
}

void StartVideoCommand(const uint8_t* packet) {
    StartVideo(packet);
    g_values.videoPaused = 0;  // a playback always starts unpaused
}

void SetLedShapeDiskCommand(const uint8_t*) {
    g_values.ledShape = Disk;
}
void SetLedShapeSquareCommand(const uint8_t*) {
    g_values.ledShape = Square;
}
void KeyPressCommand(const uint8_t* packet) {
    KeyboardInput(packet[3], 0, 0);
}
void StopVideoCommand(const uint8_t*) {
    SetVideoModeIdle();
}
void SetEditModeCommand(const uint8_t* packet) {
    g_values.editMode = packet[3] != 0 ? 1 : 0;
}

void LoadBackgroundImageCommand(const uint8_t* packet) {
    // A path the shared path rule refuses ignores the whole command.
    char path[kPathBufferSize];
    if (!PacketPath(packet, kPathOffset, path)) return;
    SetVideoModeIdle();
    LoadBackgroundImage(packet);
}

void SetLedSizeCommand(const uint8_t* packet) {
    g_values.ledSizeFactor = packet[4];
}
void ToggleVideoPauseCommand(const uint8_t*) {
    g_values.videoPaused = !g_values.videoPaused;
}
void SaveFrameImageCommand(const uint8_t*) {
    g_values.frameImageRequest = 1;
}
void ToggleBoundingFrameCommand(const uint8_t*) {
    g_values.boundingFrameVisible = !g_values.boundingFrameVisible;
}

struct CommandEntry {
    CommandCode code;
    void (*handler)(const uint8_t* packet);
    bool savesSettings;
};

constexpr CommandEntry kCommandTable[] = {
    {CommandCode::UndoLastLed, UndoLastLed, false},
    {CommandCode::SaveChainFile, SaveChainFile, false},
    {CommandCode::LoadChainFile, LoadChainFile, false},
    {CommandCode::SelectPort, SelectPortCommand, false},
    {CommandCode::SetVideoPath, SetVideoPath, false},
    {CommandCode::SetPortColor, SetPortColorCommand, true},
    {CommandCode::SetBackgroundColor, SetBackgroundColorCommand, true},
    {CommandCode::SetFrameColor, SetFrameColorCommand, true},
    {CommandCode::SetGridDotColor, SetGridDotColorCommand, true},
    {CommandCode::SetChainLineColor, SetChainLineColorCommand, true},
    {CommandCode::StartVideo, StartVideoCommand, false},
    {CommandCode::SetLedShapeDisk, SetLedShapeDiskCommand, false},
    {CommandCode::SetLedShapeSquare, SetLedShapeSquareCommand, false},
    {CommandCode::KeyPress, KeyPressCommand, false},
    {CommandCode::ClearPort, ClearPort, false},
    {CommandCode::StopVideo, StopVideoCommand, false},
    {CommandCode::SaveProject, SaveProject, false},
    {CommandCode::OpenFile, OpenFile, false},
    {CommandCode::SetEditMode, SetEditModeCommand, false},
    {CommandCode::LoadBackgroundImage, LoadBackgroundImageCommand, false},
    {CommandCode::RemoveBackgroundImage, RemoveBackgroundImage, false},
    {CommandCode::SetLedSize, SetLedSizeCommand, false},
    {CommandCode::ToggleVideoPause, ToggleVideoPauseCommand, false},
    {CommandCode::SaveFrameImage, SaveFrameImageCommand, false},
    {CommandCode::ToggleBoundingFrame, ToggleBoundingFrameCommand, false},
    {CommandCode::SetVideoResize, SetVideoResize, false},
    {CommandCode::ViewJump, ViewJump, false},
    {CommandCode::SetRawFramePath, SetRawFramePath, false},
    {CommandCode::ConvertRawFrames, ConvertRawFrames, false},
};

const CommandEntry* FindCommand(uint16_t code) {
    for (const CommandEntry& entry : kCommandTable)
        if (uint16_t(entry.code) == code) return &entry;
    return nullptr;
}

}  // namespace

const CommandValues& Values() {
    return g_values;
}
void SetVideoPaused(uint8_t paused) {
    g_values.videoPaused = paused;
}
void ClearFrameImageRequest() {
    g_values.frameImageRequest = 0;
}

void DispatchCommand(const uint8_t* packet, int) {
    SendWindowGeometryMessage();
    std::printf("Send_Windows_Pos \n");
    std::fflush(stdout);
    const CommandEntry* entry = FindCommand(ReadBE16(packet));
    if (entry == nullptr) return;
    entry->handler(packet);
    if (entry->savesSettings) SaveSettings();
}

void ResetCommandValues() {
    g_values = kStartValues;
}
