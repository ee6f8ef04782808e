// Opening a project file or an import list (command 177). Whatever the file
// turns out to be, an open empties the layout and sets the view from the
// project header before any chain is loaded.
#include <cstring>

#include "common/common.h"
#include "files/chain_file.h"
#include "files/encrypted_import.h"
#include "files/import_list.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/boxes.h"
#include "platform/sys.h"

void OpenFile(const char* path, HeaderView& view) {
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
    view = ClampedHeaderView(CurrentProjectHeader());
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

void ResetLayoutFiles() {
    ResetProjectFile();
    ResetImportList();
    ResetEncryptedImport();
}
