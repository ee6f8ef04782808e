// Saving a layout as a project: the bytes of the window's save, staged in
// temporary files beside their targets and renamed into place together.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/file_io.h"
#include "files/project_file.h"
#include "layouts/layouts.h"

namespace {

struct StagedFile {
    std::string target;     // the final name, symbolic links followed
    std::string temporary;  // <target>.part
    std::vector<uint8_t> bytes;
};

bool WriteTemporary(StagedFile& file, std::string* error) {
    mode_t mode = 0;
    if (!SaveTargetOf(file.target.c_str(), &file.target, &mode)) {
        *error = file.target + ": cannot write: " + std::strerror(errno);
        return false;
    }
    file.temporary = file.target + ".part";
    ::unlink(file.temporary.c_str());
    const int fd = ::open(file.temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                          mode != 0 ? mode : 0666);
    if (fd < 0) {
        *error = file.target + ": cannot write: " + std::strerror(errno);
        file.temporary.clear();
        return false;
    }
    bool ok = WriteFully(fd, file.bytes.data(), file.bytes.size());
    ok = ok && (mode == 0 || ::fchmod(fd, mode) == 0);
    ok = ok && ::fsync(fd) == 0;
    const int cause = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) *error = file.target + ": cannot write: " + std::strerror(cause);
    return ok;
}

void RemoveTemporaries(std::vector<StagedFile>& files) {
    for (StagedFile& file : files)
        if (!file.temporary.empty()) ::unlink(file.temporary.c_str());
}

}  // namespace

HeaderView StartView() {
    return {16, 0, uint16_t(kGridMax)};
}

bool SaveLayoutProject(const std::string& path, const Layout& layout, const ProjectHeader& header,
                       const HeaderView& view, std::string* error) {
    if (!SetProjectPaths(path.c_str())) {
        *error = path +
                 ": the path is too long for a project (at most 511 characters, a name "
                 "of at most 63)";
        return false;
    }
    ProjectHeader bytes = header;
    SetHeaderView(bytes, view.scrollX, view.scrollY, uint8_t(view.cellSize));
    std::vector<StagedFile> files;
    std::vector<ChainPoint> points(kChainCapacity);
    for (int port = 0; port < kPortCount; ++port) {
        const std::vector<PlacedLed>& leds = layout.ports[port];
        SetHeaderPortFlag(bytes, port, !leds.empty());
        if (leds.empty()) continue;
        for (size_t i = 0; i < leds.size(); ++i)
            points[i] = {uint16_t(leds[i].x), uint16_t(kGridMax - leds[i].y)};
        files.push_back({ChainFilePath(port + 1),
                         {},
                         BuildChainFile(layout.colors[port], uint16_t(port), points.data(),
                                        uint16_t(leds.size()))});
    }
    files.push_back(
        {path, {}, std::vector<uint8_t>(bytes.bytes, bytes.bytes + sizeof bytes.bytes)});

    for (StagedFile& file : files) {
        if (!WriteTemporary(file, error)) {
            RemoveTemporaries(files);
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (::rename(files[i].temporary.c_str(), files[i].target.c_str()) != 0) {
            *error = files[i].target + ": cannot write: " + std::strerror(errno);
            for (size_t j = i; j < files.size(); ++j) ::unlink(files[j].temporary.c_str());
            return false;
        }
    }
    if (!SyncDirectoryOf(path.c_str())) {
        *error = path + ": cannot sync its directory: " + std::strerror(errno);
        return false;
    }
    return true;
}
