// The test patterns: their steps from the layout's chains, the values of a
// step through the colour tables, the cursor of a playing pattern and the
// run of a pattern's frames through a sink.
#include "convert/test_patterns.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* const kPatternNames[] = {"walk", "ports", "order", "chase", "level"};

constexpr uint8_t kWhite[3] = {255, 255, 255};
constexpr uint8_t kRed[3] = {255, 0, 0};
constexpr uint8_t kOrderColors[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
const char* const kOrderNames[4] = {"red", "green", "blue", "white"};

// Digits only, 1..256.
bool ParsePortNumber(const std::string& text, int* out) {
    if (text.empty() || text.size() > 3) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    *out = std::atoi(text.c_str());
    return *out >= 1 && *out <= kPortCount;
}

int32_t FramesFor(double ms, double framesPerSecond) {
    const double frames = std::floor(ms * framesPerSecond / 1000.0 + 0.5);
    return frames < 1.0 ? 1 : frames > double(INT32_MAX) ? INT32_MAX : int32_t(frames);
}

int32_t WalkStepCount(const TestPatternPlan& plan) {
    if (!plan.settings.onePortAtATime) return plan.longest;
    int32_t steps = 0;
    for (int32_t k = 0; k < plan.litPortCount; ++k) steps += plan.ledCount[plan.litPorts[k]];
    return steps;
}

void SetLed(const TestPatternPlan& plan, uint8_t* out, uint32_t position, const uint8_t rgb[3]) {
    const uint32_t value = plan.parts[0][rgb[0]] | plan.parts[1][rgb[1]] | plan.parts[2][rgb[2]];
    out[3 * position] = uint8_t(value);
    out[3 * position + 1] = uint8_t(value >> 8);
    out[3 * position + 2] = uint8_t(value >> 16);
}

// The window's read-out of a cell: X from the left, Y from the top, both from 1.
void AppendLed(std::string* line, int32_t port, int32_t position) {
    const ChainPoint point = CurrentPoints(port)[position];
    char text[80];
    std::snprintf(text, sizeof text, "%sport %d LED %d X=%d Y=%d", line->empty() ? "" : "; ",
                  int(port) + 1, int(position) + 1, int(point.x) + 1, kGridSide - int(point.y));
    *line += text;
}

}  // namespace

bool ParseTestPatternName(const std::string& name, TestPatternKind* kind) {
    for (int k = 0; k < 5; ++k)
        if (name == kPatternNames[k]) {
            *kind = TestPatternKind(k);
            return true;
        }
    return false;
}

const char* TestPatternName(TestPatternKind kind) {
    return kPatternNames[int(kind)];
}

bool ParsePortList(const std::string& text, bool selected[kPortCount]) {
    bool chosen[kPortCount] = {};
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = item.find('-');
        int first, last;
        if (dash == std::string::npos) {
            if (!ParsePortNumber(item, &first)) return false;
            last = first;
        } else if (!ParsePortNumber(item.substr(0, dash), &first) ||
                   !ParsePortNumber(item.substr(dash + 1), &last) || last < first) {
            return false;
        }
        for (int port = first; port <= last; ++port) chosen[port - 1] = true;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::copy(chosen, chosen + kPortCount, selected);
    return true;
}

bool PlanTestPattern(const TestPatternSettings& settings, TestPatternPlan* plan,
                     std::string* error) {
    *plan = TestPatternPlan{};
    plan->settings = settings;
    for (int port = 0; port < kPortCount; ++port) {
        plan->ledCount[port] = ChainLength(port);
        std::memcpy(plan->chainColor[port], ChainColor(port), 3);
        if (!settings.selected[port] || plan->ledCount[port] == 0) continue;
        plan->litPorts[plan->litPortCount++] = uint16_t(port);
        plan->longest = std::max(plan->longest, plan->ledCount[port]);
    }
    if (plan->litPortCount == 0) {
        *error = "none of the chosen ports has LEDs";
        return false;
    }
    BuildLedParts(settings.color, plan->parts);
    const double fps = settings.framesPerSecond;
    switch (settings.kind) {
        case TestPatternKind::Walk:
            plan->stepCount = WalkStepCount(*plan);
            plan->framesPerStep =
                FramesFor(settings.stepMs > 0 ? settings.stepMs : kWalkStepMs, fps);
            break;
        case TestPatternKind::Chase:
            plan->stepCount = plan->longest;
            plan->framesPerStep =
                FramesFor(settings.stepMs > 0 ? settings.stepMs : kChaseStepMs, fps);
            break;
        case TestPatternKind::Order:
            plan->stepCount = 4;
            plan->framesPerStep = FramesFor(1000.0, fps);
            break;
        case TestPatternKind::Ports:
        case TestPatternKind::Level:
            plan->stepCount = 1;
            plan->framesPerStep = FramesFor(kStillSeconds * 1000.0, fps);
            break;
    }
    const int64_t frames = int64_t(plan->stepCount) * plan->framesPerStep;
    if (frames > INT32_MAX) {
        *error = "the pattern would take more than 2^31 frames; give a shorter --step-ms";
        return false;
    }
    plan->frameCount = int32_t(frames);
    return true;
}

