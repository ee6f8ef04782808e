// Placeholder until the layout model lands.
#include "model/layout.h"
static GridCell g_cell;
static ChainPoint g_points[kChainCapacity];
static uint8_t g_bytes[kChainCapacity];
GridCell& CellAt(int, int) { return g_cell; }
void ClearGrid() {}
uint16_t CurrentPort() { return 0; }
void SelectCurrentPort(uint16_t) {}
const uint8_t* ChainColour(int) { return g_bytes; }
void SetChainColour(int, uint8_t, uint8_t, uint8_t) {}
const uint8_t* ActiveFlags(int) { return g_bytes; }
void SetActiveRange(int, int, int, uint8_t) {}
UndoRing Ring(int) { return {0, 0}; }
uint16_t CurrentLevel(int) { return 0; }
uint16_t ChainLength(int) { return 0; }
void ResetHistory(int) {}
void PushLevel(int) {}
bool PopLevel(int) { return false; }
uint16_t LevelCount(int, int) { return 0; }
const ChainPoint* LevelPoints(int, int) { return g_points; }
const ChainPoint* CurrentPoints(int) { return g_points; }
ChainPoint* WritableLevelPoints(int, int) { return g_points; }
void SetLevelCount(int, int, uint16_t) {}
void ResetActive(int) {}
void EmptyPortChain(int) {}
void MarkChain(int) {}
void UnmarkChain(int) {}
void AddLed(int, ChainPoint) {}
void UndoChain(int) {}
void ClearChain(int) {}
void StartLoadedChain(int, bool) {}
void ResetLayoutModel() {}
