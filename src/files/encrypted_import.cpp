// Encrypted chain files (.iql) into the ImportedChainTable and from there
// into the ports. Decoding and the cut-or-refuse rules are in
// DecodeImportFile; this file does the reading, the messages and the model.
#include "files/encrypted_import.h"

#include <cstring>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "common/report.h"
#include "files/chain_file.h"
#include "files/import_list.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/boxes.h"
#include "platform/sys.h"

namespace {

ImportRecord g_importedChainTable[kPortCount];

}  // namespace

void EmptyImportedChainTable() {
    std::memset(g_importedChainTable, 0, sizeof g_importedChainTable);
}

bool LoadImportFiles(int n) {
    const ImportNameList& names = CurrentImportNames();
    static ImportRecord record;
    for (int k = 0; k < n && k < kImportNameCount; ++k) {
        std::string path = JoinPath(ProjectDirectory(), names.names[k]);
        if (!Sys_FileExists(path.c_str())) {
            ShowErrorBox("Error access file ");
            return false;
        }
        if (FileSizeOf(path.c_str()) != long(kImportRecordSize)) {
            ShowErrorBox("Error size *.iql file ");
            return false;
        }
        std::vector<uint8_t> bytes;
        if (!ReadFilePrefix(path.c_str(), kImportRecordSize, bytes)) {
            ShowErrorBox("Error size *.iql file ");
            return false;
        }
        if (bytes.empty()) return false;
        if (DecodeImportFile(bytes.data(), bytes.size(), record) != ImportDecode::Ok) {
            ShowErrorBox("Error size *.iql file ");
            return false;
        }
        g_importedChainTable[ImportPortField(record)] = record;
    }
    return true;
}

void FlagImportedPorts() {
    bool flags[kPortCount];
    for (int port = 0; port < kPortCount; ++port)
        flags[port] = ImportLedCount(g_importedChainTable[port]) > 0;
    ReplaceProjectHeader(flags, 0, kGridMax, 16);
}

void InstallImportedChain(int port) {
    if (!HeaderPortFlag(CurrentProjectHeader(), port)) return;
    const ImportRecord& record = g_importedChainTable[port];
    uint16_t count = ImportLedCount(record);
    bool replacing = LevelCount(port, 1) > 0;
    if (replacing && !ChainReplaceQuestion(port)) return;
    static ChainPoint points[kChainCapacity];
    if (count > kChainCapacity) count = kChainCapacity;
    for (int i = 0; i < count; ++i) points[i] = ImportLedPoint(record, i);
    const uint8_t grey[3] = {127, 127, 127};
    InstallLoadedChain(port, grey, points, count, count);
    ReportPortLoaded(uint16_t(port));
}

void ResetEncryptedImport() {
    EmptyImportedChainTable();
}
