// The scripted platform layer for tests. Message boxes and save dialogs are
// recorded and answered from a queue instead of being shown; program starts
// are recorded and then really made (starting a process needs no person).
//
// In-process tests use the functions below. The scripted program build
// (quorvane_scripted) reads the same script from the environment at Sys_Init:
//   QUORVANE_SCRIPT      a file with one answer per line, used in order:
//                          ok | yes | no          answer of the next box
//                          path <file path>       next save dialog chooses it
//                          cancel                 next save dialog is cancelled
//   QUORVANE_SCRIPT_LOG  a file to which every box, dialog and program start
//                        is appended as one flushed line:
//                          box style=0x00001010 caption="Error" text="..." answer=1
//                          save name="Bin Files" pattern="*.led" ext="led" mustExist=1
//                          answer="/x.led" save ... answer=cancel launch "Quorvane_Net.exe"
//                        Strings are written byte for byte except '"', '\\'
//                        and bytes outside 0x20..0x7E, which become \" \\ \xNN.
//   QUORVANE_SCRIPT_SCREEN  the screen size as WxH (default 1920x1080).
// When the queue is empty a box answers OK (Yes for a Yes/No box) and a save
// dialog is cancelled.
#pragma once

#include <string>
#include <vector>

struct FakeBox {
    std::string text;
    std::string caption;
    unsigned style;
    int answer;
};

struct FakeSaveDialog {
    std::string filterName;
    std::string filterPattern;
    std::string defaultExtension;
    bool mustExist;
    bool chosen;
    std::string path;
};

// Empties the queue and the records, restores the screen size and closes
// the script log (a later Sys_Init opens it again).
void FakeSys_Reset();
void FakeSys_QueueBoxAnswer(int answer);                // kIdOk, kIdYes, kIdNo
void FakeSys_QueueSaveAnswer(const std::string& path);  // a chosen path
void FakeSys_QueueSaveCancel();
void FakeSys_SetScreenSize(int width, int height);

const std::vector<FakeBox>& FakeSys_Boxes();
const std::vector<FakeSaveDialog>& FakeSys_SaveDialogs();
const std::vector<std::string>& FakeSys_LaunchedPrograms();

// The log-line escaping, for tests that compare log lines.
std::string FakeSys_Escape(const std::string& bytes);
