// Shared test helpers.
#include "support/test_support.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/settings.h"
#include "app/view.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "platform/sys_fake.h"
#include "render/background.h"
#include "video/video.h"
#include "render/scene.h"

ScopedTempDir::ScopedTempDir() {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) previous_ = cwd;
    char pattern[] = "/tmp/quorvane-test-XXXXXX";
    char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
    if (chdir(path_.c_str()) != 0) std::perror("chdir");
}

ScopedTempDir::~ScopedTempDir() {
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) std::perror("chdir");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ResetRunState() {
    ResetSettings();
    ResetView();
    ResetLayoutModel();
    ResetCommandValues();
    ResetSceneState();
    ResetLayoutFiles();
    ResetBackgroundImage();
    ResetVideoState();
    FakeSys_Reset();
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
