// The command dispatcher: every packet first sends the window geometry and
// logs "Send_Windows_Pos ", then runs the handler that the command table
// names for its code; the messages the handler sends go out together when it
// ends. Each table row also names the command's argument
// kind; the dispatcher checks it once (port field, path at offset 4) and
// hands the handler the checked values, so no handler repeats the rules.
// The small commands that only set a run-wide value are written here; the
// others belong to the layers that do the work.
//
// Handlers get the whole 2048-byte mailbox copy and never its length: a
// packet shorter than what its command reads sees the stale bytes of earlier
// packets, but every read stays inside the buffer.
#include "net/dispatch.h"

#include <cstdio>

#include "app/edit.h"
#include "app/input.h"
#include "app/view.h"
#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "files/chain_file.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "net/messages.h"
#include "net/server.h"
#include "render/background.h"
#include "render/scene.h"
#include "render/settings.h"
#include "render/view_state.h"
#include "video/video.h"

namespace {

// What the dispatcher checks before a handler runs.
enum class ArgKind : uint8_t {
    None,            // the handler reads the packet itself
    PortIndex,       // bytes 2-3: index 0..255; others ignore the command
    PortNumber,      // bytes 2-3: number 1..256, 0 counts as 1; above 256 ignores it
    PortNumberNot0,  // bytes 2-3: number 1..256; 0 and above 256 ignore it
    Path,            // path at offset 4; a refused path ignores the command
    PathOrEmpty,     // path at offset 4; a refused path is handed on as ""
    PortNumberPath,  // PortNumber, then Path
};

struct CommandArgs {
    const uint8_t* packet;
    int port;          // port index 0..255 for the port kinds
    const char* path;  // for the path kinds
};

HeaderView CurrentHeaderView() {
    const ViewState& view = View();
    return {view.cellSize, view.scrollX, view.scrollY};
}

void UndoLastLedCommand(const CommandArgs& a) {
    UndoLastLed(a.port);
}
void SaveChainFileCommand(const CommandArgs& a) {
    SaveChainFile(uint16_t(a.port + 1), a.path);
}
void LoadChainFileCommand(const CommandArgs& a) {
    LoadChainFile(a.path);
}
void SelectPortCommand(const CommandArgs& a) {
    SelectCurrentPort(uint16_t(a.port));
}
void SetVideoPathCommand(const CommandArgs& a) {
    SetVideoPath(a.path);
}
void SetPortColorCommand(const CommandArgs& a) {
    SetChainColor(a.port, a.packet[kColorOffset], a.packet[kColorOffset + 1],
                  a.packet[kColorOffset + 2]);
}

void SetColor(SettingsColor which, const uint8_t* packet) {
    SetSettingsColor(which, packet[kColorOffset], packet[kColorOffset + 1],
                     packet[kColorOffset + 2]);
}
void SetBackgroundColorCommand(const CommandArgs& a) {
    SetColor(SettingsColor::Background, a.packet);
}
void SetFrameColorCommand(const CommandArgs& a) {
    SetColor(SettingsColor::Frame, a.packet);
}
void SetGridDotColorCommand(const CommandArgs& a) {
    SetColor(SettingsColor::GridDot, a.packet);
}
void SetChainLineColorCommand(const CommandArgs& a) {
    SetColor(SettingsColor::ChainLine, a.packet);
}

void StartVideoCommand(const CommandArgs& a) {
    StartVideo(a.packet);
    SetVideoPaused(false);  // a playback always starts unpaused
}

void SetLedShapeDiskCommand(const CommandArgs&) {
    SetLedShape(LedShape::Disk);
}
void SetLedShapeSquareCommand(const CommandArgs&) {
    SetLedShape(LedShape::Square);
}
void KeyPressCommand(const CommandArgs& a) {
    KeyboardInput(a.packet[3], 0, 0);
}
void ClearPortCommand(const CommandArgs& a) {
    ClearPort(a.port);
}
void StopVideoCommand(const CommandArgs&) {
    SetVideoModeIdle();
}
void SaveProjectCommand(const CommandArgs& a) {
    SaveProject(a.path, CurrentHeaderView());
}
void OpenFileCommand(const CommandArgs& a) {
    HeaderView view = CurrentHeaderView();
    OpenFile(a.path, view);
    SetView(view.cellSize, view.scrollX, view.scrollY);
}
void SetEditModeCommand(const CommandArgs& a) {
    SetEditMode(a.packet[3] != 0 ? 1 : 0);
}
void LoadBackgroundImageCommand(const CommandArgs& a) {
    SetVideoModeIdle();
    LoadBackgroundImage(a.path);
}
void RemoveBackgroundImageCommand(const CommandArgs&) {
    RemoveBackgroundImage();
}
void SetLedSizeCommand(const CommandArgs& a) {
    SetLedSizeFactor(a.packet[4]);
}
void ToggleVideoPauseCommand(const CommandArgs&) {
    ToggleVideoPause();
}
void SaveFrameImageCommand(const CommandArgs&) {
    RequestFrameImage();
}
void ToggleBoundingFrameCommand(const CommandArgs&) {
    ToggleBoundingFrame();
}
void SetVideoResizeCommand(const CommandArgs& a) {
    SetVideoResize(a.packet);
}
void ViewJumpCommand(const CommandArgs& a) {
    ViewJump(a.packet);
}
void SetRawFramePathCommand(const CommandArgs& a) {
    SetRawFramePath(a.path);
}
void ConvertRawFramesCommand(const CommandArgs& a) {
    ConvertRawFrames(a.packet);
}

struct CommandEntry {
    CommandCode code;
    ArgKind kind;
    void (*handler)(const CommandArgs& args);
    bool savesSettings;
};

constexpr CommandEntry kCommandTable[] = {
    {CommandCode::UndoLastLed, ArgKind::PortNumber, UndoLastLedCommand, false},
    {CommandCode::SaveChainFile, ArgKind::PortNumberPath, SaveChainFileCommand, false},
    {CommandCode::LoadChainFile, ArgKind::Path, LoadChainFileCommand, false},
    {CommandCode::SelectPort, ArgKind::PortIndex, SelectPortCommand, false},
    {CommandCode::SetVideoPath, ArgKind::PathOrEmpty, SetVideoPathCommand, false},
    {CommandCode::SetPortColor, ArgKind::PortNumberNot0, SetPortColorCommand, true},
    {CommandCode::SetBackgroundColor, ArgKind::None, SetBackgroundColorCommand, true},
    {CommandCode::SetFrameColor, ArgKind::None, SetFrameColorCommand, true},
    {CommandCode::SetGridDotColor, ArgKind::None, SetGridDotColorCommand, true},
    {CommandCode::SetChainLineColor, ArgKind::None, SetChainLineColorCommand, true},
    {CommandCode::StartVideo, ArgKind::None, StartVideoCommand, false},
    {CommandCode::SetLedShapeDisk, ArgKind::None, SetLedShapeDiskCommand, false},
    {CommandCode::SetLedShapeSquare, ArgKind::None, SetLedShapeSquareCommand, false},
    {CommandCode::KeyPress, ArgKind::None, KeyPressCommand, false},
    {CommandCode::ClearPort, ArgKind::PortIndex, ClearPortCommand, false},
    {CommandCode::StopVideo, ArgKind::None, StopVideoCommand, false},
    {CommandCode::SaveProject, ArgKind::Path, SaveProjectCommand, false},
    {CommandCode::OpenFile, ArgKind::Path, OpenFileCommand, false},
    {CommandCode::SetEditMode, ArgKind::None, SetEditModeCommand, false},
    {CommandCode::LoadBackgroundImage, ArgKind::Path, LoadBackgroundImageCommand, false},
    {CommandCode::RemoveBackgroundImage, ArgKind::None, RemoveBackgroundImageCommand, false},
    {CommandCode::SetLedSize, ArgKind::None, SetLedSizeCommand, false},
    {CommandCode::ToggleVideoPause, ArgKind::None, ToggleVideoPauseCommand, false},
    {CommandCode::SaveFrameImage, ArgKind::None, SaveFrameImageCommand, false},
    {CommandCode::ToggleBoundingFrame, ArgKind::None, ToggleBoundingFrameCommand, false},
    {CommandCode::SetVideoResize, ArgKind::None, SetVideoResizeCommand, false},
    {CommandCode::ViewJump, ArgKind::None, ViewJumpCommand, false},
    {CommandCode::SetRawFramePath, ArgKind::PathOrEmpty, SetRawFramePathCommand, false},
    // 209's output name starts at offset 12; its handler reads it.
    {CommandCode::ConvertRawFrames, ArgKind::None, ConvertRawFramesCommand, false},
};

const CommandEntry* FindCommand(uint16_t code) {
    for (const CommandEntry& entry : kCommandTable)
        if (uint16_t(entry.code) == code) return &entry;
    return nullptr;
}

// Fills the port of the port kinds; false when the command is to be ignored.
bool CheckPort(ArgKind kind, const uint8_t* packet, int& port) {
    const uint16_t field = PacketPort(packet);
    switch (kind) {
        case ArgKind::PortIndex:
            port = field;
            return field < kPortCount;
        case ArgKind::PortNumber:
        case ArgKind::PortNumberPath:
            port = field == 0 ? 0 : field - 1;
            return field <= kPortCount;
        case ArgKind::PortNumberNot0:
            port = field - 1;
            return field >= 1 && field <= kPortCount;
        default:
            return true;
    }
}

}  // namespace

void RunCommand(const uint8_t* packet) {
    const CommandEntry* entry = FindCommand(ReadBE16(packet));
    if (entry == nullptr) return;
    char path[kPathBufferSize] = {0};
    CommandArgs args = {packet, 0, path};
    // A command the argument rules refuse does nothing, but the settings save
    // of a colour command still runs.
    bool run = CheckPort(entry->kind, packet, args.port);
    if (run && (entry->kind == ArgKind::Path || entry->kind == ArgKind::PortNumberPath))
        run = PacketPath(packet, kPathOffset, path);
    if (entry->kind == ArgKind::PathOrEmpty) PacketPath(packet, kPathOffset, path);
    if (run) entry->handler(args);
    if (entry->savesSettings) SaveSettings();
}

void DispatchCommand(const uint8_t* packet, int) {
    SendWindowGeometryMessage();
    std::printf("Send_Windows_Pos \n");
    std::fflush(stdout);
    HoldSends();
    RunCommand(packet);
    ReleaseSends();
}
