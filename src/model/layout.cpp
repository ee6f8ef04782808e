// The layout model: the grid of cells with its separate colour plane, the
// 256 port chains with their 256-level history rings, the lit/dark flags and
// CurrentPort.
//
// Storage: every port offers 256 levels of 2048 points, but a level's point
// block is only allocated when it is first written; a level that was never
// written (or was emptied) reads as the shared all-zero level. Counts, flags,
// colours and rings are small fixed tables. Emptying a port hands its blocks
// to a free list, so opening a layout costs almost nothing and later edits
// reuse those blocks instead of asking the allocator again.
#include "model/layout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct LevelBlock {
    ChainPoint points[kChainCapacity];
};

// A free block keeps the next free block's address in its first bytes.
struct FreeBlock {
    FreeBlock* next;
};
static_assert(sizeof(FreeBlock) <= sizeof(LevelBlock));

struct PortState {
    uint8_t color[3];
    UndoRing ring;
    uint16_t counts[kHistoryLevels];
    LevelBlock* levels[kHistoryLevels];  // nullptr: all points zero
    uint8_t active[kChainCapacity];
};

GridCell g_grid[kGridSide * kGridSide];
alignas(64) uint32_t g_colors[kGridSide * kGridSide];
uint32_t g_marksVersion;
PortState g_ports[kPortCount];
uint16_t g_currentPort;
const LevelBlock g_zeroLevel = {};
FreeBlock* g_freeBlocks;

void ReleaseBlock(LevelBlock*& block) {
    if (block == nullptr) return;
    FreeBlock* freed = reinterpret_cast<FreeBlock*>(block);
    freed->next = g_freeBlocks;
    g_freeBlocks = freed;
    block = nullptr;
}

// A block for the level, taken from the free list or allocated. Its content
// is undefined; callers fill it. Out of memory ends the program: the model
// promises every port its full history, so there is no way to refuse.
LevelBlock* TakeBlock() {
    if (g_freeBlocks != nullptr) {
        FreeBlock* block = g_freeBlocks;
        g_freeBlocks = block->next;
        return reinterpret_cast<LevelBlock*>(block);
    }
    void* memory = std::malloc(sizeof(LevelBlock));
    if (memory == nullptr) {
        std::fputs("Out of memory for the layout history\n", stderr);
        std::abort();
    }
    return static_cast<LevelBlock*>(memory);
}

GridCell& WritableCell(int x, int y) {
    return g_grid[x * kGridSide + y];
}

const LevelBlock& ReadLevel(int port, int level) {
    const LevelBlock* block = g_ports[port].levels[level];
    return block != nullptr ? *block : g_zeroLevel;
}

// Loaders take file points without a range test; such points stay in the
// chain but have no cell to mark.
bool InGrid(ChainPoint point) {
    return point.x < kGridSide && point.y < kGridSide;
}

bool SameRgb(const uint8_t color[3], PackedColor other) {
    return color[0] == other.red && color[1] == other.green && color[2] == other.blue;
}

}  // namespace

// ---- grid -------------------------------------------------------------------

const GridCell& CellAt(int x, int y) {
    return g_grid[x * kGridSide + y];
}

void ClearGrid() {
    std::memset(g_grid, 0, sizeof g_grid);
    std::memset(g_colors, 0, sizeof g_colors);
    ++g_marksVersion;
}

uint32_t GridMarksVersion() {
    return g_marksVersion;
}

uint32_t CellColor(int x, int y) {
    return g_colors[x * kGridSide + y];
}

uint32_t* CellColorColumn(int x) {
    return g_colors + x * kGridSide;
}

// ---- ports --------------------------------------------------------------------

uint16_t CurrentPort() {
    return g_currentPort;
}

void SelectCurrentPort(uint16_t port) {
    if (port < kPortCount) g_currentPort = port;
}

const uint8_t* ChainColor(int port) {
    return g_ports[port].color;
}

void SetChainColor(int port, uint8_t red, uint8_t green, uint8_t blue) {
    g_ports[port].color[0] = red;
    g_ports[port].color[1] = green;
    g_ports[port].color[2] = blue;
}

const uint8_t* ActiveFlags(int port) {
    return g_ports[port].active;
}

void SetActiveRange(int port, int from, int to, uint8_t value) {
    if (from < 0) from = 0;
    if (to > kChainCapacity) to = kChainCapacity;
    if (from >= to) return;
    std::memset(g_ports[port].active + from, value, size_t(to - from));
}

UndoRing Ring(int port) {
    return g_ports[port].ring;
}

// ---- history ------------------------------------------------------------------

uint16_t CurrentLevel(int port) {
    return g_ports[port].ring.head;
}

uint16_t ChainLength(int port) {
    return g_ports[port].counts[g_ports[port].ring.head];
}

static void ResetHistory(int port) {
    g_ports[port].ring = {0, 0};
}

static void PushLevel(int port) {
    UndoRing& ring = g_ports[port].ring;
    ring.head = uint16_t((ring.head + 1) % kHistoryLevels);
    if (ring.depth < kMaxUndoDepth) ++ring.depth;
}

static bool PopLevel(int port) {
    UndoRing& ring = g_ports[port].ring;
    if (ring.depth == 0) return false;
    ring.head = uint16_t((ring.head + kHistoryLevels - 1) % kHistoryLevels);
    --ring.depth;
    return true;
}

uint16_t LevelCount(int port, int level) {
    return g_ports[port].counts[level];
}

const ChainPoint* LevelPoints(int port, int level) {
    return ReadLevel(port, level).points;
}

