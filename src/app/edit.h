// Placing and removing LEDs: the mouse edits on CurrentPort, the edit mode
// they follow (command 178) and the commands 160 (undo) and 174 (clear with
// confirmation). GUI thread only.
#pragma once

#include <cstdint>

// EditMode [1]: 0 places LEDs, anything else switches them lit or dark.
uint8_t EditMode();
void SetEditMode(uint8_t mode);

// position: window x in the low 16 bits, y from the bottom in the high 16.
void PlaceLed(uint32_t position);
void ToggleLeds(uint32_t position);
void PlaceLedLine(uint32_t position);

// Command handlers: 160 and 174 for a checked port index.
void UndoLastLed(int port);
void ClearPort(int port);

// Tests: EditMode back to its start.
void ResetEdit();
