// Installing a loaded chain whole: the fresh one-level history, the colour,
// the lit flags, the grid marks, and what a replaced chain leaves behind.
#include <gtest/gtest.h>

#include <vector>

#include "model/layout.h"
#include "support/test_support.h"

namespace {

constexpr PackedColor kWhite = {255, 255, 255, 0};

class ChainInstallTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
};

TEST_F(ChainInstallTest, FreshPortGetsLevelOneWithMarksColorAndLitFlags) {
    const std::vector<ChainPoint> points = {{10, 20}, {11, 20}, {12, 20}, {4000, 3}};
    const uint8_t color[3] = {1, 2, 3};
    InstallLoadedChain(7, color, points.data(), uint16_t(points.size()), 2);

    EXPECT_EQ(CurrentLevel(7), 1);
    EXPECT_EQ(Ring(7).depth, 1);
    EXPECT_EQ(ChainLength(7), 4);
    EXPECT_EQ(ChainColor(7)[0], 1);
    EXPECT_EQ(ChainColor(7)[2], 3);
    for (int i = 0; i < 3; ++i) {
        const GridCell& cell = CellAt(points[i].x, points[i].y);
        EXPECT_EQ(cell.occupied, 1);
        EXPECT_EQ(cell.port, 7);
        EXPECT_EQ(cell.index, i);
    }
    // The point outside the grid stays in the chain without a mark.
    EXPECT_EQ(CurrentPoints(7)[3].x, 4000);
    // A port that held no chain keeps every flag lit.
    EXPECT_EQ(ActiveFlags(7)[0], 1);
    EXPECT_EQ(ActiveFlags(7)[3], 1);
    EXPECT_EQ(ActiveFlags(7)[2047], 1);

    // One undo returns the port to the empty level 0.
    UndoChain(7);
    EXPECT_EQ(ChainLength(7), 0);
    EXPECT_EQ(CellAt(10, 20).occupied, 0);
}

TEST_F(ChainInstallTest, ReplacedChainLeavesNoMarksHistoryOrLitFlagsBehind) {
    for (int i = 0; i < 5; ++i) AddLed(3, {uint16_t(i), 0}, kWhite);
    const uint8_t first[3] = {9, 9, 9};
    const std::vector<ChainPoint> old = {{0, 5}, {1, 5}, {2, 5}};
    InstallLoadedChain(3, first, old.data(), 3, 3);
    EXPECT_EQ(CellAt(4, 0).occupied, 0);  // the hand-placed chain left the grid

    const std::vector<ChainPoint> next = {{50, 50}, {51, 50}};
    const uint8_t color[3] = {4, 5, 6};
    InstallLoadedChain(3, color, next.data(), 2, 1);
    EXPECT_EQ(CellAt(0, 5).occupied, 0);
    EXPECT_EQ(CellAt(50, 50).occupied, 1);
    EXPECT_EQ(CurrentLevel(3), 1);
    EXPECT_EQ(Ring(3).depth, 1);
    // Replacing empties the port first: only the lit range is lit, and
    // level 0 is empty again.
    EXPECT_EQ(ActiveFlags(3)[0], 1);
    EXPECT_EQ(ActiveFlags(3)[1], 0);
    EXPECT_EQ(ActiveFlags(3)[2], 0);
    EXPECT_EQ(LevelCount(3, 0), 0);
    EXPECT_EQ(ChainColor(3)[1], 5);
}

TEST_F(ChainInstallTest, PreparedMemoryKeepsThePortTablesAndHoldsAFullProjectsChains) {
    SetChainColor(9, 7, 8, 9);
    MemoryPiece pieces[kLayoutMemoryPieces];
    PrepareLayoutMemory(kPortCount, pieces);
    EXPECT_EQ(ChainColor(9)[2], 9);  // written as it was
    // The pieces handed out for the children are the grid's tables.
    EXPECT_EQ(pieces[0].start, &CellAt(0, 0));
    EXPECT_EQ(pieces[0].size, sizeof(GridCell) * kGridSide * kGridSide);
    EXPECT_EQ(pieces[1].start, CellColorColumn(0));

    // Every port's loaded level lies in the reserved piece and reads back.
    static ChainPoint points[kChainCapacity];
    const uint8_t* first = static_cast<const uint8_t*>(pieces[3].start);
    ASSERT_EQ(pieces[3].size, size_t(kPortCount) * kChainCapacity * sizeof(ChainPoint));
    for (int port = 0; port < kPortCount; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) points[i] = {uint16_t(i), uint16_t(port * 8)};
        const uint8_t color[3] = {uint8_t(port), 1, 2};
        InstallLoadedChain(port, color, points, kChainCapacity, kChainCapacity);
        const uint8_t* level = reinterpret_cast<const uint8_t*>(LevelPoints(port, 1));
        EXPECT_TRUE(level >= first && level < first + pieces[3].size) << "port " << port;
    }
    EXPECT_EQ(LevelPoints(255, 1)[2047].y, 255 * 8);
    EXPECT_EQ(CellAt(2047, 255 * 8).port, 255);
    EXPECT_EQ(LevelPoints(3, 2)[0].x, 0);  // a level never written still reads zero
}

}  // namespace
