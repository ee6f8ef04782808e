// The test patterns frame by frame over a small layout of three ports with
// chains of 3, 2 and 4 LEDs (ports 1, 2 and 4; port 3 empty): which LED each
// step lights and in what bytes, the fixed lengths, the port choice, the
// colour steps, the cursor and its keys, and the line each step prints.
#include "convert/test_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/layout.h"
#include "support/edits.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Every frame the sink gets, per port, as the core hands it over.
struct Capture {
    ConversionInfo info = {};
    std::vector<Bytes> frames[kPortCount];
    int32_t finished = -1;
};

OutputSink CaptureSink(Capture* capture) {
    return OutputSink{capture,
                      [](void* state, const ConversionInfo& info) {
                          static_cast<Capture*>(state)->info = info;
                          return true;
                      },
                      [](void* state, const FrameLeds& leds) {
                          auto* c = static_cast<Capture*>(state);
                          EXPECT_EQ(leds.frameIndex, int32_t(c->frames[0].size()));
                          for (int port = 0; port < kPortCount; ++port)
                              if (leds.values[port] != nullptr)
                                  c->frames[port].emplace_back(
                                      leds.values[port],
                                      leds.values[port] + 3 * c->info.ledCount[port]);
                          return true;
                      },
                      [](void* state, int32_t done) {
                          static_cast<Capture*>(state)->finished = done;
                          return true;
                      },
                      [](void*) {},
                      [](const void*) { return ""; }};
}

constexpr int kPorts[3] = {0, 1, 3};
constexpr int kLengths[3] = {3, 2, 4};

class TestPatterns : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        for (int k = 0; k < 3; ++k)
            for (int led = 0; led < kLengths[k]; ++led)
                AddLed(kPorts[k], {uint16_t(10 * (k + 1) + led), uint16_t(100 + k)});
        SetChainColor(0, 200, 10, 0);
        SetChainColor(1, 0, 100, 50);
        SetChainColor(3, 30, 0, 255);
    }
    void TearDown() override { ResetRunState(); }

    // 25 frames per second, RGB at 100 % (so 255 becomes 254), every port.
    static TestPatternSettings Settings(TestPatternKind kind) {
        TestPatternSettings settings = {};
        settings.kind = kind;
        settings.framesPerSecond = 25;
        settings.runLength = kChaseRunLength;
        settings.color = {int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}};
        for (bool& selected : settings.selected) selected = true;
        return settings;
    }
    static TestPatternPlan Plan(const TestPatternSettings& settings) {
        TestPatternPlan plan;
        std::string error;
        EXPECT_TRUE(PlanTestPattern(settings, &plan, &error)) << error;
        return plan;
    }
    static Capture Run(const TestPatternPlan& plan) {
        Capture capture;
        OutputSink sink = CaptureSink(&capture);
        std::string error;
        int32_t done = 0;
        EXPECT_TRUE(RunTestPattern(plan, sink, nullptr, nullptr, nullptr, &error, &done)) << error;
        EXPECT_EQ(done, plan.frameCount);
        EXPECT_EQ(capture.finished, plan.frameCount);
        return capture;
    }
};

// A port's expected frame: LED p gets colours[p] (three bytes), the others 0.
Bytes PortFrame(int leds, const std::vector<std::pair<int, Bytes>>& lit) {
    Bytes frame(size_t(3 * leds), 0);
    for (const auto& [position, bytes] : lit)
        std::copy(bytes.begin(), bytes.end(), frame.begin() + 3 * position);
    return frame;
}

const Bytes kWhite = {254, 254, 254};