const ChainPoint* CurrentPoints(int port) {
    return LevelPoints(port, CurrentLevel(port));
}

// Loaders write a level's points directly.
static ChainPoint* WritableLevelPoints(int port, int level) {
    LevelBlock*& block = g_ports[port].levels[level];
    if (block == nullptr) {
        block = TakeBlock();
        std::memset(block, 0, sizeof *block);
    }
    return block->points;
}

// ---- flags and storage -----------------------------------------------------------

static void ResetActive(int port) {
    std::memset(g_ports[port].active, 1, kChainCapacity);
}

void EmptyPortChain(int port) {
    PortState& state = g_ports[port];
    std::memset(state.color, 0, sizeof state.color);
    std::memset(state.counts, 0, sizeof state.counts);
    for (LevelBlock*& block : state.levels) ReleaseBlock(block);
    std::memset(state.active, 0, sizeof state.active);
}

// ---- grid marks ------------------------------------------------------------------

static void MarkChain(int port) {
    const ChainPoint* points = CurrentPoints(port);
    const int count = ChainLength(port);
    ++g_marksVersion;
    for (int i = 0; i < count; ++i) {
        if (!InGrid(points[i])) continue;
        GridCell& cell = WritableCell(points[i].x, points[i].y);
        cell.index = uint16_t(i);
        cell.port = uint16_t(port);
        cell.occupied = 1;
    }
}

void UnmarkChain(int port) {
    const ChainPoint* points = CurrentPoints(port);
    const int count = ChainLength(port);
    ++g_marksVersion;
    for (int i = 0; i < count; ++i) {
        if (InGrid(points[i])) WritableCell(points[i].x, points[i].y).occupied = 0;
    }
}

// ---- chain edits ----------------------------------------------------------------

void AddLed(int port, ChainPoint point, PackedColor background) {
    if (!InGrid(point)) return;
    PortState& state = g_ports[port];
    // The colour guard runs whether or not the LED is then taken, so a chain
    // never stays invisible on the background.
    if (SameRgb(state.color, background)) {
        for (uint8_t& byte : state.color) byte = uint8_t(255 - byte);
    }
    const uint16_t n = ChainLength(port);
    if (n >= kChainCapacity) return;
    if (n == 0) ResetActive(port);
    GridCell& cell = WritableCell(point.x, point.y);
    if (cell.occupied) return;
    ++g_marksVersion;
    cell.port = uint16_t(port);
    cell.occupied = 1;
    cell.index = n;

    const LevelBlock& current = ReadLevel(port, state.ring.head);
    const int next = (state.ring.head + 1) % kHistoryLevels;
    LevelBlock*& target = state.levels[next];
    if (target == nullptr) target = TakeBlock();
    std::memcpy(target->points, current.points, sizeof target->points);
    target->points[n] = point;
    PushLevel(port);
    state.counts[next] = uint16_t(n + 1);
}

void UndoChain(int port) {
    if (g_ports[port].ring.depth == 0) return;
    UnmarkChain(port);
    PopLevel(port);
    MarkChain(port);
}

void ClearChain(int port) {
    UnmarkChain(port);
    ResetHistory(port);
    ResetActive(port);
    g_ports[port].counts[0] = 0;
}

// The fresh history every loaded chain starts with: UnmarkChain,
// ResetHistory, ResetActive, PushLevel, and EmptyPortChain when
// `emptyFirst`. Afterwards the current level is 1 and depth is 1.
static void StartLoadedChain(int port, bool emptyFirst) {
    UnmarkChain(port);
    ResetHistory(port);
    ResetActive(port);
    PushLevel(port);
    if (emptyFirst) EmptyPortChain(port);
}

void InstallLoadedChain(int port, const uint8_t color[3], const ChainPoint* points, uint16_t count,
                        int lit) {
    if (count > kChainCapacity) count = kChainCapacity;
    StartLoadedChain(port, g_ports[port].counts[1] > 0);
    SetChainColor(port, color[0], color[1], color[2]);
    std::memcpy(WritableLevelPoints(port, 1), points, sizeof(ChainPoint) * count);
    SetActiveRange(port, 0, lit, 1);
    g_ports[port].counts[1] = count;
    MarkChain(port);
}

void PrepareLayoutMemory(int levels, MemoryPiece pieces[kLayoutMemoryPieces]) {
    constexpr size_t kPage = 4096;
    static_assert(sizeof(LevelBlock) % kPage == 0);
    ClearGrid();
    volatile uint8_t* tables = reinterpret_cast<volatile uint8_t*>(g_ports);
    for (size_t at = 0; at < sizeof g_ports; at += kPage) tables[at] = tables[at];
    pieces[0] = {g_grid, sizeof g_grid};
    pieces[1] = {g_colors, sizeof g_colors};
    pieces[2] = {g_ports, sizeof g_ports};
    pieces[3] = {nullptr, 0};
    if (levels <= 0) return;
    const size_t bytes = sizeof(LevelBlock) * size_t(levels);
    void* memory = std::aligned_alloc(kPage, bytes);
    if (memory == nullptr) return;
    std::memset(memory, 0, bytes);
    // Pushed last first, so the levels take the piece from its start.
    LevelBlock* blocks = static_cast<LevelBlock*>(memory);
    for (int i = levels - 1; i >= 0; --i) {
        LevelBlock* block = blocks + i;
        ReleaseBlock(block);
    }
    pieces[3] = {memory, bytes};
}

void ResetLayoutModel() {
    ClearGrid();
    for (int port = 0; port < kPortCount; ++port) {
        EmptyPortChain(port);
        ResetHistory(port);
    }
    g_currentPort = 0;
}
