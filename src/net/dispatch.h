// The command table and dispatcher: the wiring that joins the command
// channel to every layer below. GUI thread only.
#pragma once

#include <cstdint>

// Every packet: geometry message, the "Send_Windows_Pos " line, then the
// command. `packet` is a full 2048-byte buffer; no handler reads `length`.
void DispatchCommand(const uint8_t* packet, int length);

// The command alone, without the geometry message and the log line: the
// table look-up, the argument checks of the command's argument kind, the
// handler and the settings save.
void RunCommand(const uint8_t* packet);