TEST_F(TestPatterns, WalkLightsOneLedPerStepInStepOrOnePortAtATime) {
    // In step: step k lights position k of every chain that long.
    // One port at a time: port 1's three, port 2's two, then port 4's four.
    struct Lit {
        int port, position;
    };
    const std::vector<std::vector<Lit>> inStep = {
        {{0, 0}, {1, 0}, {3, 0}}, {{0, 1}, {1, 1}, {3, 1}}, {{0, 2}, {3, 2}}, {{3, 3}}};
    std::vector<std::vector<Lit>> onePort;
    for (int k = 0; k < 3; ++k)
        for (int led = 0; led < kLengths[k]; ++led) onePort.push_back({{kPorts[k], led}});

    for (const bool one : {false, true}) {
        SCOPED_TRACE(one ? "one port at a time" : "in step");
        TestPatternSettings settings = Settings(TestPatternKind::Walk);
        settings.onePortAtATime = one;
        settings.stepMs = 80;  // two frames at 25 per second
        const TestPatternPlan plan = Plan(settings);
        const auto& steps = one ? onePort : inStep;
        ASSERT_EQ(plan.stepCount, int32_t(steps.size()));
        ASSERT_EQ(plan.framesPerStep, 2);
        const Capture capture = Run(plan);
        EXPECT_EQ(capture.info.frameCount, 2 * int32_t(steps.size()));
        EXPECT_EQ(capture.info.framesPerSecond, 25.0);
        EXPECT_EQ(capture.info.videoPath, nullptr);
        for (size_t f = 0; f < 2 * steps.size(); ++f) {
            SCOPED_TRACE(f);
            for (int k = 0; k < 3; ++k) {
                const int port = kPorts[k];
                std::vector<std::pair<int, Bytes>> lit;
                for (const Lit& led : steps[f / 2])
                    if (led.port == port) lit.push_back({led.position, kWhite});
                ASSERT_EQ(capture.frames[port].size(), 2 * steps.size());
                EXPECT_EQ(capture.frames[port][f], PortFrame(kLengths[k], lit)) << "port " << port;
            }
        }
    }
}

TEST_F(TestPatterns, StepLinesNameThePortTheLedAndTheCellAsTheReadOutShowsIt) {
    // LED k of chain c (from 0) at grid (10 * (c + 1) + k, 100 + c): the read-out
    // shows X from 1 and Y from the top, 2048 - y.
    TestPatternSettings settings = Settings(TestPatternKind::Walk);
    settings.onePortAtATime = true;
    TestPatternPlan plan = Plan(settings);
    EXPECT_EQ(DescribeTestStep(plan, 0), "port 1 LED 1 X=11 Y=1948");
    EXPECT_EQ(DescribeTestStep(plan, 4), "port 2 LED 2 X=22 Y=1947");
    EXPECT_EQ(DescribeTestStep(plan, 8), "port 4 LED 4 X=34 Y=1946");
    settings.onePortAtATime = false;
    plan = Plan(settings);
    EXPECT_EQ(DescribeTestStep(plan, 2), "port 1 LED 3 X=13 Y=1948; port 4 LED 3 X=33 Y=1946");
    EXPECT_EQ(DescribeTestStep(Plan(Settings(TestPatternKind::Order)), 2), "blue");
}

