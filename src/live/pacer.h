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
// A frame's deadline is the start of its slot: the moment receivers should
// show it. How far past its deadline each frame was shown is kept in a
// pacing record, for the run's summary.
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

// For the next frame, without waiting: true with its deadline (its slot's
// start, or now when the slots restart from it) to send it, false when its
// slot has passed (drop it).
bool PacerClaimSlot(Pacer* pacer, uint64_t* deadline);
// PacerClaimSlot, then the wait until the deadline.
bool PacerWaitForSlot(Pacer* pacer);

// How late frames were shown: every error counted in 10 µs steps up to
// 100 ms (later ones in the last step), with exact sums and maximum.
constexpr int kPacingSteps = 10000;
constexpr uint64_t kPacingStepNs = 10000;

struct PacingRecord {
    int64_t count;
    double sumNs;
    double sumSquaresNs;
    uint64_t maxNs;
    uint32_t steps[kPacingSteps + 1];
};

struct PacingSummary {
    int64_t frames;
    double meanMs;
    double deviationMs;  // standard deviation
    double p99Ms;        // the upper edge of the step holding the 99th percentile
    double maxMs;
};

// `errorNs`: when the frame was shown minus its deadline (0 when it was not late).
void RecordPacingError(PacingRecord* record, uint64_t errorNs);
PacingSummary SummarizePacing(const PacingRecord& record);
