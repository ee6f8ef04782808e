// Placing, switching and removing LEDs with the mouse operations and the
// commands 160, 174 (through the dispatcher, which checks their port field)
// and 192.
#include "app/edit.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/view.h"
#include "common/common.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "render/settings.h"
#include "render/window.h"
#include "support/live_edits.h"
#include "support/stand_in_window.h"
#include "support/test_support.h"

namespace {

// One window pixel per cell, the whole grid in view: window x is the column,
// and the packed position of a cell is easy to write.
class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        SetSettingsColor(SettingsColor::Background, 255, 255, 255);
        SetStandInWindow({0, 0, 2048, 2048});
        SetView(1, 0, 2047);
    }
};

uint32_t At(int x, int y) {
    return PackWindowPosition(x, 2047 - y);
}

std::vector<std::pair<int, int>> Chain(int port) {
    std::vector<std::pair<int, int>> chain;
    for (int i = 0; i < ChainLength(port); ++i)
        chain.push_back({CurrentPoints(port)[i].x, CurrentPoints(port)[i].y});
    return chain;
}

std::vector<uint8_t> Packet(uint16_t code, uint16_t field) {
    std::vector<uint8_t> packet(2048, 0);
    WriteBE16(packet.data(), code);
    WriteBE16(packet.data() + 2, field);
    return packet;
}

