// Fuzzes the import list parser with any text: at most 256 names, each a
// NUL-terminated string of at most 511 characters ending in ".iql".
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/file_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ImportNameList list;
    std::string text(reinterpret_cast<const char*>(data), size);
    int count = ParseImportNames(text.c_str(), list);
    if (count < 0 || count > kImportNameCount || count != list.count) std::abort();
    for (int k = 0; k < count; ++k) {
        size_t length = strnlen(list.names[k], kImportNameSize);
        if (length >= kImportNameSize || length < 4) std::abort();
        if (std::strcmp(list.names[k] + length - 4, ".iql") != 0) std::abort();
    }
    return 0;
}
