// The pacer of live output; see pacer.h for the rule.
#include "live/pacer.h"

#include <cmath>

#include "platform/sys.h"

namespace {
uint64_t MonotonicNow(void*) {
    return Sys_MonotonicNanoseconds();
}
// The last half millisecond before a deadline watched on the clock: the
// frame then leaves within microseconds of it, for 2 % of one core at 40
// frames per second.
constexpr uint64_t kWatchedNs = 500000;

void MonotonicSleepUntil(void*, uint64_t deadline) {
    Sys_WaitUntilNanoseconds(deadline, kWatchedNs);
}
}  // namespace

PacerClock MonotonicPacerClock() {
    return PacerClock{nullptr, MonotonicNow, MonotonicSleepUntil};
}

void PacerStart(Pacer* pacer, const PacerClock& clock, double framesPerSecond) {
    *pacer = Pacer{};
    pacer->clock = clock;
    pacer->period = uint64_t(std::llround(1e9 / framesPerSecond));
    if (pacer->period == 0) pacer->period = 1;
    int halfSecond = int(std::lround(framesPerSecond / 2));
    pacer->maxDroppedRun = halfSecond < 1 ? 1 : halfSecond;
}

bool PacerClaimSlot(Pacer* pacer, uint64_t* deadline) {
    uint64_t now = pacer->clock.now(pacer->clock.state);
    if (!pacer->started) {
        pacer->started = true;
        pacer->start = now;
        pacer->next = 0;
    }
    int64_t index = pacer->next++;
    uint64_t slotStart = pacer->start + uint64_t(index) * pacer->period;
    if (now >= slotStart + pacer->period) {
        if (!pacer->following && pacer->droppedRun < pacer->maxDroppedRun) {
            ++pacer->droppedRun;
            return false;
        }
        pacer->following = true;
        pacer->start = now - uint64_t(index) * pacer->period;
        ++pacer->restarts;
        pacer->droppedRun = 0;
        *deadline = now;
        return true;
    }
    pacer->droppedRun = 0;
    pacer->following = false;
    *deadline = slotStart;
    return true;
}

bool PacerWaitForSlot(Pacer* pacer) {
    uint64_t deadline;
    if (!PacerClaimSlot(pacer, &deadline)) return false;
    if (pacer->clock.now(pacer->clock.state) < deadline)
        pacer->clock.sleepUntil(pacer->clock.state, deadline);
    return true;
}

void RecordPacingError(PacingRecord* record, uint64_t errorNs) {
    const uint64_t step = errorNs / kPacingStepNs;
    ++record->steps[step < uint64_t(kPacingSteps) ? step : uint64_t(kPacingSteps)];
    ++record->count;
    record->sumNs += double(errorNs);
    record->sumSquaresNs += double(errorNs) * double(errorNs);
    if (errorNs > record->maxNs) record->maxNs = errorNs;
}

PacingSummary SummarizePacing(const PacingRecord& record) {
    PacingSummary summary{};
    summary.frames = record.count;
    if (record.count == 0) return summary;
    const double n = double(record.count);
    const double mean = record.sumNs / n;
    const double variance = record.sumSquaresNs / n - mean * mean;
    summary.meanMs = mean / 1e6;
    summary.deviationMs = variance > 0 ? std::sqrt(variance) / 1e6 : 0;
    summary.maxMs = double(record.maxNs) / 1e6;
    // The smallest step at or below which 99 % of the frames fall.
    const int64_t wanted = record.count - record.count / 100;
    int64_t seen = 0;
    for (int step = 0; step <= kPacingSteps; ++step) {
        seen += record.steps[step];
        if (seen >= wanted) {
            summary.p99Ms = step == kPacingSteps ? summary.maxMs
                                                 : double(uint64_t(step + 1) * kPacingStepNs) / 1e6;
            break;
        }
    }
    if (summary.p99Ms > summary.maxMs) summary.p99Ms = summary.maxMs;
    return summary;
}
