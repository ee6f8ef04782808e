// Generators, putting pieces onto ports with the checks, and the project a
// layout is saved as, compared with the window's own save of it.
#include <sys/stat.h>

#include "common/file_io.h"
#include "files/chain_file.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "layouts_fixture.h"
#include "model/layout.h"

namespace {

class LayoutsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
    ScopedTempDir dir_{"quorvane-layouts"};
};

// Where a wiring puts the first LEDs of a matrix.
struct WiringCase {
    StartCorner start;
    Direction direction;
    Wiring wiring;
    Cell first, second, lineEnd, nextLineStart;  // LEDs 1, 2, 8 and 9 of an 8 x 4 matrix
};

TEST_F(LayoutsTest, MatrixWiringFollowsStartDirectionAndZigzag) {
    const WiringCase cases[] = {
        {StartCorner::TopLeft,
         Direction::Horizontal,
         Wiring::Zigzag,
         {0, 0},
         {1, 0},
         {7, 0},
         {7, 1}},
        {StartCorner::TopLeft,
         Direction::Horizontal,
         Wiring::Progressive,
         {0, 0},
         {1, 0},
         {7, 0},
         {0, 1}},
        {StartCorner::BottomRight,
         Direction::Horizontal,
         Wiring::Zigzag,
         {7, 3},
         {6, 3},
         {0, 3},
         {0, 2}},
        {StartCorner::TopRight,
         Direction::Vertical,
         Wiring::Progressive,
         {7, 0},
         {7, 1},
         {6, 3},
         {5, 0}},
        {StartCorner::BottomLeft,
         Direction::Vertical,
         Wiring::Zigzag,
         {0, 3},
         {0, 2},
         {1, 3},
         {2, 3}},
    };
    for (const WiringCase& c : cases) {
        MatrixOptions options;
        options.width = 8;
        options.height = 4;
        options.start = c.start;
        options.direction = c.direction;
        options.wiring = c.wiring;
        const LayoutPiece piece = GenerateMatrix(options, Placement{});
        ASSERT_EQ(piece.chains.size(), 1u);
        const auto& leds = piece.chains[0].leds;
        ASSERT_EQ(leds.size(), 32u);
        // LED 8 ends a line (the first row, or the second column of 4) and 9 starts the next.
        const size_t end = 7;
        const Cell got[4] = {{leds[0].x, leds[0].y},
                             {leds[1].x, leds[1].y},
                             {leds[end].x, leds[end].y},
                             {leds[end + 1].x, leds[end + 1].y}};
        const Cell want[4] = {c.first, c.second, c.lineEnd, c.nextLineStart};
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(got[k].x, want[k].x) << int(c.start) << int(c.direction) << " LED " << k;
            EXPECT_EQ(got[k].y, want[k].y) << int(c.start) << int(c.direction) << " LED " << k;
        }
    }
}

TEST_F(LayoutsTest, ZigzagMatrixOverFourPortsChecksCornersAndPortBoundaries) {
    MatrixOptions options;
    options.width = 64;
    options.height = 32;
    options.start = StartCorner::BottomLeft;
    Placement place;
    place.originX = 100;
    place.originY = 200;
    place.originGiven = true;
    place.pitch = 2;
    auto layout = NewLayout();
    std::string error;
    ASSERT_TRUE(AddPiece(GenerateMatrix(options, place), 2, 512, layout.get(), &error)) << error;
    EXPECT_EQ(LayoutPortCount(*layout), 4);
    for (int port = 3; port <= 6; ++port) ASSERT_EQ(layout->ports[port - 1].size(), 512u);
    // Matrix cell (c, r) lies at (100 + 2c, 200 + 2r); row 31 is the bottom.
    auto at = [](int c, int r) { return Cell{100 + 2 * c, 200 + 2 * r}; };
    struct Probe {
        int port, led;
        Cell cell;
    } probes[] = {
        {3, 1, at(0, 31)},    // the start corner
        {3, 64, at(63, 31)},  // end of the first row
        {3, 65, at(63, 30)},  // the second row runs back
        {3, 512, at(0, 24)},  // eight rows fill a port, the eighth ends on the left
        {4, 1, at(0, 23)},    // the next port goes on where the last stopped
        {5, 512, at(0, 8)},   //
        {6, 1, at(0, 7)},     //
        {6, 449, at(63, 0)},  // the 32nd row runs back too...
        {6, 512, at(0, 0)},   // ...so the last LED is the top-left corner
    };
    for (const Probe& p : probes) {
        const PlacedLed& led = layout->ports[p.port - 1][p.led - 1];
        EXPECT_EQ(led.x, p.cell.x) << "port " << p.port << " LED " << p.led;
        EXPECT_EQ(led.y, p.cell.y) << "port " << p.port << " LED " << p.led;
    }
}

