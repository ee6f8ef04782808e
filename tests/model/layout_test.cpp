// The layout model: history ring, grid marks, colour guard, flags and the
// lazily stored levels.
#include "model/layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

bool operator==(ChainPoint a, ChainPoint b) {
    return a.x == b.x && a.y == b.y;
}

namespace {

// The background colour the edits avoid (white, as after the default settings).
PackedColor g_background;

void AddLed(int port, ChainPoint point) {
    AddLed(port, point, g_background);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        g_background = {255, 255, 255, 0};
    }
};

std::vector<ChainPoint> CurrentChain(int port) {
    const ChainPoint* points = CurrentPoints(port);
    return std::vector<ChainPoint>(points, points + ChainLength(port));
}

size_t CountOccupied() {
    size_t occupied = 0;
    for (int x = 0; x < kGridSide; ++x)
        for (int y = 0; y < kGridSide; ++y) occupied += CellAt(x, y).occupied;
    return occupied;
}

// Every LED of every listed port's current chain is marked with its port and
// position, and no other cell of the grid is occupied.
void ExpectGridMatchesChains(std::initializer_list<int> ports) {
    size_t leds = 0;
    for (int port : ports) {
        const std::vector<ChainPoint> chain = CurrentChain(port);
        for (size_t i = 0; i < chain.size(); ++i) {
            const GridCell& cell = CellAt(chain[i].x, chain[i].y);
            ASSERT_EQ(cell.occupied, 1) << "port " << port << " led " << i;
            EXPECT_EQ(cell.port, port);
            EXPECT_EQ(cell.index, i);
        }
        leds += chain.size();
    }
    EXPECT_EQ(CountOccupied(), leds);
}

enum class Op { Add, Undo, Clear };
struct Step {
    Op op;
    int port;
    ChainPoint point;
    // Expected afterwards for `port`:
    uint16_t count, head, depth;
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

void RunScenario(const Scenario& scenario) {
    SCOPED_TRACE(scenario.name);
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
        const Step& s = scenario.steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        switch (s.op) {
            case Op::Add:
                AddLed(s.port, s.point);
                break;
            case Op::Undo:
                UndoChain(s.port);
                break;
            case Op::Clear:
                ClearChain(s.port);
                break;
        }
        EXPECT_EQ(ChainLength(s.port), s.count);
        EXPECT_EQ(Ring(s.port).head, s.head);
        EXPECT_EQ(Ring(s.port).depth, s.depth);
    }
    ExpectGridMatchesChains({0, 1, 2});
}

TEST_F(LayoutTest, HistoryScenarios) {
    const ChainPoint A{10, 20}, B{11, 20}, C{12, 20};
    const std::vector<Scenario> scenarios = {
        {"undo then add overwrites the level ahead",
         {{Op::Add, 0, A, 1, 1, 1},
          {Op::Add, 0, B, 2, 2, 2},
          {Op::Undo, 0, {}, 1, 1, 1},
          {Op::Add, 0, C, 2, 2, 2},
          {Op::Undo, 0, {}, 1, 1, 1},
          {Op::Undo, 0, {}, 0, 0, 0},
          {Op::Undo, 0, {}, 0, 0, 0}}},
        {"occupied cell of another port adds nothing to either",
         {{Op::Add, 0, A, 1, 1, 1}, {Op::Add, 1, A, 0, 0, 0}, {Op::Add, 0, A, 1, 1, 1}}},
        {"undo frees the cell for another port",
         {{Op::Add, 0, A, 1, 1, 1},
          {Op::Add, 0, B, 2, 2, 2},
          {Op::Undo, 0, {}, 1, 1, 1},
          {Op::Add, 1, B, 1, 1, 1}}},
        {"out of the grid is refused",
         {{Op::Add, 0, {2048, 0}, 0, 0, 0},
          {Op::Add, 0, {0, 2048}, 0, 0, 0},
          {Op::Add, 0, {2047, 2047}, 1, 1, 1}}},
        {"clear leaves no undo step",
         {{Op::Add, 2, A, 1, 1, 1},
          {Op::Add, 2, B, 2, 2, 2},
          {Op::Clear, 2, {}, 0, 0, 0},
          {Op::Undo, 2, {}, 0, 0, 0},
          {Op::Add, 2, B, 1, 1, 1}}},
    };
    for (const Scenario& scenario : scenarios) {
        ResetLayoutModel();
        RunScenario(scenario);
    }
}