TEST_F(TestPatterns, PortsOrderChaseAndLevelFrames) {
    // GRB order, red at 50 %: red 255 gives 127, and each LED's bytes are
    // green, red, blue.
    TestPatternSettings settings = Settings(TestPatternKind::Ports);
    settings.color = {int(ColorOrder::GRB), {50, 100, 100}, {0, 0, 0}};
    Capture capture = Run(Plan(settings));
    EXPECT_EQ(capture.info.frameCount, 250);  // ten seconds
    EXPECT_EQ(capture.info.colorOrder, uint8_t(ColorOrder::GRB));
    const Bytes white = {254, 127, 254}, red = {0, 127, 0};
    EXPECT_EQ(capture.frames[0][249], PortFrame(3, {{0, white}, {1, {10, 100, 0}}, {2, red}}));
    EXPECT_EQ(capture.frames[1][0], PortFrame(2, {{0, white}, {1, red}}));
    EXPECT_EQ(capture.frames[3][0],
              PortFrame(4, {{0, white}, {1, {0, 15, 254}}, {2, {0, 15, 254}}, {3, red}}));

    // A second each at 4 frames per second: red, green, blue, white.
    settings = Settings(TestPatternKind::Order);
    settings.framesPerSecond = 4;
    capture = Run(Plan(settings));
    ASSERT_EQ(capture.frames[3].size(), 16u);
    const Bytes colours[4] = {{254, 0, 0}, {0, 254, 0}, {0, 0, 254}, {254, 254, 254}};
    for (int f = 0; f < 16; ++f) {
        const Bytes& c = colours[f / 4];
        EXPECT_EQ(capture.frames[3][size_t(f)], PortFrame(4, {{0, c}, {1, c}, {2, c}, {3, c}}))
            << f;
    }

    // A run of two, one LED per frame, over the longest chain (4): it leaves
    // the end and comes back in at the start.
    settings = Settings(TestPatternKind::Chase);
    settings.runLength = 2;
    capture = Run(Plan(settings));
    ASSERT_EQ(capture.frames[3].size(), 4u);
    const std::vector<std::vector<int>> lit = {{0, 3}, {0, 1}, {1, 2}, {2, 3}};
    for (size_t f = 0; f < 4; ++f) {
        std::vector<std::pair<int, Bytes>> port4, port2;
        for (int p : lit[f]) {
            port4.push_back({p, kWhite});
            if (p < 2) port2.push_back({p, kWhite});
        }
        EXPECT_EQ(capture.frames[3][f], PortFrame(4, port4)) << f;
        EXPECT_EQ(capture.frames[1][f], PortFrame(2, port2)) << f;
    }

    // Level with a black level, on ports 2 and 4 only: port 1 keeps its
    // place in the output, dark.
    settings = Settings(TestPatternKind::Level);
    settings.level[0] = 40, settings.level[1] = 128, settings.level[2] = 255;
    settings.color.blackLevel[2] = 55;
    ASSERT_TRUE(ParsePortList("2,4", settings.selected));
    capture = Run(Plan(settings));
    EXPECT_EQ(capture.info.ledCount[0], 3);
    const Bytes level = {40, 128, 200};
    EXPECT_EQ(capture.frames[0][0], PortFrame(3, {}));
    EXPECT_EQ(capture.frames[1][0], PortFrame(2, {{0, level}, {1, level}}));
    EXPECT_EQ(capture.frames[3][0], PortFrame(4, {{0, level}, {1, level}, {2, level}, {3, level}}));
}

TEST_F(TestPatterns, ChosenPortsRestrictTheWalkAndMustHaveLeds) {
    TestPatternSettings settings = Settings(TestPatternKind::Walk);
    settings.onePortAtATime = true;
    ASSERT_TRUE(ParsePortList("3-4", settings.selected));  // port 3 has no LEDs
    const TestPatternPlan plan = Plan(settings);
    EXPECT_EQ(plan.stepCount, 4);
    EXPECT_EQ(DescribeTestStep(plan, 0), "port 4 LED 1 X=31 Y=1946");

    ASSERT_TRUE(ParsePortList("3,5-256", settings.selected));
    TestPatternPlan none;
    std::string error;
    EXPECT_FALSE(PlanTestPattern(settings, &none, &error));
    EXPECT_EQ(error, "none of the chosen ports has LEDs");
}