// Large layouts are checked on a mark per grid cell, small ones on a map.
TEST_F(LayoutsTest, LargeLayoutFindsTheOccupiedCellToo) {
    MatrixOptions options;
    options.width = 256;
    options.height = 256;
    auto layout = NewLayout();
    std::string error;
    ASSERT_TRUE(AddPiece(GenerateMatrix(options, Placement{}), 0, 2048, layout.get(), &error));
    EXPECT_EQ(LayoutPortCount(*layout), 32);
    // The last row runs back: its first LED, on the right, is LED 1793 of port 32.
    EXPECT_FALSE(AddPiece(GenerateLine(300, 0, 255, 255, 2), 0, 2048, layout.get(), &error));
    EXPECT_NE(error.find("cell (255, 255) of LED 2 of port 33 already holds LED 1793 of port 32"),
              std::string::npos)
        << error;
}

TEST_F(LayoutsTest, LineSpacesItsLedsEvenlyFromCellToCell) {
    const LayoutPiece full = GenerateLine(10, 5, 20, 5, 0);
    ASSERT_EQ(full.chains[0].leds.size(), 11u);
    EXPECT_EQ(full.chains[0].leds[10].x, 20);
    const LayoutPiece sparse = GenerateLine(0, 0, 9, 3, 4);
    const auto& leds = sparse.chains[0].leds;
    ASSERT_EQ(leds.size(), 4u);
    EXPECT_EQ(leds[1].x, 3);
    EXPECT_EQ(leds[1].y, 1);
    EXPECT_EQ(leds[3].x, 9);
    EXPECT_EQ(leds[3].y, 3);
}

