// Placeholder until editing lands.
#include "model/edit.h"
void PlaceLed(uint32_t) {}
void ToggleLeds(uint32_t) {}
void PlaceLedLine(uint32_t) {}
void UndoLastLed(const uint8_t*) {}
void ClearPort(const uint8_t*) {}
void ViewJump(const uint8_t*) {}
