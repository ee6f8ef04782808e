// Opening a full project through the real loader: 256 ports x 2048 LEDs,
// the project file and its 256 chain files in a temporary directory, opened
// with OpenFile as command 177 does (target: at most 100 ms). Linked with the
// file layer and the scripted platform layer only.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"

namespace {

constexpr int kRuns = 7;
constexpr double kTargetMs = 100.0;

// Every port a full chain on its own rows: LED i of port p at (i, 8p).
void BuildFullLayout() {
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < kPortCount; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) points[i] = {uint16_t(i), uint16_t(port * 8)};
        const uint8_t color[3] = {uint8_t(port), 100, 200};
        InstallLoadedChain(port, color, points, kChainCapacity, kChainCapacity);
    }
}

bool LayoutIsFull() {
    for (int port = 0; port < kPortCount; ++port) {
        if (ChainLength(port) != kChainCapacity) return false;
        const ChainPoint last = CurrentPoints(port)[kChainCapacity - 1];
        if (last.x != kChainCapacity - 1 || last.y != port * 8) return false;
        if (CellAt(last.x, last.y).port != port) return false;
    }
    return true;
}

}  // namespace

int main() {
    char directory[] = "/tmp/quorvane-open-project-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        std::perror("open_project: mkdtemp");
        return 1;
    }
    const std::string project = std::string(directory) + "/full.quor";

    BuildFullLayout();
    SaveProject(project.c_str(), HeaderView{16, 0, kGridMax});

    std::vector<double> times;
    bool allFull = true;
    for (int run = 0; run < kRuns; ++run) {
        ResetLayoutModel();
        ResetLayoutFiles();
        HeaderView view = {4, 0, 0};
        const auto start = std::chrono::steady_clock::now();
        OpenFile(project.c_str(), view);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        allFull = allFull && LayoutIsFull();
    }

    for (int port = 1; port <= kPortCount; ++port) std::remove(ChainFilePath(port).c_str());
    std::remove(project.c_str());
    rmdir(directory);

    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf(
        "open full project (%d ports x %d LEDs, %d chain files): first %.1f ms, "
        "median %.1f ms, best %.1f ms over %d runs (target <= %.0f ms)\n",
        kPortCount, kChainCapacity, kPortCount, times[0], median, sorted[0], kRuns, kTargetMs);
    if (!allFull) {
        std::fprintf(stderr, "open_project: the opened layout is not the saved one\n");
        return 1;
    }
    return median <= kTargetMs ? 0 : 1;
}
