// Placeholder until the status messages land.
#include "net/messages.h"
void BuildWindowGeometryMessage(const WindowRect&, uint8_t*) {}
void BuildPortLoadedMessage(uint16_t, uint8_t*) {}
void BuildVideoProgressMessage(uint32_t, uint32_t, uint8_t*) {}
void SendWindowGeometryMessage() {}
void SendPortLoadedMessage(uint16_t) {}
void SendVideoProgressMessage(uint32_t, uint32_t) {}