TEST_F(TestPatterns, PortListsAndPatternNames) {
    const struct {
        const char* text;
        bool ok;
        std::vector<int> ports;  // numbers from 1
    } cases[] = {
        {"1", true, {1}},     {"1,3-5", true, {1, 3, 4, 5}},
        {"256", true, {256}}, {"4-4,2", true, {2, 4}},
        {"", false, {}},      {"0", false, {}},
        {"257", false, {}},   {"5-3", false, {}},
        {"1,", false, {}},    {"1-", false, {}},
        {"a", false, {}},     {"+1", false, {}},
        {"1 ,2", false, {}},  {"1-2-3", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool selected[kPortCount];
        std::fill(selected, selected + kPortCount, true);
        EXPECT_EQ(ParsePortList(c.text, selected), c.ok);
        if (!c.ok) continue;
        std::vector<int> got;
        for (int port = 0; port < kPortCount; ++port)
            if (selected[port]) got.push_back(port + 1);
        EXPECT_EQ(got, c.ports);
    }
    for (const char* name : {"walk", "ports", "order", "chase", "level"}) {
        TestPatternKind kind;
        ASSERT_TRUE(ParseTestPatternName(name, &kind));
        EXPECT_STREQ(TestPatternName(kind), name);
    }
    TestPatternKind kind;
    EXPECT_FALSE(ParseTestPatternName("Walk", &kind));
}

TEST_F(TestPatterns, CursorKeysStepPauseAndChangePort) {
    // A walk in step (4 steps), two frames a step.
    TestPatternSettings settings = Settings(TestPatternKind::Walk);
    settings.stepMs = 80;
    TestPatternPlan plan = Plan(settings);
    TestPatternCursor cursor = {};
    EXPECT_FALSE(AdvanceTestPattern(plan, &cursor));
    EXPECT_TRUE(AdvanceTestPattern(plan, &cursor));
    EXPECT_EQ(cursor.step, 1);

    const struct {
        TestKey key;
        bool changed;
        int32_t step;
        bool paused, onePort;
    } keys[] = {
        {TestKey::Pause, false, 1, true, false},
        {TestKey::Forward, true, 2, true, false},
        {TestKey::Forward, true, 3, true, false},
        {TestKey::Forward, true, 0, true, false},  // wraps
        {TestKey::Back, true, 3, true, false},
        {TestKey::ForwardTen, true, 1, true, false},  // 13 mod 4
        {TestKey::BackTen, true, 3, true, false},
        {TestKey::NextPort, true, 0, true, true},  // port 1, LED 1
        {TestKey::NextPort, true, 3, true, true},  // port 2, LED 1
        {TestKey::Forward, true, 4, true, true},
        {TestKey::NextPort, true, 5, true, true},  // port 4, LED 1
        {TestKey::BackTen, true, 4, true, true},   // 9 steps: -5 mod 9
        {TestKey::NextPort, true, 5, true, true},
        {TestKey::NextPort, true, 0, true, true},  // back to port 1
        {TestKey::Pause, false, 0, false, true},
        {TestKey::None, false, 0, false, true},
    };
    for (size_t k = 0; k < sizeof keys / sizeof keys[0]; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ApplyTestKey(&plan, &cursor, keys[k].key), keys[k].changed);
        EXPECT_EQ(cursor.step, keys[k].step);
        EXPECT_EQ(cursor.paused, keys[k].paused);
        EXPECT_EQ(plan.settings.onePortAtATime, keys[k].onePort);
        if (k == 0) {  // paused: frames pass, the step stays
            for (int f = 0; f < 5; ++f) EXPECT_FALSE(AdvanceTestPattern(plan, &cursor));
        }
    }
    EXPECT_EQ(plan.stepCount, 9);
    EXPECT_EQ(plan.frameCount, 18);
    // A move starts the step afresh.
    EXPECT_FALSE(AdvanceTestPattern(plan, &cursor));
    EXPECT_TRUE(AdvanceTestPattern(plan, &cursor));
    EXPECT_EQ(cursor.step, 1);
    ApplyTestKey(&plan, &cursor, TestKey::Quit);
    EXPECT_TRUE(cursor.quit);

    // The step keys leave the other patterns alone.
    TestPatternPlan order = Plan(Settings(TestPatternKind::Order));
    TestPatternCursor still = {};
    EXPECT_FALSE(ApplyTestKey(&order, &still, TestKey::Forward));
    EXPECT_FALSE(ApplyTestKey(&order, &still, TestKey::NextPort));
    EXPECT_EQ(still.step, 0);
}

}  // namespace
