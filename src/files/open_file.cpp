// Opening a project file or an import list (command 177), and the packet
// entry points of the layout-file commands 161, 162 and 176. Whatever the
// file turns out to be, an open empties the layout and sets the view from
// the project header before any chain is loaded.
#include <cstring>

#include "app/view.h"
#include "common/boxes.h"
#include "common/common.h"
#include "common/packet.h"
#include "files/chain_file.h"
#include "files/encrypted_import.h"
#include "files/import_list.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys.h"

void OpenFile(const char* path) {
    if (!SetProjectPaths(path)) return;
    bool listRead = false;
    bool projectRead = false;

    if (std::strstr(ProjectFileName(), ".iqp") != nullptr) {
        EmptyImportNameList();
        EmptyImportedChainTable();
        int count = ReadImportList(ProjectPath());
        LoadImportFiles(count);
        FlagImportedPorts();
        listRead = true;
    }
    if (std::strstr(ProjectFileName(), ".quor") != nullptr) {
        ReadProjectHeader(ProjectPath());
        projectRead = true;
    }
    if (!listRead && !projectRead) {
        ShowErrorBox("the file is corrupted or has an incorrect extension!");
    }

    ClearGrid();
    HeaderView view = ClampedHeaderView(CurrentProjectHeader());
    SetView(view.cellSize, view.scrollX, view.scrollY);
    for (int port = 0; port < kPortCount; ++port) EmptyPortChain(port);

    if (projectRead) {
        for (int number = 1; number <= kPortCount; ++number) {
            if (HeaderPortFlag(CurrentProjectHeader(), number - 1))
                RestoreChainFile(ChainFilePath(number).c_str());
        }
    }
    if (listRead) {
        for (int port = 0; port < kPortCount; ++port) InstallImportedChain(port);
    }
}

void OpenFile(const uint8_t* packet) {
    char path[kPathBufferSize];
    if (PacketPath(packet, kPathOffset, path)) OpenFile(path);
}

void SaveProject(const uint8_t* packet) {
    char path[kPathBufferSize];
    if (PacketPath(packet, kPathOffset, path)) SaveProject(path);
}

void SaveChainFile(const uint8_t* packet) {
    char path[kPathBufferSize];
    if (PacketPath(packet, kPathOffset, path)) SaveChainFile(PacketPort(packet), path);
}

void LoadChainFile(const uint8_t* packet) {
    char path[kPathBufferSize];
    if (PacketPath(packet, kPathOffset, path)) LoadChainFile(path);
}

void ResetLayoutFiles() {
    ResetProjectFile();
    ResetImportList();
    ResetEncryptedImport();
    SetPortLoadedObserver(nullptr);
}
