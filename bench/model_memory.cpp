// Memory and emptying cost of the layout model: resident memory at start-up
// (target below 100 MiB), and the time of EmptyPortChain for all 256 ports
// on an empty layout, on a full layout as a project load leaves it (every port
// 2048 LEDs on level 1) and on a layout whose every history level is written.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "model/layout.h"

namespace {

// VmRSS of this process in KiB, -1 when unreadable.
long ResidentKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            std::sscanf(line + 6, "%ld", &kib);
            break;
        }
    }
    std::fclose(status);
    return kib;
}

double MiB(long kib) {
    return kib / 1024.0;
}

// Milliseconds for EmptyPortChain on every port (the step of opening a layout).
double TimeEmptyAll() {
    const auto start = std::chrono::steady_clock::now();
    for (int port = 0; port < kPortCount; ++port) EmptyPortChain(port);
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// A full chain on row port * 8, loaded whole (one history level).
void LoadFullChain(int port) {
    static ChainPoint points[kChainCapacity];
    for (int i = 0; i < kChainCapacity; ++i) points[i] = {uint16_t(i), uint16_t(port * 8)};
    InstallLoadedChain(port, ChainColor(port), points, kChainCapacity, kChainCapacity);
}

}  // namespace

int main() {
    const long startKiB = ResidentKiB();
    std::printf("resident at start-up:              %8.1f MiB (target < 100 MiB) %s\n",
                MiB(startKiB), MiB(startKiB) < 100.0 ? "ok" : "OVER");

    std::printf("EmptyPortChain x256, empty layout: %8.3f ms\n", TimeEmptyAll());
    std::printf("resident after emptying:           %8.1f MiB\n", MiB(ResidentKiB()));
    ClearGrid();  // opening a layout wipes the grid: its 40 MiB (marks and colours) become resident
    std::printf("resident after ClearGrid:          %8.1f MiB\n", MiB(ResidentKiB()));

    for (int port = 0; port < kPortCount; ++port) LoadFullChain(port);
    std::printf("resident, 256 x 2048 LEDs loaded:  %8.1f MiB\n", MiB(ResidentKiB()));
    std::printf("EmptyPortChain x256, full layout:  %8.3f ms\n", TimeEmptyAll());

    // Placed LED by LED: every LED a history level, so every level of the
    // ring is written.
    for (int port = 0; port < kPortCount; ++port) {
        ClearChain(port);
        for (int i = 0; i < kChainCapacity; ++i)
            AddLed(port, {uint16_t(i), uint16_t(port * 8)}, {});
    }
    std::printf("resident, every level written:     %8.1f MiB\n", MiB(ResidentKiB()));
    std::printf("EmptyPortChain x256, full history: %8.3f ms\n", TimeEmptyAll());
    std::printf("EmptyPortChain x256, again empty:  %8.3f ms\n", TimeEmptyAll());
    return 0;
}
