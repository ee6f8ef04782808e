// Placeholder until the command server lands.
#include "net/server.h"
void StartCommandServer() {}
void SendToControl(const void*, int) {}
bool TakePacket(uint8_t*, int*) { return false; }
