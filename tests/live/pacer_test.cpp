// Frame pacing on a fake clock: frames wait for their slots, a stall drops
// the frames whose slots passed and leaves no lag behind, and a source that
// cannot keep up at all still gets frames out. The pacing record's
// summary of how late frames were shown.
#include "live/pacer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint64_t kMs = 1000000;

struct FakeClock {
    uint64_t now = 1000 * kMs;
    std::vector<uint64_t> sleeps;  // every deadline asked for
};

PacerClock ClockOf(FakeClock* clock) {
    return PacerClock{clock, [](void* s) { return static_cast<FakeClock*>(s)->now; },
                      [](void* s, uint64_t deadline) {
                          auto* c = static_cast<FakeClock*>(s);
                          c->sleeps.push_back(deadline);
                          if (deadline > c->now) c->now = deadline;
                      }};
}

// Runs frames that each take work[i] of source time before they are ready;
// returns the time each was sent, or 0 when dropped.
std::vector<uint64_t> RunFrames(Pacer* pacer, FakeClock* clock, const std::vector<uint64_t>& work) {
    std::vector<uint64_t> sent;
    for (uint64_t w : work) {
        clock->now += w;
        sent.push_back(PacerWaitForSlot(pacer) ? clock->now : 0);
    }
    return sent;
}

TEST(LivePacer, FastSourceWaitsForEachSlot) {
    FakeClock clock;
    Pacer pacer;
    PacerStart(&pacer, ClockOf(&clock), 25.0);
    uint64_t start = clock.now;
    std::vector<uint64_t> sent = RunFrames(&pacer, &clock, std::vector<uint64_t>(10, 3 * kMs));
    for (size_t i = 0; i < sent.size(); ++i) {
        // The first frame goes when ready and starts the slots; each next one on its slot.
        EXPECT_EQ(sent[i], start + 3 * kMs + i * 40 * kMs) << i;
    }
}

TEST(LivePacer, StallDropsLateFramesWithoutBuildingLag) {
    FakeClock clock;
    Pacer pacer;
    PacerStart(&pacer, ClockOf(&clock), 25.0);
    // Frame 3 takes 130 ms (slots 3, 4 and 5 pass), then the source is fast again.
    std::vector<uint64_t> work = {1 * kMs, 1 * kMs, 1 * kMs, 130 * kMs, 1 * kMs,
                                  1 * kMs, 1 * kMs, 1 * kMs, 1 * kMs};
    uint64_t start = clock.now + 1 * kMs;
    std::vector<uint64_t> sent = RunFrames(&pacer, &clock, work);
    EXPECT_EQ(sent[0], start);
    EXPECT_EQ(sent[1], start + 40 * kMs);
    EXPECT_EQ(sent[2], start + 80 * kMs);
    // Ready at start + 80 + 130 = 210 ms: the slots of frames 3 and 4 (120..200) have passed.
    EXPECT_EQ(sent[3], 0u);
    EXPECT_EQ(sent[4], 0u);
    // Frame 5's slot is 200..240: out at once, and every later frame on its own slot again.
    EXPECT_EQ(sent[5], start + 212 * kMs);
    for (size_t i = 6; i < sent.size(); ++i) EXPECT_EQ(sent[i], start + i * 40 * kMs) << i;
    EXPECT_EQ(pacer.restarts, 0);
}

TEST(LivePacer, SourceTooSlowStillSendsAndNeverQueues) {
    FakeClock clock;
    Pacer pacer;
    PacerStart(&pacer, ClockOf(&clock), 10.0);  // 100 ms slots
    // Every frame takes 250 ms: after half a second of drops (5 frames) every
    // frame goes out as soon as it is ready.
    std::vector<uint64_t> sent = RunFrames(&pacer, &clock, std::vector<uint64_t>(60, 250 * kMs));
    int sentCount = 0;
    uint64_t readyAt = clock.now - 60 * 250 * kMs;
    for (size_t i = 0; i < sent.size(); ++i) {
        readyAt += 250 * kMs;
        if (sent[i] == 0) continue;
        ++sentCount;
        // A sent frame never waits: it was already behind, so holding it back
        // would only add lag.
        EXPECT_EQ(sent[i], readyAt) << i;
    }
    EXPECT_EQ(sentCount, 60 - 5);
    for (size_t i = 1; i <= 5; ++i) EXPECT_EQ(sent[i], 0u) << i;
    EXPECT_GT(pacer.restarts, 0);
    for (uint64_t deadline : clock.sleeps) ADD_FAILURE() << "slept until " << deadline;
    // A frame on time again ends that: the next stall drops late frames again.
    clock.now += 1 * kMs;
    EXPECT_TRUE(PacerWaitForSlot(&pacer));
    clock.now += 300 * kMs;
    EXPECT_FALSE(PacerWaitForSlot(&pacer));
}

// The 99th percentile is the upper edge of its 10 µs step, never past the
// maximum; errors past the record's range still count in mean and maximum.
TEST(LivePacer, PacingSummary) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, uint64_t>> errors;  // count, nanoseconds
        double mean, deviation, p99, max;
    };
    const Case cases[] = {
        {"no frames", {}, 0, 0, 0, 0},
        {"all on time", {{500, 0}}, 0, 0, 0, 0},
        {"the late 1 % above p99", {{990, 100000}, {10, 20 * kMs}}, 0.299, 1.98, 0.11, 20},
        {"one late in ten", {{9, 0}, {1, 3 * kMs}}, 0.3, 0.9, 3, 3},
        {"past the range", {{1, 250 * kMs}}, 250, 0, 250, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        static PacingRecord record;
        record = PacingRecord{};
        int64_t frames = 0;
        for (const auto& [count, error] : c.errors)
            for (int i = 0; i < count; ++i, ++frames) RecordPacingError(&record, error);
        const PacingSummary summary = SummarizePacing(record);
        EXPECT_EQ(summary.frames, frames);
        EXPECT_NEAR(summary.meanMs, c.mean, 1e-9);
        EXPECT_NEAR(summary.deviationMs, c.deviation, 0.01);
        EXPECT_NEAR(summary.p99Ms, c.p99, 1e-9);
        EXPECT_NEAR(summary.maxMs, c.max, 1e-9);
    }
}

}  // namespace
