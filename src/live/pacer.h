// Frame pacing for live output. Frame k of a run has the time slot
// [start + k * period, start + (k + 1) * period). A frame that is ready
// before its slot waits for it; one that is ready within its slot goes out
// at once; one whose slot has already passed is dropped, so a stall never
// turns into a burst of old frames afterwards.
//
// When frames keep coming late for half a second in a row, the source cannot
// keep up with the rate at all, and dropping every frame would show nothing:
// from then on a late frame goes out at once and the slots restart from it,
// until a frame is on time again.
//
// The clock is a pair of functions so tests run the pacer on a fake clock.
#pragma once

#include <cstdint>

struct PacerClock {
    void* state;
    uint64_t (*now)(void* state);  // monotonic, nanoseconds
    void (*sleepUntil)(void* state, uint64_t deadline);
};

// The monotonic clock of the platform layer.
PacerClock MonotonicPacerClock();

struct Pacer {
    PacerClock clock;
    uint64_t period;     // nanoseconds per frame
    uint64_t start;      // the first slot's start; set by the first frame
    int64_t next;        // index of the next frame's slot
    int32_t droppedRun;  // late frames in a row
    int32_t maxDroppedRun;
    int32_t restarts;  // times the slots restarted from a late frame
    bool started;
    bool following;  // the source is too slow: late frames go out
};

void PacerStart(Pacer* pacer, const PacerClock& clock, double framesPerSecond);

// For the next frame: waits until its slot, then true (send it); false when
// its slot has passed (drop it).
bool PacerWaitForSlot(Pacer* pacer);
