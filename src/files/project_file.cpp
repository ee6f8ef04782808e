// The project file and the path state. The header is built in memory and
// written whole, so a failed save leaves the former project file intact.
#include "files/project_file.h"

#include <cstring>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "files/chain_file.h"

namespace {

char g_projectPath[kProjectPathLimit + 1];
char g_projectDirectory[kProjectPathLimit + 1];
char g_projectFileName[kProjectFileNameLimit + 1];
ProjectHeader g_header;

std::string ChainPathFor(const std::string& directory, const std::string& name, int portNumber) {
    return JoinPath(directory, std::to_string(portNumber) + name + ".line");
}

}  // namespace

const char* ProjectPath() {
    return g_projectPath;
}
const char* ProjectDirectory() {
    return g_projectDirectory;
}
const char* ProjectFileName() {
    return g_projectFileName;
}

bool SetProjectPaths(const char* path) {
    if (std::strlen(path) > kProjectPathLimit) return false;
    std::string directory = DirectoryOf(path);
    std::string name = FileNameOf(path);
    if (name.size() > kProjectFileNameLimit) return false;
    if (ChainPathFor(directory, name, kPortCount).size() > kChainPathLimit) return false;
    std::strcpy(g_projectPath, path);
    std::strcpy(g_projectDirectory, directory.c_str());
    std::strcpy(g_projectFileName, name.c_str());
    return true;
}

std::string ChainFilePath(int portNumber) {
    return ChainPathFor(g_projectDirectory, g_projectFileName, portNumber);
}

const ProjectHeader& CurrentProjectHeader() {
    return g_header;
}

void ReplaceProjectHeader(const bool flags[kPortCount], uint16_t scrollX, uint16_t scrollY,
                          uint8_t cellSize) {
    std::memset(&g_header, 0, sizeof g_header);
    for (int port = 0; port < kPortCount; ++port) SetHeaderPortFlag(g_header, port, flags[port]);
    SetHeaderView(g_header, scrollX, scrollY, cellSize);
}

void ReadProjectHeader(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(path, kProjectHeaderSize, bytes)) return;
    ApplyProjectHeaderBytes(g_header, bytes.data(), bytes.size());
}

void SaveProject(const char* path, const HeaderView& view) {
    if (!SetProjectPaths(path)) return;
    SetHeaderView(g_header, view.scrollX, view.scrollY, uint8_t(view.cellSize));
    for (int port = 0; port < kPortCount; ++port)
        SetHeaderPortFlag(g_header, port, ChainLength(port) > 0);
    if (!SaveFileReplacing(g_projectPath, g_header.bytes, sizeof g_header.bytes)) return;
    for (int port = 0; port < kPortCount; ++port) {
        if (HeaderPortFlag(g_header, port))
            SaveChainFile(uint16_t(port + 1), ChainFilePath(port + 1).c_str());
    }
}

void ResetProjectFile() {
    g_projectPath[0] = g_projectDirectory[0] = g_projectFileName[0] = '\0';
    std::memset(&g_header, 0, sizeof g_header);
}