namespace {

// Walk: the port (index) and chain position lit by `step` in a one port at a
// time walk; in step, every lit port with a chain longer than `step` shows
// position `step` and *port is -1.
void WalkStepLed(const TestPatternPlan& plan, int32_t step, int32_t* port, int32_t* position) {
    *port = -1;
    *position = step;
    if (!plan.settings.onePortAtATime) return;
    for (int32_t k = 0; k < plan.litPortCount; ++k) {
        const int32_t count = plan.ledCount[plan.litPorts[k]];
        if (*position < count) {
            *port = plan.litPorts[k];
            return;
        }
        *position -= count;
    }
}

// The walk step `step` of a one-port walk where `port` (index) begins; -1
// when it is not lit.
int32_t WalkStepOfPort(const TestPatternPlan& plan, int32_t port) {
    int32_t step = 0;
    for (int32_t k = 0; k < plan.litPortCount; ++k) {
        if (plan.litPorts[k] == port) return step;
        step += plan.ledCount[plan.litPorts[k]];
    }
    return -1;
}

}  // namespace

void FillTestPatternStep(const TestPatternPlan& plan, int32_t step, uint32_t positions,
                         uint8_t* const out[kPortCount]) {
    for (int port = 0; port < kPortCount; ++port)
        if (out[port] != nullptr) std::memset(out[port], 0, size_t(positions) * 3);
    const TestPatternSettings& settings = plan.settings;
    int32_t walkPort = -1, walkPosition = step;
    if (settings.kind == TestPatternKind::Walk) WalkStepLed(plan, step, &walkPort, &walkPosition);
    for (int32_t k = 0; k < plan.litPortCount; ++k) {
        const int port = plan.litPorts[k];
        uint8_t* values = out[port];
        if (values == nullptr) continue;
        const uint32_t count = std::min(uint32_t(plan.ledCount[port]), positions);
        switch (settings.kind) {
            case TestPatternKind::Walk:
                if ((walkPort < 0 || walkPort == port) && uint32_t(walkPosition) < count)
                    SetLed(plan, values, uint32_t(walkPosition), kWhite);
                break;
            case TestPatternKind::Ports:
                for (uint32_t p = 0; p < count; ++p) SetLed(plan, values, p, plan.chainColor[port]);
                if (count > 1) SetLed(plan, values, count - 1, kRed);
                SetLed(plan, values, 0, kWhite);
                break;
            case TestPatternKind::Order:
                for (uint32_t p = 0; p < count; ++p)
                    SetLed(plan, values, p, kOrderColors[step & 3]);
                break;
            case TestPatternKind::Chase: {
                // The run's head is at `step`; it leaves the end of the
                // longest chain and comes back in at the start.
                const int32_t period = plan.longest;
                for (uint32_t p = 0; p < count; ++p) {
                    const int32_t behind = ((step - int32_t(p)) % period + period) % period;
                    if (behind < settings.runLength) SetLed(plan, values, p, kWhite);
                }
                break;
            }
            case TestPatternKind::Level:
                for (uint32_t p = 0; p < count; ++p) SetLed(plan, values, p, settings.level);
                break;
        }
    }
}