TEST_F(LayoutTest, UndoAfterOverwriteShowsTheNewerOrder) {
    const ChainPoint A{1, 1}, B{2, 2}, C{3, 3};
    AddLed(0, A);
    AddLed(0, B);
    UndoChain(0);
    AddLed(0, C);
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{A, C}));
    EXPECT_EQ(CellAt(2, 2).occupied, 0);
    EXPECT_EQ(LevelCount(0, 1), 1);
    EXPECT_EQ(LevelPoints(0, 1)[0], A);
}

TEST_F(LayoutTest, FullChainTakesThe2048thLedButNotThe2049th) {
    for (int i = 0; i < kChainCapacity; ++i) AddLed(3, {uint16_t(i), 7});
    EXPECT_EQ(ChainLength(3), 2048);
    EXPECT_EQ(Ring(3).depth, 255);
    const uint16_t head = Ring(3).head;
    AddLed(3, {0, 8});
    EXPECT_EQ(ChainLength(3), 2048);
    EXPECT_EQ(Ring(3).head, head);
    EXPECT_EQ(CellAt(0, 8).occupied, 0);
    EXPECT_EQ(CurrentPoints(3)[2047], (ChainPoint{2047, 7}));
    ExpectGridMatchesChains({3});
}

TEST_F(LayoutTest, RingKeepsOnly255UndoSteps) {
    for (int i = 0; i < 256; ++i) AddLed(0, {uint16_t(i), 0});
    EXPECT_EQ(Ring(0).head, 0);  // wrapped onto level 0
    EXPECT_EQ(Ring(0).depth, 255);
    for (int i = 0; i < 255; ++i) UndoChain(0);
    EXPECT_EQ(Ring(0).depth, 0);
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{0, 0}}));
    UndoChain(0);
    EXPECT_EQ(ChainLength(0), 1);
    ExpectGridMatchesChains({0});

    // Further pushes keep depth at 255 and overwrite the oldest state.
    ResetLayoutModel();
    for (int i = 0; i < 300; ++i) AddLed(0, {uint16_t(i), 0});
    EXPECT_EQ(Ring(0).depth, 255);
    for (int i = 0; i < 300; ++i) UndoChain(0);
    EXPECT_EQ(ChainLength(0), 300 - 255);
    ExpectGridMatchesChains({0});
}

