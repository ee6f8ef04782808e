// Memory and speed of raw frames to video: a raw file of 2048 x 2048
// frames (sparse, so it takes no disk space to make) converted to an AVI
// with the real writer. Target: the peak resident memory grows by less than
// 64 MiB whatever the size of the raw file (one frame is 12 MiB), since the
// file is read frame by frame while the video is written. Also prints the
// throughput in MiB of raw frames per second.
//
//   raw_video_memory [frames]   (default 16 frames, 192 MiB; the AVI is as large)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "platform/sys_fake.h"
#include "video/video.h"

namespace {

// A line of /proc/self/status in KiB, -1 when unreadable.
long StatusKiB(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, std::strlen(field)) == 0) {
            std::sscanf(line + std::strlen(field), "%ld", &kib);
            break;
        }
    }
    std::fclose(status);
    return kib;
}

std::vector<uint8_t> PathPacket(CommandCode code, const std::string& path) {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(code));
    std::memcpy(packet.data() + 4, path.c_str(), path.size());
    return packet;
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : 16;
    const long long frameLength = 2048LL * 2048 * 3;
    const std::string dir = std::filesystem::temp_directory_path() / "quorvane-raw-bench";
    std::filesystem::create_directories(dir);
    const std::string raw = dir + "/frames.raw";
    const std::string avi = dir + "/out.avi";
    const int fd = ::open(raw.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, off_t(frames * frameLength)) != 0) {
        std::fprintf(stderr, "raw_video_memory: cannot make %s\n", raw.c_str());
        return 1;
    }
    ::close(fd);

    SetRawFramePath(raw.c_str());
    std::vector<uint8_t> convert = PathPacket(CommandCode::ConvertRawFrames, "");
    std::memcpy(convert.data() + 4, "2048", 4);
    std::memcpy(convert.data() + 8, "2048", 4);
    std::memcpy(convert.data() + 12, avi.c_str(), avi.size());

    const long before = StatusKiB("VmHWM:");
    const auto start = std::chrono::steady_clock::now();
    ConvertRawFrames(convert.data());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long growth = StatusKiB("VmHWM:") - before;

    const bool saved = !FakeSys_Boxes().empty() &&
                       FakeSys_Boxes().back().text == "Video file was successfully saved!";
    const double rawMiB = double(frames * frameLength) / (1024.0 * 1024.0);
    std::printf("raw file:                 %8.1f MiB (%ld frames of 2048 x 2048)\n", rawMiB,
                frames);
    std::printf("video written:            %s, %.1f MiB\n", saved ? "yes" : "NO",
                double(std::filesystem::file_size(avi)) / (1024.0 * 1024.0));
    std::printf("peak resident growth:     %8.1f MiB (target < 64 MiB) %s\n", growth / 1024.0,
                growth < 64 * 1024 ? "ok" : "OVER");
    std::printf("throughput:               %8.1f MiB/s\n", rawMiB / seconds);
    std::filesystem::remove_all(dir);
    return saved ? 0 : 1;
}
