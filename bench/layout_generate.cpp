// A full layout, 256 ports x 2048 LEDs, generated as a 1024 x 512 matrix and
// imported from a CSV point list of the same LEDs (file read, parsed, put
// onto the ports and checked; target: at most 1 s each), then saved as a
// project in a temporary directory. The save is timed on its own: it syncs
// 257 files to the disk as the window's save does, and what that costs is
// the disk's, not the layout's. Linked with the layout library and the file
// layer only.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "files/project_file.h"
#include "layouts/layouts.h"

namespace {

constexpr int kRuns = 5;
constexpr double kTargetMs = 1000.0;

typedef std::chrono::steady_clock Clock;

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The processor time of this process so far, in milliseconds: what a busy
// machine does not add to.
double ProcessorMs() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The piece onto an empty layout; false (with the cause printed) when it is
// refused or not the full layout.
bool Fill(const LayoutPiece& piece, Layout* layout) {
    ClearLayout(layout);
    std::string error;
    if (!AddPiece(piece, 0, kChainCapacity, layout, &error)) {
        std::fprintf(stderr, "layout_generate: %s\n", error.c_str());
        return false;
    }
    if (LayoutLedCount(*layout) != kPortCount * kChainCapacity) {
        std::fprintf(stderr, "layout_generate: %d LEDs, not a full layout\n",
                     LayoutLedCount(*layout));
        return false;
    }
    return true;
}

}  // namespace

int main() {
    char directory[] = "/tmp/quorvane-layout-generate-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        std::perror("layout_generate: mkdtemp");
        return 1;
    }
    const std::string project = std::string(directory) + "/full.quor";
    const std::string csv = std::string(directory) + "/full.csv";
    MatrixOptions matrix;
    matrix.width = 1024;
    matrix.height = 512;
    std::unique_ptr<Layout> layout(new Layout);

    // The point list of the same layout, written once.
    bool ok = Fill(GenerateMatrix(matrix, Placement{}), layout.get());
    const std::string text = WriteCsvLayout(*layout);
    ok = ok && SaveFileReplacing(csv.c_str(), text.data(), text.size());

    std::vector<double> generated, imported, saved, generatedCpu, importedCpu;
    for (int run = 0; run < kRuns && ok; ++run) {
        Clock::time_point start = Clock::now();
        double cpu = ProcessorMs();
        ok = Fill(GenerateMatrix(matrix, Placement{}), layout.get());
        generated.push_back(MillisecondsSince(start));
        generatedCpu.push_back(ProcessorMs() - cpu);

        start = Clock::now();
        cpu = ProcessorMs();
        std::vector<uint8_t> bytes;
        ok = ok && ReadFilePrefix(csv.c_str(), size_t(FileSizeOf(csv.c_str())), bytes);
        LayoutPiece piece;
        std::string error;
        if (ok && !ReadCsvLayout(csv, std::string(bytes.begin(), bytes.end()), ReadOptions{},
                                 &piece, &error)) {
            std::fprintf(stderr, "layout_generate: %s\n", error.c_str());
            ok = false;
        }
        ok = ok && Fill(piece, layout.get());
        imported.push_back(MillisecondsSince(start));
        importedCpu.push_back(ProcessorMs() - cpu);

        start = Clock::now();
        if (ok && !SaveLayoutProject(project, *layout, ProjectHeader{}, StartView(), &error)) {
            std::fprintf(stderr, "layout_generate: %s\n", error.c_str());
            ok = false;
        }
        saved.push_back(MillisecondsSince(start));
    }

    for (int port = 1; port <= kPortCount; ++port) std::remove(ChainFilePath(port).c_str());
    std::remove(project.c_str());
    std::remove(csv.c_str());
    rmdir(directory);
    if (!ok) return 1;

    std::printf(
        "full layout (%d ports x %d LEDs), median over %d runs: generated (1024 x 512 matrix) "
        "%.0f ms (processor %.0f ms), imported from CSV (%.1f MB) %.0f ms (processor %.0f ms); "
        "target <= %.0f ms each; saved as a project, 257 files synced, %.0f ms\n",
        kPortCount, kChainCapacity, kRuns, Median(generated), Median(generatedCpu),
        double(text.size()) / 1e6, Median(imported), Median(importedCpu), kTargetMs, Median(saved));
    return Median(generated) <= kTargetMs && Median(imported) <= kTargetMs ? 0 : 1;
}
