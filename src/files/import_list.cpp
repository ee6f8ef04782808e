// Reading the import list file. The parse itself is ParseImportNames: two
// characters are skipped after every ".iql" (the CR LF line end), and the
// list is cut before a 257th name or a name longer than 511 characters.
#include "files/import_list.h"

#include <cstring>
#include <vector>

#include "common/file_io.h"
#include "platform/boxes.h"
#include "platform/sys.h"

namespace {

ImportNameList g_names;

// Beyond this many bytes no entry can start: 256 names of at most 511
// characters, each followed by the two skipped ones. A larger file is read
// only this far.
constexpr size_t kListReadLimit = kImportNameCount * (kImportNameSize + 1);

}  // namespace

const ImportNameList& CurrentImportNames() {
    return g_names;
}

void EmptyImportNameList() {
    std::memset(&g_names, 0, sizeof g_names);
}

int ReadImportList(const char* path) {
    if (!Sys_FileExists(path)) {
        ShowErrorBox("Error access file ");
        return 0;
    }
    long size = FileSizeOf(path);
    if (size <= 0) return 0;
    std::vector<uint8_t> bytes;
    size_t limit = size_t(size) < kListReadLimit ? size_t(size) : kListReadLimit;
    if (!ReadFilePrefix(path, limit, bytes) || bytes.empty()) return 0;
    bytes.push_back(0);
    return ParseImportList(reinterpret_cast<const char*>(bytes.data()));
}

int ParseImportList(const char* text) {
    return ParseImportNames(text, g_names);
}

void ResetImportList() {
    EmptyImportNameList();
}
