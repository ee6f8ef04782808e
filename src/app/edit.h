// Placing and removing LEDs: the mouse edits on CurrentPort, the edit mode
// they follow (command 178) and the commands 160 (undo), 174 (clear with
// confirmation) and 192 (view jumps). GUI thread only.
#pragma once

#include <cstdint>

#include "render/scene.h"

// EditMode [1]: 0 places LEDs, anything else switches them lit or dark.
uint8_t EditMode();
void SetEditMode(uint8_t mode);

// position: window x in the low 16 bits, y from the bottom in the high 16.
void PlaceLed(uint32_t position);
void ToggleLeds(uint32_t position);
void PlaceLedLine(uint32_t position);

// Command handlers: 160 and 174 for a checked port index, 192 for the
// 2048-byte mailbox copy.
void UndoLastLed(int port);
void ClearPort(int port);
void ViewJump(const uint8_t* packet);
// The view move of command 192 for target byte `target`, given the bounds of
// the last drawn layout (nothing when all four are 0).
void JumpView(uint8_t target, const LayoutBoundsRecord& bounds);

// Tests: EditMode back to its start.
void ResetEdit();