std::string DescribeTestStep(const TestPatternPlan& plan, int32_t step) {
    std::string line;
    if (plan.settings.kind == TestPatternKind::Order) return kOrderNames[step & 3];
    if (plan.settings.kind != TestPatternKind::Walk) return TestPatternName(plan.settings.kind);
    int32_t port, position;
    WalkStepLed(plan, step, &port, &position);
    if (port >= 0) {
        AppendLed(&line, port, position);
        return line;
    }
    for (int32_t k = 0; k < plan.litPortCount; ++k)
        if (position < plan.ledCount[plan.litPorts[k]])
            AppendLed(&line, plan.litPorts[k], position);
    return line;
}

bool AdvanceTestPattern(const TestPatternPlan& plan, TestPatternCursor* cursor) {
    if (cursor->paused) return false;
    if (++cursor->framesInStep < plan.framesPerStep) return false;
    cursor->framesInStep = 0;
    const int32_t before = cursor->step;
    cursor->step = (cursor->step + 1) % plan.stepCount;
    return cursor->step != before;
}

bool ApplyTestKey(TestPatternPlan* plan, TestPatternCursor* cursor, TestKey key) {
    int32_t delta = 0;
    switch (key) {
        case TestKey::None:
            return false;
        case TestKey::Pause:
            cursor->paused = !cursor->paused;
            return false;
        case TestKey::Quit:
            cursor->quit = true;
            return false;
        case TestKey::Back:
            delta = -1;
            break;
        case TestKey::Forward:
            delta = 1;
            break;
        case TestKey::BackTen:
            delta = -10;
            break;
        case TestKey::ForwardTen:
            delta = 10;
            break;
        case TestKey::NextPort:
            break;
    }
    if (plan->settings.kind != TestPatternKind::Walk) return false;
    const int32_t before = cursor->step;
    cursor->framesInStep = 0;
    if (key == TestKey::NextPort) {
        if (!plan->settings.onePortAtATime) {
            plan->settings.onePortAtATime = true;
            plan->stepCount = WalkStepCount(*plan);
            plan->frameCount = int32_t(
                std::min<int64_t>(int64_t(plan->stepCount) * plan->framesPerStep, INT32_MAX));
            cursor->step = 0;
            return true;
        }
        int32_t port, position;
        WalkStepLed(*plan, cursor->step, &port, &position);
        int32_t k = 0;
        while (k < plan->litPortCount && plan->litPorts[k] != port) ++k;
        cursor->step = WalkStepOfPort(*plan, plan->litPorts[(k + 1) % plan->litPortCount]);
        return cursor->step != before;
    }
    const int32_t count = plan->stepCount;
    cursor->step = ((cursor->step + delta) % count + count) % count;
    return cursor->step != before;
}

bool RunTestPattern(const TestPatternPlan& plan, OutputSink& sink, ConversionProgress progress,
                    void* progressContext, const std::atomic<bool>* stop, std::string* error,
                    int32_t* framesDone) {
    if (framesDone != nullptr) *framesDone = 0;
    const char* name = TestPatternName(plan.settings.kind);
    ConversionInfo info = {};
    info.videoPath = nullptr;
    info.frameCount = plan.frameCount;
    info.framesPerSecond = plan.settings.framesPerSecond;
    info.colorOrder = uint8_t(plan.settings.color.order);
    std::vector<uint8_t> values;
    uint8_t* out[kPortCount];
    FrameLeds leds = {};
    const uint16_t longest = LayOutFrameLeds(&info, &values, out, &leds);
    if (!sink.begin(sink.state, info)) {
        *error = sink.error(sink.state);
        sink.abort(sink.state);
        return false;
    }
    bool ok = true;
    int32_t done = 0, shown = -1;
    for (; done < plan.frameCount; ++done) {
        if (stop != nullptr && stop->load()) {
            *error = std::string(name) + ": stopped";
            ok = false;
            break;
        }
        const int32_t step = done / plan.framesPerStep;
        if (step != shown) FillTestPatternStep(plan, step, longest, out);
        shown = step;
        leds.frameIndex = done;
        if (!sink.frame(sink.state, leds)) {
            *error = sink.error(sink.state);
            ok = false;
            break;
        }
        if (progress != nullptr) progress(progressContext, done + 1, plan.frameCount);
    }
    if (ok && !sink.finish(sink.state, done)) {
        *error = sink.error(sink.state);
        ok = false;
    }
    if (!ok) sink.abort(sink.state);
    if (framesDone != nullptr) *framesDone = done;
    return ok;
}
