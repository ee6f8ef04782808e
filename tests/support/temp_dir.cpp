// Test helpers that need nothing of the program: temporary working
// directories and whole-file reads and writes.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

ScopedTempDir::ScopedTempDir(const char* prefix) {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) previous_ = cwd;
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : "/tmp";
    if (chdir(path_.c_str()) != 0) std::perror("chdir");
}

ScopedTempDir::~ScopedTempDir() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) std::perror("chdir");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string BuildDirectory() {
    const char* dir = getenv("QUORVANE_BUILD_DIR");
    return dir ? dir : ".";
}
