// Chain files on disk and into the model. Every load installs its chain
// whole with a fresh one-level history (InstallLoadedChain), so one undo
// returns the port to level 0.
#include "files/chain_file.h"

#include <cstring>
#include <vector>

#include "common/file_io.h"
#include "common/report.h"
#include "files/file_formats.h"
#include "model/layout.h"
#include "platform/sys.h"

namespace {

// The longest file whose header and arrays can matter: N = 65535.
constexpr size_t kChainFileReadLimit = kChainHeaderSize + 4 * 65535;

bool OnGrid(int x, int y) {
    return x >= 0 && x <= kGridMax && y >= 0 && y <= kGridMax;
}

}  // namespace

bool ReadChainFile(const char* path, ChainFileData& out) {
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(path, kChainFileReadLimit, bytes)) return false;
    return ParseChainFile(bytes.data(), bytes.size(), out);
}

void SaveChainFile(uint16_t portNumber, const char* path) {
    if (portNumber > kPortCount) return;
    int port = portNumber == 0 ? 0 : portNumber - 1;
    std::vector<uint8_t> bytes =
        BuildChainFile(ChainColor(port), uint16_t(port), CurrentPoints(port), ChainLength(port));
    SaveFileReplacing(path, bytes.data(), bytes.size());
}

std::string ChainReplaceQuestionText(int port) {
    return "In the chain of the port \xB9" + std::to_string(port + 1) +
           " there are already elements, want to download the file?";
}

bool ChainReplaceQuestion(int port) {
    std::string text = ChainReplaceQuestionText(port);
    return Sys_MessageBox(text.c_str(), "A warning", kMbSystemModal | kMbIconWarning | kMbYesNo) ==
           kIdYes;
}

void LoadChainFile(const char* path) {
    static ChainFileData file;
    if (!ReadChainFile(path, file)) return;
    int port = CurrentPort();
    int level = CurrentLevel(port);
    if (level > 1 && !ChainReplaceQuestion(port)) return;

    // Level 0: the chain stays where the file put it, in the file's colour.
    // Otherwise it moves so that its first LED lands on the port's first LED.
    ChainPoint anchor = file.count > 0 ? file.points[0] : ChainPoint{0, 0};
    uint8_t color[3];
    std::memcpy(color, file.color, 3);
    if (level != 0) {
        anchor = LevelPoints(port, level)[0];
        std::memcpy(color, ChainColor(port), 3);
    }

    // The port's own LEDs do not stop the cut: they leave the grid first.
    UnmarkChain(port);
    static ChainPoint points[kChainCapacity];
    int taken = 0;
    for (int i = 0; i < file.count; ++i) {
        if (i == 0) {
            points[0] = anchor;
            taken = 1;
            continue;
        }
        int x = int16_t(uint16_t(file.points[i].x - file.points[0].x + anchor.x));
        int y = int16_t(uint16_t(file.points[i].y - file.points[0].y + anchor.y));
        if (!OnGrid(x, y) || CellAt(x, y).occupied) break;
        points[i] = {uint16_t(x), uint16_t(y)};
        taken = i + 1;
    }
    // The lit flag is set for every LED tried, the one that stopped the cut too.
    int lit = taken < file.count ? taken + 1 : file.count;
    InstallLoadedChain(port, color, points, uint16_t(taken), lit);
    ReportPortLoaded(uint16_t(port));
}

void RestoreChainFile(const char* path) {
    static ChainFileData file;
    if (!ReadChainFile(path, file)) return;
    int port = file.port;
    bool replacing = LevelCount(port, 1) > 0;
    if (replacing && !ChainReplaceQuestion(port)) return;
    InstallLoadedChain(port, file.color, file.points, file.count, file.count);
    ReportPortLoaded(uint16_t(port));
}
