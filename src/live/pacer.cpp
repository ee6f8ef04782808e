// The pacer of live output; see pacer.h for the rule.
#include "live/pacer.h"

#include <cmath>

#include "platform/sys.h"

namespace {
uint64_t MonotonicNow(void*) {
    return Sys_MonotonicNanoseconds();
}
void MonotonicSleepUntil(void*, uint64_t deadline) {
    Sys_SleepUntilNanoseconds(deadline);
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

bool PacerWaitForSlot(Pacer* pacer) {
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
        return true;
    }
    pacer->droppedRun = 0;
    pacer->following = false;
    if (now < slotStart) pacer->clock.sleepUntil(pacer->clock.state, slotStart);
    return true;
}
