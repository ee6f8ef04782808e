// A test pattern played live: the frames of a pattern sent through the live
// sink, paced, repeating until stopped; on a terminal the keys move a walk
// (space pauses and resumes, left and right one LED, up and down ten, p the
// next port, q ends), and every step of walk and order prints one line.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "convert/sink.h"
#include "convert/test_patterns.h"

// Plays `plan` through `sink` until `stop`, the key q, or `frameLimit`
// frames (0 = no limit). Keys are read from `keys` (a descriptor made
// non-blocking here; -1 for none). Each step's line goes to `lines`. False
// with `error` set when the sink fails; `frames` gets the frames given.
bool PlayTestPattern(TestPatternPlan* plan, OutputSink& sink, int keys, FILE* lines,
                     int64_t frameLimit, const std::atomic<bool>* stop, std::string* error,
                     int64_t* frames);

// A terminal's own line editing and echo off (and back on), so keys arrive
// one at a time; Ctrl+C still interrupts. False when `fd` is no terminal.
struct TerminalKeys {
    bool active;
    unsigned char saved[64];  // the terminal's settings before
};
bool BeginTerminalKeys(int fd, TerminalKeys* terminal);
void EndTerminalKeys(int fd, TerminalKeys* terminal);
