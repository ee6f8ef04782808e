// The layout model: the 2048 x 2048 LayoutGrid and the 256 port chains with
// their undo history. This module owns both tables and CurrentPort; every
// change goes through the functions below, which keep the grid marks
// consistent with the current chains. GUI thread only.
//
// The grid keeps the LED marks of a cell (GridCell) and its video colour in
// two separate tables: the colour plane is written for every pixel of every
// video frame and read only for LEDs, and keeping it apart makes painting a
// frame touch 4 bytes per cell instead of the whole cell.
//
// Port arguments are indexes 0..255 and are not checked; callers keep to the
// range. Coordinates passed to CellAt and the colour functions must be
// 0..2047.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/common.h"
#include "common/protocol.h"  // kPortCount

constexpr int kGridSide = 2048;          // cells per row and per column
constexpr int kGridMax = kGridSide - 1;  // the last cell index of a row or column
constexpr int kHistoryLevels = 256;
constexpr int kChainCapacity = 2048;
constexpr int kMaxUndoDepth = 255;

struct ChainPoint {
    uint16_t x;
    uint16_t y;
};

struct GridCell {
    uint16_t index;  // chain position of the LED standing here
    uint16_t port;   // port index of the LED standing here
    uint8_t occupied;
};

struct HistoryLevel {
    uint16_t count;
    ChainPoint points[kChainCapacity];
};

struct UndoRing {
    uint16_t head;
    uint16_t depth;
};

// ---- grid -------------------------------------------------------------------

// The marks change only through the functions of this module.
const GridCell& CellAt(int x, int y);
// Every cell all zero, colours included (opening a layout).
void ClearGrid();

// Raised by every change of the marks (index, port, occupied) of any cell,
// so that a reader can keep something derived from them until it changes.
uint32_t GridMarksVersion();

// The video colour of a cell, 0x00RRGGBB; written only by the video mapping.
uint32_t CellColor(int x, int y);
// The 2048 colours of column x, row 0 first, for writing a whole frame.
// 64-byte aligned.
uint32_t* CellColorColumn(int x);

// ---- ports --------------------------------------------------------------------

uint16_t CurrentPort();
// Sets CurrentPort; an index above 255 is ignored.
void SelectCurrentPort(uint16_t port);

// Chain colour: red, green, blue.
const uint8_t* ChainColor(int port);
void SetChainColor(int port, uint8_t red, uint8_t green, uint8_t blue);

// The 2048 lit/dark flags of a port (per chain position, outside history).
const uint8_t* ActiveFlags(int port);
void SetActiveRange(int port, int from, int to, uint8_t value);  // [from, to)

UndoRing Ring(int port);

// ---- history ------------------------------------------------------------------

uint16_t CurrentLevel(int port);
uint16_t ChainLength(int port);

// A level's count and its 2048 point slots (read-only; all zero for a level
// never written). CurrentPoints is the current level's.
uint16_t LevelCount(int port, int level);
const ChainPoint* LevelPoints(int port, int level);
const ChainPoint* CurrentPoints(int port);

// ---- flags and storage -----------------------------------------------------------

void EmptyPortChain(int port);

// ---- grid marks ------------------------------------------------------------------

void UnmarkChain(int port);

// ---- chain edits ----------------------------------------------------------------

// Appends `point` to the port's chain as a new history level. A chain whose
// colour equals `background` (red, green, blue) is inverted first, taken or
// not, so it never stays invisible.
void AddLed(int port, ChainPoint point, PackedColor background);
void UndoChain(int port);
void ClearChain(int port);

// Installs a loaded chain whole: a fresh history (current level 1, depth 1;
// every level emptied first when level 1 held LEDs), the colour, the `count` points as level 1,
// positions 0..lit-1 lit, and the grid marks. Every loader goes through it.
void InstallLoadedChain(int port, const uint8_t color[3], const ChainPoint* points, uint16_t count,
                        int lit);

// A piece of the model's memory, for the caller to keep from forked children.
struct MemoryPiece {
    void* start;
    size_t size;
};
constexpr int kLayoutMemoryPieces = 4;

// Writes every table of the model once and takes the point blocks of
// `levels` history levels from the system now, as one page-aligned piece
// left for the levels written next, so that the first open of a full
// project stops at none of their pages: the grid is cleared, the port
// tables are written as they are. Fills `pieces` with the grid's two
// tables, the port tables and the blocks (size 0 when there was no memory
// for the blocks). At start-up, before any chain is loaded.
void PrepareLayoutMemory(int levels, MemoryPiece pieces[kLayoutMemoryPieces]);

// Tests: the whole model back to process start.
void ResetLayoutModel();