TEST_F(EditTest, RightClickLaysAStraightRun) {
    using Cells = std::vector<std::pair<int, int>>;
    struct Case {
        const char* name;
        Cells otherPort;  // LEDs of port 9 in the way
        std::pair<int, int> click;
        Cells appended;
    };
    const Case cases[] = {
        {"right along the row",
         {},
         {15, 100},
         {{11, 100}, {12, 100}, {13, 100}, {14, 100}, {15, 100}}},
        {"left along the row", {}, {8, 100}, {{9, 100}, {8, 100}}},
        {"down the column, skipping an occupied cell",
         {{10, 97}},
         {10, 95},
         {{10, 99}, {10, 98}, {10, 96}, {10, 95}}},
        {"up the column", {}, {10, 102}, {{10, 101}, {10, 102}}},
        {"off the row and column", {}, {12, 102}, {}},
        {"on the last LED itself", {}, {10, 100}, {}},
        {"outside the grid", {}, {-5, 100}, {}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ResetLayoutModel();
        for (auto [x, y] : t.otherPort) AddLed(9, {uint16_t(x), uint16_t(y)});
        AddLed(0, {10, 100});
        PlaceLedLine(At(t.click.first, t.click.second));
        Cells expected = {{10, 100}};
        expected.insert(expected.end(), t.appended.begin(), t.appended.end());
        EXPECT_EQ(Chain(0), expected);
        EXPECT_EQ(Ring(0).depth, expected.size());
        EXPECT_EQ(ChainLength(9), t.otherPort.size());
    }
}

TEST_F(EditTest, RunsStopAtAFullChainAndNeedALastLed) {
    PlaceLedLine(At(5, 5));
    EXPECT_EQ(ChainLength(0), 0);

    for (int i = 0; i < 2046; ++i) AddLed(0, {uint16_t(i % 2048), uint16_t(i / 2048)});
    AddLed(0, {0, 10});
    PlaceLedLine(At(0, 20));
    EXPECT_EQ(ChainLength(0), 2048);
    EXPECT_EQ(CurrentPoints(0)[2047].y, 11);
    EXPECT_EQ(CellAt(0, 12).occupied, 0);
}

TEST_F(EditTest, UndoRemovesARunOneLedAtATime) {
    AddLed(0, {10, 100});
    PlaceLedLine(At(15, 100));
    const std::vector<uint8_t> undo = Packet(160, 1);
    for (int x = 15; x >= 11; --x) {
        RunCommand(undo.data());
        EXPECT_EQ(CellAt(x, 100).occupied, 0) << x;
        EXPECT_EQ(ChainLength(0), x - 10);
    }
}

TEST_F(EditTest, LeftClickPlacesOnFreeCellsOnly) {
    SelectCurrentPort(2);
    PlaceLed(At(3, 4));
    AddLed(5, {6, 7});
    PlaceLed(At(6, 7));   // another port's LED
    PlaceLed(At(3, 4));   // our own
    PlaceLed(At(-1, 4));  // left of the grid
    EXPECT_EQ(Chain(2), (std::vector<std::pair<int, int>>{{3, 4}}));
    EXPECT_EQ(Chain(5), (std::vector<std::pair<int, int>>{{6, 7}}));

    for (int i = 1; i < 2048; ++i) AddLed(2, {uint16_t(i % 2048), uint16_t(1000 + i / 2048)});
    ASSERT_EQ(ChainLength(2), 2048);
    SetChainColor(2, 255, 255, 255);
    PlaceLed(At(0, 500));
    EXPECT_EQ(ChainLength(2), 2048);
    EXPECT_EQ(ChainColor(2)[0], 255);  // a full chain is not handed to AddLed
}

TEST_F(EditTest, ToggleSwitchesFromTheClickedLedToTheEnd) {
    for (int i = 0; i < 10; ++i) AddLed(0, {uint16_t(i), 50});
    AddLed(1, {20, 50});
    auto flags = [] { return std::vector<uint8_t>(ActiveFlags(0), ActiveFlags(0) + 10); };
    ToggleLeds(At(3, 50));
    EXPECT_EQ(flags(), (std::vector<uint8_t>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    ToggleLeds(At(5, 50));
    EXPECT_EQ(flags(), (std::vector<uint8_t>{1, 1, 1, 0, 0, 1, 1, 1, 1, 1}));
    ToggleLeds(At(30, 50));  // empty cell
    ToggleLeds(At(20, 50));  // port 1's LED
    EXPECT_EQ(flags(), (std::vector<uint8_t>{1, 1, 1, 0, 0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(ActiveFlags(1)[0], 1);
    EXPECT_EQ(ActiveFlags(0)[10], 1);  // behind the chain: untouched
}

TEST_F(EditTest, UndoCommandTakesAPortNumber) {
    struct Case {
        uint16_t field;
        int port;  // -1: nothing
    };
    const Case cases[] = {{0, 0}, {1, 0}, {2, 1}, {256, 255}, {257, -1}, {65535, -1}};
    for (const Case& t : cases) {
        SCOPED_TRACE(t.field);
        ResetLayoutModel();
        for (int port : {0, 1, 255}) {
            AddLed(port, {uint16_t(port), 1});
            AddLed(port, {uint16_t(port), 2});
        }
        RunCommand(Packet(160, t.field).data());
        for (int port : {0, 1, 255}) EXPECT_EQ(ChainLength(port), port == t.port ? 1 : 2);
    }
}

TEST_F(EditTest, ClearAsksOnlyWhenThereIsAnUndoStep) {
    struct Case {
        const char* name;
        int answer;
        int undosBefore;  // undo steps left
        bool asked;
        bool cleared;
    };
    const Case cases[] = {
        {"answered Yes", kIdYes, 2, true, true},
        {"answered No", kIdNo, 2, true, false},
        {"every undo step used", kIdYes, 0, false, false},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ResetRunState();
        SetView(1, 0, 2047);
        AddLed(4, {10, 10});
        AddLed(4, {11, 10});
        if (t.undosBefore == 0) {
            // LEDs left, but all 255 undo steps used
            for (int i = 0; i < 254; ++i) AddLed(4, {uint16_t(i), 20});
            for (int i = 0; i < 255; ++i) RunCommand(Packet(160, 5).data());
            ASSERT_EQ(ChainLength(4), 1);
            ASSERT_EQ(Ring(4).depth, 0);
        }
        SetActiveRange(4, 0, 2048, 0);
        const int before = ChainLength(4);
        FakeSys_QueueBoxAnswer(t.answer);
        RunCommand(Packet(174, 4).data());
        ASSERT_EQ(FakeSys_Boxes().size(), t.asked ? 1u : 0u);
        if (t.asked) {
            EXPECT_EQ(FakeSys_Boxes()[0].text,
                      "Are you sure you want to delete all the circuit elements for the current "
                      "port? ");
            EXPECT_EQ(FakeSys_Boxes()[0].caption, " Warning ");
            EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconQuestion | kMbYesNo);
        }
        if (t.cleared) {
            EXPECT_EQ(ChainLength(4), 0);
            EXPECT_EQ(Ring(4).depth, 0);
            EXPECT_EQ(CellAt(10, 10).occupied, 0);
            EXPECT_EQ(CellAt(11, 10).occupied, 0);
            EXPECT_EQ(ActiveFlags(4)[0], 1);
        } else {
            EXPECT_EQ(ChainLength(4), before);
            EXPECT_EQ(ActiveFlags(4)[0], 0);
        }
    }
    // A port index above 255 is ignored without a question.
    ResetRunState();
    AddLed(0, {1, 1});
    RunCommand(Packet(174, 256).data());
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(ChainLength(0), 1);
}

TEST_F(EditTest, ViewJumpTargets) {
    const LayoutBoundsRecord bounds = {10, 21, 107, 100};  // minX, maxX, maxY, minY
    struct Case {
        uint8_t target;
        uint16_t scrollX, scrollY;
    };
    // From scroll (500, 500) at c = 16 in a 480-pixel window.
    const Case cases[] = {
        {0, 500, 501},  {1, 500, 499},  {2, 499, 500},  {3, 501, 500},  {4, 500, 107},
        {5, 500, 100},  {6, 10, 500},   {7, 21, 500},   {8, 10, 107},   {9, 21, 107},
        {160, 10, 100}, {161, 21, 100}, {162, 15, 103}, {10, 500, 500}, {255, 500, 500},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(int(t.target));
        SetStandInWindow({0, 0, 640, 480});
        SetView(16, 500, 500);
        JumpView(t.target, bounds);
        EXPECT_EQ(View().scrollX, t.scrollX);
        EXPECT_EQ(View().scrollY, t.scrollY);
        EXPECT_EQ(View().cellSize, 16);
    }
    // Single steps keep the keys' limits.
    SetView(16, 2047, 2047);
    JumpView(0, bounds);
    JumpView(3, bounds);
    EXPECT_EQ(View().scrollX, 2047);
    EXPECT_EQ(View().scrollY, 2047);
    SetView(16, 0, 30);  // 480 / 16 = 30 whole rows
    JumpView(1, bounds);
    JumpView(1, bounds);
    JumpView(2, bounds);
    EXPECT_EQ(View().scrollY, 29);
    EXPECT_EQ(View().scrollX, 0);
}

TEST_F(EditTest, ViewJumpDoesNothingBeforeAnyLedWasDrawn) {
    for (uint8_t target : {0, 1, 2, 3, 4, 162}) {
        SetView(16, 500, 500);
        JumpView(target, LayoutBoundsRecord{0, 0, 0, 0});
        std::vector<uint8_t> packet = Packet(192, target);
        ViewJump(packet.data());  // nothing drawn in this process
        EXPECT_EQ(View().scrollX, 500);
        EXPECT_EQ(View().scrollY, 500);
    }
}

}  // namespace