// Refusals of AddPiece: the message names the offending LED, and the layout
// is left as it was.
TEST_F(LayoutsTest, RefusedPiecesNameTheOffenderAndChangeNothing) {
    auto base = NewLayout();
    PutChain(base.get(), 1, {{5, 5}, {6, 5}});
    base->sources[0] = "old.quor";
    struct Case {
        const char* what;
        LayoutPiece piece;
        int ledsPerPort;
        const char* message;
    };
    LayoutPiece onCell{"a.csv", {{1, {{7, 7, 3}, {6, 5, 4}}}}, {}};
    LayoutPiece offGrid{"b.csv", {{2, {{0, 0, 2}, {2048, 3, 9}}}}, {}};
    LayoutPiece negative{"line", {{-1, {{-1, 0, 0}}}}, {}};
    LayoutPiece taken{"c.csv", {{0, {{9, 9, 2}}}}, {}};
    LayoutPiece longPort{"d.csv", {{3, {}}}, {}};
    for (int i = 0; i < 2049; ++i)
        longPort.chains[0].leds.push_back({i % 2048, i / 2048, uint32_t(i + 2)});
    LayoutPiece tooMany{"matrix", {{-1, {}}}, {}};
    for (int i = 0; i < 256; ++i) tooMany.chains[0].leds.push_back({i, 0, 0});
    const Case cases[] = {
        {"two LEDs on one cell", onCell, 2048,
         "a.csv:4: cell (6, 5) of LED 2 of port 2 already holds LED 2 of port 1 (old.quor)"},
        {"off the grid", offGrid, 2048, "b.csv:9: cell (2048, 3) of LED 2 of port 3 is off the"},
        {"negative", negative, 2048, "line: cell (-1, 0) of LED 1 of port 2 is off the"},
        {"port taken", taken, 2048, "c.csv:2: port 1 already holds 2 LEDs (old.quor)"},
        {"more than 2048", longPort, 2048, "d.csv:2050: port 4 gets more than 2048 LEDs"},
        {"more than 256 ports", tooMany, 1, "matrix: no free port left for cell (255, 0)"},
    };
    for (const Case& c : cases) {
        auto layout = NewLayout();
        *layout = *base;
        std::string error;
        EXPECT_FALSE(AddPiece(c.piece, 0, c.ledsPerPort, layout.get(), &error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        ExpectSameChains(*base, *layout);
    }
}

// The project saved for a layout is byte for byte the one the window's save
// (command 176) writes after opening it, for a fresh project and for one
// whose header carries bytes of its own.
TEST_F(LayoutsTest, SavedProjectIsWhatTheWindowsSaveWrites) {
    auto layout = NewLayout();
    PutChain(layout.get(), 1, {{0, 0}, {1, 0}, {2, 1}});
    PutChain(layout.get(), 7, {{2047, 2047}, {2046, 2047}});
    PutChain(layout.get(), 256, {{500, 600}});
    layout->colors[6][0] = 12;

    ProjectHeader header = {};
    std::string error;
    ASSERT_TRUE(SaveLayoutProject(dir_.File("ours.quor"), *layout, header, StartView(), &error))
        << error;
    header.bytes[4000] = 0x5a;  // bytes the window keeps from the file it opened
    ASSERT_TRUE(SaveLayoutProject(dir_.File("kept.quor"), *layout, header, {8, 30, 1000}, &error));

    for (const char* name : {"ours", "kept"}) {
        const std::string project = dir_.File(std::string(name) + ".quor");
        HeaderView view = {};
        OpenFile(project.c_str(), view);
        SaveProject(dir_.File(std::string("window-") + name + ".quor").c_str(), view);
        EXPECT_EQ(ReadWholeFile(project),
                  ReadWholeFile(dir_.File(std::string("window-") + name + ".quor")));
        for (int port : {1, 7, 256}) {
            const std::string chain = std::to_string(port) + name + ".quor.line";
            const std::string windows = std::to_string(port) + "window-" + name + ".quor.line";
            EXPECT_FALSE(ReadWholeFile(dir_.File(chain)).empty()) << chain;
            EXPECT_EQ(ReadWholeFile(dir_.File(chain)), ReadWholeFile(dir_.File(windows))) << chain;
        }
        auto back = NewLayout();
        LayoutFromModel(project, back.get());
        ExpectSameChains(*layout, *back);
        EXPECT_EQ(ChainColor(6)[0], 12);
    }
    EXPECT_EQ(uint8_t(ReadWholeFile(dir_.File("kept.quor"))[4000]), 0x5a);
}

// A chain file that cannot be written stops the save before any file of the
// project is in place, and no temporary file is left.
TEST_F(LayoutsTest, FailedSaveLeavesNothingBehind) {
    auto layout = NewLayout();
    PutChain(layout.get(), 1, {{0, 0}});
    PutChain(layout.get(), 2, {{1, 0}});
    PutChain(layout.get(), 3, {{2, 0}});
    ASSERT_EQ(mkdir(dir_.File("2p.quor.line").c_str(), 0755), 0);
    std::string error;
    EXPECT_FALSE(
        SaveLayoutProject(dir_.File("p.quor"), *layout, ProjectHeader{}, StartView(), &error));
    EXPECT_NE(error.find("2p.quor.line"), std::string::npos) << error;
    for (const char* name :
         {"p.quor", "1p.quor.line", "3p.quor.line", "1p.quor.line.part", "p.quor.part"})
        EXPECT_LT(FileSizeOf(dir_.File(name).c_str()), 0) << name;
}

}  // namespace
