// Placing and removing LEDs: the mouse edits on CurrentPort and the commands
// 160 (undo), 174 (clear with confirmation) and 192 (view jumps).
#pragma once

#include <cstdint>

#include "render/scene.h"

// position: window x in the low 16 bits, y from the bottom in the high 16.
void PlaceLed(uint32_t position);
void ToggleLeds(uint32_t position);
void PlaceLedLine(uint32_t position);

// Command handlers; `packet` is the 2048-byte mailbox copy.
void UndoLastLed(const uint8_t* packet);
void ClearPort(const uint8_t* packet);
void ViewJump(const uint8_t* packet);
// The view move of command 192 for target byte `target`, given the bounds of
// the last drawn layout (nothing when all four are 0).
void JumpView(uint8_t target, const LayoutBoundsRecord& bounds);
