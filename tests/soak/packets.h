// The soak's command packets: random and mutated packets of every command
// code, a check that the ones that write files write only inside the work
// directory, and the text form of a packet used in replay files:
//   00 A4 00 00 "{dir}/fifo" 00
// hex bytes, HH*N for N copies of a byte, and quoted text (escaped: a quote,
// a backslash, \xHH) in which {dir} stands for the work directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fixtures.h"

constexpr size_t kMailboxSize = 2048;

// One packet: a command of one of the 29 codes with plausible fields and
// paths from the pools, then perhaps mutated; now and then random bytes.
Bytes MakePacket(SoakRandom& random, const FixturePools& pools);

// Whether the commands that write a file at a path from the packet (161,
// 176, 209) would write inside `dir` when the program holds `mailbox`
// (every packet is copied over the 2048 bytes the program keeps, so a short
// packet's path runs on into older bytes). Paths must be relative or start
// with `dir`, without ".." and without ':' (no URL).
bool WritesStayInside(const uint8_t* mailbox, const std::string& dir);

std::string PacketText(const uint8_t* bytes, size_t size, const std::string& dir);
bool ParsePacketText(const std::string& text, const std::string& dir, Bytes& out,
                     std::string& error);

bool IsCommandCode(uint16_t code);

// A short description: code, name and the path it carries.
std::string DescribePacket(const Bytes& packet, const uint8_t* mailbox);
