// Whole-file replacement through a temporary file and a rename.
#include "common/file_io.h"

#include <cstdio>
#include <string>

namespace {

FILE* DefaultOpen(const char* path, const char* mode) {
    return std::fopen(path, mode);
}
size_t DefaultWrite(const void* data, size_t size, size_t count, FILE* file) {
    return std::fwrite(data, size, count, file);
}
int DefaultFlush(FILE* file) {
    return std::fflush(file);
}
int DefaultClose(FILE* file) {
    return std::fclose(file);
}
int DefaultRename(const char* from, const char* to) {
    return std::rename(from, to);
}
size_t DefaultRead(void* data, size_t size, size_t count, FILE* file) {
    return std::fread(data, size, count, file);
}

constexpr FileSyscalls kDefaultSyscalls = {DefaultOpen,  DefaultWrite,  DefaultFlush,
                                           DefaultClose, DefaultRename, DefaultRead};
FileSyscalls g_syscalls = kDefaultSyscalls;

}  // namespace

FileSyscalls& CurrentFileSyscalls() {
    return g_syscalls;
}

void ResetFileSyscalls() {
    g_syscalls = kDefaultSyscalls;
}

bool SaveFileReplacing(const char* path, const void* data, size_t size) {
    // An existing target that cannot be opened for update stays as it is.
    if (FILE* existing = std::fopen(path, "rb")) {
        std::fclose(existing);
        FILE* writable = g_syscalls.open(path, "rb+");
        if (writable == nullptr) return false;
        g_syscalls.close(writable);
    }
    std::string temporary = std::string(path) + ".part";
    FILE* file = g_syscalls.open(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = size == 0 || g_syscalls.write(data, 1, size, file) == size;
    written = g_syscalls.flush(file) == 0 && written;
    written = g_syscalls.close(file) == 0 && written;
    if (!written || g_syscalls.rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

long FileSizeOf(const char* path) {
    FILE* file = g_syscalls.open(path, "rb");
    if (file == nullptr) return -1;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    g_syscalls.close(file);
    return size;
}

bool ReadFilePrefix(const char* path, size_t limit, std::vector<uint8_t>& bytes) {
    bytes.clear();
    FILE* file = g_syscalls.open(path, "rb");
    if (file == nullptr) return false;
    bytes.resize(limit);
    size_t got = limit == 0 ? 0 : g_syscalls.read(bytes.data(), 1, limit, file);
    bytes.resize(got);
    g_syscalls.close(file);
    return true;
}

bool ReadFileAt(const char* path, long offset, void* data, size_t size, size_t* got) {
    *got = 0;
    FILE* file = g_syscalls.open(path, "rb");
    if (file == nullptr) return false;
    const bool reached = std::fseek(file, offset, SEEK_SET) == 0;
    if (reached && size > 0) *got = g_syscalls.read(data, 1, size, file);
    g_syscalls.close(file);
    return reached;
}