TEST_F(LayoutTest, ColorGuardInvertsBackgroundColoredChains) {
    struct Case {
        const char* name;
        uint8_t chain[3];
        ChainPoint point;
        bool occupyFirst;
        uint8_t expected[3];
        uint16_t count;
    };
    const Case cases[] = {
        {"white on white becomes black", {255, 255, 255}, {5, 5}, false, {0, 0, 0}, 1},
        {"also when the cell is occupied", {255, 255, 255}, {5, 5}, true, {0, 0, 0}, 0},
        {"one byte differs: untouched", {255, 254, 255}, {5, 5}, false, {255, 254, 255}, 1},
        {"out of range: no guard", {255, 255, 255}, {4000, 5}, false, {255, 255, 255}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLayoutModel();
        if (c.occupyFirst) AddLed(9, c.point);
        SetChainColor(0, c.chain[0], c.chain[1], c.chain[2]);
        AddLed(0, c.point);
        EXPECT_EQ(ChainColor(0)[0], c.expected[0]);
        EXPECT_EQ(ChainColor(0)[1], c.expected[1]);
        EXPECT_EQ(ChainColor(0)[2], c.expected[2]);
        EXPECT_EQ(ChainLength(0), c.count);
    }
    // The guard compares with the background colour it is given.
    ResetLayoutModel();
    g_background = {10, 20, 30, 0};
    SetChainColor(1, 10, 20, 30);
    AddLed(1, {0, 0});
    EXPECT_EQ(ChainColor(1)[0], 245);
    EXPECT_EQ(ChainColor(1)[1], 235);
    EXPECT_EQ(ChainColor(1)[2], 225);
}

TEST_F(LayoutTest, ActiveFlagsLiveOutsideHistory) {
    EXPECT_EQ(ActiveFlags(0)[0], 0);
    AddLed(0, {1, 1});  // a new chain lights every position
    EXPECT_EQ(ActiveFlags(0)[0], 1);
    EXPECT_EQ(ActiveFlags(0)[2047], 1);
    AddLed(0, {2, 1});
    SetActiveRange(0, 0, 2, 0);
    UndoChain(0);
    EXPECT_EQ(ActiveFlags(0)[0], 0);  // undo does not restore flags
    AddLed(0, {3, 1});                // chain not empty: no reset
    EXPECT_EQ(ActiveFlags(0)[1], 0);
    UndoChain(0);
    UndoChain(0);
    AddLed(0, {4, 1});  // empty again: every flag lit
    EXPECT_EQ(ActiveFlags(0)[0], 1);
    EXPECT_EQ(ActiveFlags(0)[1], 1);
}

TEST_F(LayoutTest, EmptyPortChainZeroesEveryLevelButKeepsTheRing) {
    SetChainColor(4, 1, 2, 3);
    for (int i = 0; i < 300; ++i) AddLed(4, {uint16_t(i), 9});
    const UndoRing ring = Ring(4);
    UnmarkChain(4);
    EmptyPortChain(4);
    EXPECT_EQ(Ring(4).head, ring.head);
    EXPECT_EQ(Ring(4).depth, ring.depth);
    EXPECT_EQ(ChainColor(4)[0] | ChainColor(4)[1] | ChainColor(4)[2], 0);
    for (int level = 0; level < kHistoryLevels; ++level) {
        EXPECT_EQ(LevelCount(4, level), 0);
        EXPECT_EQ(LevelPoints(4, level)[0], (ChainPoint{0, 0}));
        EXPECT_EQ(LevelPoints(4, level)[2047], (ChainPoint{0, 0}));
    }
    EXPECT_EQ(ActiveFlags(4)[0], 0);

    // Blocks handed back are reused by other ports and read as zeros there.
    const ChainPoint one = {7, 7};
    InstallLoadedChain(5, ChainColor(5), &one, 1, 1);
    for (int i = 1; i < kChainCapacity; ++i) EXPECT_EQ(LevelPoints(5, 1)[i], (ChainPoint{0, 0}));
    AddLed(6, {100, 100});
    AddLed(6, {101, 100});
    EXPECT_EQ(CurrentChain(6), (std::vector<ChainPoint>{{100, 100}, {101, 100}}));
    ExpectGridMatchesChains({4, 5, 6});
}

TEST_F(LayoutTest, LoadedChainStartsAFreshHistory) {
    for (int i = 0; i < 5; ++i) AddLed(0, {uint16_t(i), 0});
    UndoChain(0);
    UndoChain(0);  // level 3 current, level 1 still holds one LED
    const ChainPoint points[] = {{50, 60}, {51, 60}};
    const uint8_t color[3] = {1, 2, 3};
    InstallLoadedChain(0, color, points, 2, 1);
    EXPECT_EQ(Ring(0).head, 1);
    EXPECT_EQ(Ring(0).depth, 1);
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{50, 60}, {51, 60}}));
    EXPECT_EQ(ActiveFlags(0)[0], 1);
    EXPECT_EQ(ActiveFlags(0)[1], 0);  // the older level's flags are gone with it
    EXPECT_EQ(CellAt(0, 0).occupied, 0);
    ExpectGridMatchesChains({0});
    UndoChain(0);  // the level before is the emptied one
    EXPECT_EQ(ChainLength(0), 0);
    for (int level = 2; level < kHistoryLevels; ++level) EXPECT_EQ(LevelCount(0, level), 0);
    ExpectGridMatchesChains({0});
}

TEST_F(LayoutTest, UndoAfterALoadRestoresTheLoadedIndexes) {
    const ChainPoint points[] = {{9, 9}, {8, 8}};
    InstallLoadedChain(0, ChainColor(0), points, 2, 2);
    AddLed(0, {7, 7});
    EXPECT_EQ(CellAt(7, 7).index, 2);
    UndoChain(0);
    EXPECT_EQ(CellAt(7, 7).occupied, 0);
    EXPECT_EQ(CellAt(9, 9).index, 0);
    EXPECT_EQ(CellAt(8, 8).index, 1);
    ExpectGridMatchesChains({0});
}

TEST_F(LayoutTest, MarksSkipPointsOutsideTheGrid) {
    // A loaded chain file may hold any coordinates; the grid must stay intact.
    const ChainPoint points[] = {{5, 5}, {60000, 3}, {3, 2048}, {6, 5}};
    InstallLoadedChain(0, ChainColor(0), points, 4, 4);
    EXPECT_EQ(CellAt(6, 5).index, 3);
    EXPECT_EQ(CellAt(5, 5).index, 0);
    EXPECT_EQ(CountOccupied(), 2u);
    UnmarkChain(0);
    EXPECT_EQ(CellAt(5, 5).occupied, 0);
    EXPECT_EQ(CellAt(6, 5).occupied, 0);
}

TEST_F(LayoutTest, CurrentPortIgnoresIndexesAbove255) {
    SelectCurrentPort(255);
    EXPECT_EQ(CurrentPort(), 255);
    SelectCurrentPort(256);
    EXPECT_EQ(CurrentPort(), 255);
}

}  // namespace
