// Reading fields out of a command packet. Handlers always get the whole
// 2048-byte mailbox copy, so a field read past the received length sees the
// stale bytes of earlier packets but never leaves the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol.h"

// Bytes 2-3, big-endian: the port field of the commands that have one.
uint16_t PacketPort(const uint8_t* packet);

// Copies the NUL-terminated path that starts at `offset` of a kPacketSize
// packet into `out`. A path with no NUL before the buffer's end ends there.
// A path longer than 511 bytes is refused: the result is false and out is "".
// Every command that takes a path uses this one rule.
bool PacketPath(const uint8_t* packet, size_t offset, char out[kPathBufferSize]);

// C atoi over a field of at most `width` bytes at `offset` (optional blanks
// and sign, then digits up to the first non-digit or the field's end).
int PacketDecimal(const uint8_t* packet, size_t offset, size_t width);
