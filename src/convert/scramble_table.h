// The constant table of the controller-file scrambling. Controllers that
// play the files must hold the same 8192 bytes: they are produced by a fixed
// xorshift32 sequence (seed 0x51A7C0DE, one byte per step, the bits 24..31
// of each state), so the table is the same in every build.
#pragma once

#include <array>
#include <cstdint>

constexpr int kScrambleTableSize = 8192;

constexpr std::array<uint8_t, kScrambleTableSize> MakeScrambleTable() {
    std::array<uint8_t, kScrambleTableSize> table{};
    uint32_t state = 0x51A7C0DEu;
    for (int i = 0; i < kScrambleTableSize; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        table[size_t(i)] = uint8_t(state >> 24);
    }
    return table;
}

inline constexpr std::array<uint8_t, kScrambleTableSize> ScrambleTable = MakeScrambleTable();
