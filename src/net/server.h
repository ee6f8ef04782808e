// The command server: TCP port 2023 on the loopback address, one receive
// thread, one accepted connection for the whole run, and the PacketMailbox
// that hands the newest packet to the GUI thread.
#pragma once

#include <cstdint>

#include "common/packet.h"

// Opens the listening socket and starts the receive thread. Failures are
// logged on standard output only. GUI thread, once.
void StartCommandServer();

// One send of `length` bytes to the control program; the result is ignored.
// Nothing happens before a client was accepted. GUI thread.
void SendToControl(const void* bytes, int length);

// Between the two, SendToControl only collects its bytes; ReleaseSends sends
// them in order as one write (dropped when no client was accepted). GUI
// thread.
void HoldSends();
void ReleaseSends();

// The receive thread's copy-in: the `length` (1..2048) bytes replace the
// start of the mailbox buffer, the rest of it keeps earlier packets' bytes,
// and the packet is pending until taken. An untaken packet is replaced.
void PostPacket(const uint8_t* bytes, int length);

// The timer's take: when a packet is pending, copies the whole 2048-byte
// mailbox buffer (newest packet plus the stale tail of earlier ones) into
// `packet`, sets `length`, clears the pending flag and returns true.
bool TakePacket(uint8_t packet[kPacketSize], int* length);

// Tests: an empty mailbox (all zero, nothing pending), and no sends held.
void ResetPacketMailbox();
