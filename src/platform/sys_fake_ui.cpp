// Scripted stand-ins for the interactive platform services: boxes and save
// dialogs are recorded and answered from a queue (filled by tests or from
// the QUORVANE_SCRIPT file), program starts are recorded and then made.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>

#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "platform/sys_spawn.h"

namespace {

struct Answer {
    enum Kind { Box, SavePath, SaveCancel } kind;
    int box;
    std::string path;
};

std::deque<Answer> g_answers;
std::vector<FakeBox> g_boxes;
std::vector<FakeSaveDialog> g_saves;
std::vector<std::string> g_launched;
int g_screenWidth = 1920;
int g_screenHeight = 1080;
FILE* g_log = nullptr;

void LogLine(const std::string& line) {
    if (g_log == nullptr) return;
    std::fputs(line.c_str(), g_log);
    std::fputc('\n', g_log);
    std::fflush(g_log);
}

void ReadScript(const char* path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "ok")
            FakeSys_QueueBoxAnswer(kIdOk);
        else if (line == "yes")
            FakeSys_QueueBoxAnswer(kIdYes);
        else if (line == "no")
            FakeSys_QueueBoxAnswer(kIdNo);
        else if (line == "cancel")
            FakeSys_QueueSaveCancel();
        else if (line.rfind("path ", 0) == 0)
            FakeSys_QueueSaveAnswer(line.substr(5));
    }
}

}  // namespace

std::string FakeSys_Escape(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

void FakeSys_Reset() {
    if (g_log != nullptr) std::fclose(g_log);
    g_log = nullptr;
    g_answers.clear();
    g_boxes.clear();
    g_saves.clear();
    g_launched.clear();
    g_screenWidth = 1920;
    g_screenHeight = 1080;
}

void FakeSys_QueueBoxAnswer(int answer) {
    g_answers.push_back({Answer::Box, answer, {}});
}
void FakeSys_QueueSaveAnswer(const std::string& path) {
    g_answers.push_back({Answer::SavePath, 0, path});
}
void FakeSys_QueueSaveCancel() {
    g_answers.push_back({Answer::SaveCancel, 0, {}});
}
void FakeSys_SetScreenSize(int width, int height) {
    g_screenWidth = width;
    g_screenHeight = height;
}
const std::vector<FakeBox>& FakeSys_Boxes() {
    return g_boxes;
}
const std::vector<FakeSaveDialog>& FakeSys_SaveDialogs() {
    return g_saves;
}
const std::vector<std::string>& FakeSys_LaunchedPrograms() {
    return g_launched;
}

void Sys_Init(int*, char**) {
    if (const char* log = std::getenv("QUORVANE_SCRIPT_LOG")) {
        if (g_log != nullptr) std::fclose(g_log);
        g_log = std::fopen(log, "a");
    }
    if (const char* script = std::getenv("QUORVANE_SCRIPT")) ReadScript(script);
    if (const char* screen = std::getenv("QUORVANE_SCRIPT_SCREEN")) {
        int width = 0, height = 0;
        if (std::sscanf(screen, "%dx%d", &width, &height) == 2)
            FakeSys_SetScreenSize(width, height);
    }
}

int Sys_MessageBox(const char* text, const char* caption, unsigned style) {
    int answer = (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
    if (!g_answers.empty() && g_answers.front().kind == Answer::Box) {
        answer = g_answers.front().box;
        g_answers.pop_front();
    }
    g_boxes.push_back({text, caption, style, answer});
    char head[64];
    std::snprintf(head, sizeof head, "box style=0x%08X", style);
    LogLine(std::string(head) + " caption=\"" + FakeSys_Escape(caption) + "\" text=\"" +
            FakeSys_Escape(text) + "\" answer=" + std::to_string(answer));
    return answer;
}

bool Sys_SaveFileDialog(const SysSaveDialog& dialog, char* path, size_t pathSize) {
    // As the real dialog: the path is emptied first, so a cancel leaves "".
    if (pathSize > 0) path[0] = '\0';
    FakeSaveDialog record = {dialog.filterName,
                             dialog.filterPattern,
                             dialog.defaultExtension,
                             dialog.mustExist,
                             false,
                             {}};
    if (!g_answers.empty() && g_answers.front().kind != Answer::Box) {
        if (g_answers.front().kind == Answer::SavePath) {
            record.chosen = true;
            record.path = g_answers.front().path;
        }
        g_answers.pop_front();
    }
    if (record.chosen && record.path.size() >= pathSize) record.chosen = false;
    g_saves.push_back(record);
    LogLine("save name=\"" + FakeSys_Escape(dialog.filterName) + "\" pattern=\"" +
            FakeSys_Escape(dialog.filterPattern) + "\" ext=\"" +
            FakeSys_Escape(dialog.defaultExtension) +
            "\" mustExist=" + (dialog.mustExist ? "1" : "0") + " answer=" +
            (record.chosen ? "\"" + FakeSys_Escape(record.path) + "\"" : std::string("cancel")));
    if (!record.chosen) return false;
    std::memcpy(path, record.path.c_str(), record.path.size() + 1);
    return true;
}

bool Sys_StartProgram(const char* path) {
    g_launched.push_back(path);
    LogLine("launch \"" + FakeSys_Escape(path) + "\"");
    // Started like the real layer does it, child reaped by its own waiter.
    return SpawnDetached(path);
}

void Sys_ScreenSize(int* width, int* height) {
    *width = g_screenWidth;
    *height = g_screenHeight;
}

void Sys_HideConsole() {}
