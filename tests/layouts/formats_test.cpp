// The readers and writers of the peers' formats: each format read back from
// what it wrote, hostile input refused with the offending entry named, and
// the peers' own sample files.
#include "layouts_fixture.h"

namespace {

class FormatsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
};

// Reads `text` and puts it onto the ports of an empty layout from port 1.
bool ReadInto(LayoutFormat format, const std::string& text, const ReadOptions& options,
              Layout* layout, std::string* error, LayoutPiece* piece = nullptr) {
    LayoutPiece local;
    LayoutPiece& p = piece != nullptr ? *piece : local;
    if (!ReadLayoutText(format, "in", text, options, &p, error)) return false;
    return AddPiece(p, 0, kChainCapacity, layout, error);
}

// Options that place a read piece with its top-left corner on the
// top-left corner of `layout`'s bounding box (which is not empty).
ReadOptions AtCorner(const Layout& layout) {
    ReadOptions options;
    bool any = false;
    for (const auto& leds : layout.ports) {
        for (const PlacedLed& led : leds) {
            if (!any || led.x < options.place.originX) options.place.originX = led.x;
            if (!any || led.y < options.place.originY) options.place.originY = led.y;
            any = true;
        }
    }
    options.place.originGiven = true;
    return options;
}

TEST_F(FormatsTest, EachFormatReadsBackWhatItWrote) {
    // Two ports with gaps, turns and a far corner; ports 1 and 2 so that the
    // formats without port numbers (strings, one map) still hold them.
    auto layout = NewLayout();
    PutChain(layout.get(), 1, {{40, 10}, {41, 10}, {43, 11}, {43, 14}, {40, 14}});
    PutChain(layout.get(), 2, {{60, 30}, {50, 12}, {45, 20}});
    std::string error;

    auto csv = NewLayout();
    ASSERT_TRUE(
        ReadInto(LayoutFormat::Csv, WriteCsvLayout(*layout), ReadOptions{}, csv.get(), &error))
        << error;
    ExpectSameChains(*layout, *csv);

    auto xmodel = NewLayout();
    ASSERT_TRUE(ReadInto(LayoutFormat::Xmodel, WriteXmodelLayout(*layout, "walls"),
                         AtCorner(*layout), xmodel.get(), &error))
        << error;
    ExpectSameChains(*layout, *xmodel);

    // A map holds one chain: one port at a time.
    auto single = NewLayout();
    PutChain(single.get(), 1, Cells(*layout, 2));
    std::string map;
    ASSERT_TRUE(WriteLedmapLayout(*single, "walls", &map, &error)) << error;
    auto ledmap = NewLayout();
    ASSERT_TRUE(ReadInto(LayoutFormat::Ledmap, map, AtCorner(*single), ledmap.get(), &error))
        << error;
    ExpectSameChains(*single, *ledmap);
}

TEST_F(FormatsTest, XmodelDenseAndCompressedFormsAgreeAndStringsStartPorts) {
    // Node 3 is missing, node 5 is in two cells, "x" and 0 are gaps, rows are
    // padded to the widest.
    const std::string dense = ",1,x;2,,0,4;5,6,5";
    const std::string compressed = "1,0,1;2,1,0;4,1,3;5,2,0;6,2,1;5,2,2";
    for (const std::string& attributes :
         {"CustomModel=\"" + dense + "\" CustomModelCompressed=\"\"",
          "CustomModel=\"9,9\" CustomModelCompressed=\"" + compressed + "\""}) {
        const std::string text =
            "<?xml version=\"1.0\"?>\n<custommodel name=\"m\" parm1=\"4\" "
            "parm2=\"3\" CustomStrings=\"2\" String1=\"1\" String2=\"5\" " +
            attributes + "/>\n";
        auto layout = NewLayout();
        std::string error;
        LayoutPiece piece;
        ASSERT_TRUE(
            ReadInto(LayoutFormat::Xmodel, text, ReadOptions{}, layout.get(), &error, &piece))
            << error;
        const std::vector<Cell> one = Cells(*layout, 1), two = Cells(*layout, 2);
        ASSERT_EQ(one.size(), 3u) << attributes;  // nodes 1, 2, 4
        EXPECT_EQ(one[0].x, 1);
        EXPECT_EQ(one[0].y, 0);
        EXPECT_EQ(one[2].x, 3);
        EXPECT_EQ(one[2].y, 1);
        ASSERT_EQ(two.size(), 2u);  // nodes 5 (first cell) and 6
        EXPECT_EQ(two[0].x, 0);
        EXPECT_EQ(two[0].y, 2);
        ASSERT_EQ(piece.warnings.size(), 2u);
        EXPECT_NE(piece.warnings[0].find("node 5 at row 2, column 0"), std::string::npos);
        EXPECT_NE(piece.warnings[1].find("first: node 3"), std::string::npos);
    }
}

TEST_F(FormatsTest, DepthLayersAreFlattenedWithAWarning) {
    const std::string text =
        "<custommodel parm1=\"2\" parm2=\"1\" Depth=\"2\" "
        "CustomModel=\"1,2|,3\"/>";
    auto layout = NewLayout();
    std::string error;
    LayoutPiece piece;
    // Node 3 lands on the cell of node 2 once the layers are one.
    EXPECT_FALSE(ReadInto(LayoutFormat::Xmodel, text, ReadOptions{}, layout.get(), &error, &piece));
    EXPECT_EQ(error,
              "in: node 3: cell (1, 0) of LED 3 of port 1 already holds LED 2 of port 1 "
              "(in node 2)");
    ASSERT_EQ(piece.warnings.size(), 1u);
    EXPECT_NE(piece.warnings[0].find("2 depth layers flattened"), std::string::npos);
}

TEST_F(FormatsTest, CsvPlacesScaledYUpPointsInIndexOrder) {
    ReadOptions options;
    options.place.scale = 0.1;  // millimetres to 10 mm cells
    options.place.yUp = true;
    // As a spreadsheet saves it: a byte order mark, semicolons, CR LF.
    const std::string text =
        "\xEF\xBB\xBF# facade\r\nX;Y;Index;Port\r\n100;0;2;3\r\n0;0;0;3\r\n\r\n50;20;1;3\r\n";
    auto layout = NewLayout();
    std::string error;
    ASSERT_TRUE(ReadInto(LayoutFormat::Csv, text, options, layout.get(), &error)) << error;
    const std::vector<Cell> cells = Cells(*layout, 3);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0].x, 0);
    EXPECT_EQ(cells[0].y, 2047);  // y up: 0 is the bottom row
    EXPECT_EQ(cells[1].x, 5);
    EXPECT_EQ(cells[1].y, 2045);
    EXPECT_EQ(cells[2].x, 10);
}

// Hostile input: refused, with the file, the line where there is one and the
// offending entry named.
TEST_F(FormatsTest, HostileInputIsRefusedWithItsOffenderNamed) {
    struct Case {
        LayoutFormat format;
        std::string text;
        int port;  // --port, -1 for none
        const char* message;
    };
    const std::string bigPort = [] {
        std::string t = "port,x,y\n";
        for (int i = 0; i < 2049; ++i)
            t += "5," + std::to_string(i % 2000) + "," + std::to_string(i / 2000) + "\n";
        return t;
    }();
    const Case cases[] = {
        {LayoutFormat::Csv, "x,y\n1,2\n", -1, "in:1: no port column: give the port with --port"},
        {LayoutFormat::Csv, "port,index,x\n1,0,2\n", -1, "in:1: the header row names no x and y"},
        {LayoutFormat::Csv, "port,x,y\n1,2\n", -1, "in:2: expected 3 fields, found 2"},
        {LayoutFormat::Csv, "port,x,y\n1,2,3\n1,a,3\n", -1, "in:3: x is not a number: 'a'"},
        {LayoutFormat::Csv, "port,x,y\n257,2,3\n", -1, "in:2: the port is not a number 1..256"},
        {LayoutFormat::Csv, "x,y,index\n1,1,0\n2,2,1\n3,3,0\n", 0,
         "in:4: index 0 of port 1 is also on line 2"},
        {LayoutFormat::Csv, "x,y\n1,1\n2,2\n1,1\n", 0,
         "in:4: cell (1, 1) of LED 3 of port 1 already holds LED 1 of port 1 (in:2)"},
        {LayoutFormat::Csv, "x,y\n1,1\n-3,2\n", 0,
         "in:3: cell (-3, 2) of LED 2 of port 1 is off the 2048 x 2048 grid"},
        {LayoutFormat::Csv, "x,y\n2048,0\n", 0, "in:2: cell (2048, 0)"},
        // The first bad line is named, whatever the ports.
        {LayoutFormat::Csv, "port,x,y\n2,1,1\n2,1,1\n1,5000,0\n", -1,
         "in:3: cell (1, 1) of LED 2 of port 2 already holds LED 1 of port 2 (in:2)"},
        {LayoutFormat::Csv, bigPort, -1, "in:2050: port 5 gets more than 2048 LEDs"},
        {LayoutFormat::Csv, "", -1, "in: no header row"},
        {LayoutFormat::Xmodel, "<custommodel CustomModel=\"1,2\"", -1, "in:1: not XML"},
        {LayoutFormat::Xmodel, "<model/>", -1, "in: no custommodel element"},
        {LayoutFormat::Xmodel, "\n<custommodel CustomModel=\",,;0,x\"/>", -1,
         "in:2: the model has no nodes"},
        {LayoutFormat::Xmodel, "<custommodel CustomModelCompressed=\"1,0,0;2,-1,0\"/>", -1,
         "CustomModelCompressed entry 2 ('2,-1,0'): expected node,row,column"},
        {LayoutFormat::Xmodel, "<custommodel CustomModelCompressed=\"1,0,0;2,0\"/>", -1,
         "entry 2 ('2,0')"},
        {LayoutFormat::Xmodel, "<custommodel CustomModel=\"99999999\"/>", -1,
         "CustomModel row 0, column 0: node number 99999999"},
        {LayoutFormat::Xmodel, "<custommodel CustomModelCompressed=\"1,0,0;2,0,0\"/>", -1,
         "in: node 2: cell (0, 0) of LED 2 of port 1 already holds LED 1 of port 1 (in node 1)"},
        {LayoutFormat::Xmodel,
         "<custommodel CustomModel=\"1,2,3\" CustomStrings=\"2\" String1=\"3\" String2=\"2\"/>", -1,
         "String2 (2) starts before String1 (3)"},
        {LayoutFormat::Xmodel, "<custommodel CustomModelCompressed=\"1,0,2048\"/>", -1,
         "in: node 1: cell (2048, 0) of LED 1 of port 1 is off"},
        {LayoutFormat::Ledmap, "{\"map\": [0, 1,\n 2,]}", -1, "in:2: not JSON"},
        {LayoutFormat::Ledmap, "{\"width\": 2}", -1, "in: no \"map\" array"},
        {LayoutFormat::Ledmap, "{\"map\": [1e999]}", -1, "in: not JSON"},
        {LayoutFormat::Xmodel, std::string("<\0c\0", 4), -1, "in:1: not XML"},
        {LayoutFormat::Ledmap, "{\"map\": [0], \"width\": 1}", -1,
         "\"width\" and \"height\" come together"},
        {LayoutFormat::Ledmap, "{\"map\": [0], \"width\": 256, \"height\": 1}", -1,
         "\"width\" must be a whole number 1..255"},
        {LayoutFormat::Ledmap, "{\"map\": [0, 1, 2], \"width\": 1, \"height\": 2}", -1,
         "the map has 3 entries, more than width x height (1 x 2)"},
        {LayoutFormat::Ledmap, "{\"map\": [0, 1.5]}", -1,
         "map entry 1 (row 0, column 1) is not a whole number: 1.5"},
        {LayoutFormat::Ledmap, "{\"map\": [3, -1, 0, 3], \"width\": 2, \"height\": 2}", -1,
         "map entry 3 (row 1, column 1) names LED 3 again (also map entry 0 (row 0, column 0))"},
        {LayoutFormat::Ledmap, "{\"map\": [-1, -1]}", -1, "the map has no LEDs"},
    };
    for (const Case& c : cases) {
        ReadOptions options;
        options.port = c.port;
        auto layout = NewLayout();
        std::string error;
        EXPECT_FALSE(ReadInto(c.format, c.text, options, layout.get(), &error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
        EXPECT_EQ(LayoutLedCount(*layout), 0) << c.message;
    }
}

TEST_F(FormatsTest, LedmapWithoutSizeIsOneRowInPhysicalOrder) {
    auto layout = NewLayout();
    std::string error;
    LayoutPiece piece;
    ASSERT_TRUE(ReadInto(LayoutFormat::Ledmap, "{\"map\": [2, -1, 0, 5]}", ReadOptions{},
                         layout.get(), &error, &piece))
        << error;
    const std::vector<Cell> cells = Cells(*layout, 1);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0].x, 2);
    EXPECT_EQ(cells[1].x, 0);
    EXPECT_EQ(cells[2].x, 3);
    EXPECT_EQ(cells[2].y, 0);
    ASSERT_EQ(piece.warnings.size(), 1u);  // LEDs 1, 3 and 4 have no cell
    EXPECT_NE(piece.warnings[0].find("3 LED numbers"), std::string::npos);
}

// ---- the peers' samples --------------------------------------------------------------

class SamplesTest : public FormatsTest {
protected:
    void SetUp() override {
        FormatsTest::SetUp();
        folder_ = SampleFolder();
        if (folder_.empty()) GTEST_SKIP() << "no peer samples in ../shared/samples/layouts";
    }
    std::string folder_;
};

TEST_F(SamplesTest, IrregularDenseModelWithGaps) {
    auto layout = NewLayout();
    std::string error;
    ASSERT_TRUE(ReadInto(LayoutFormat::Xmodel, ReadWholeFile(folder_ + "/xlights_Bat.xmodel"),
                         ReadOptions{}, layout.get(), &error))
        << error;
    const std::vector<Cell> cells = Cells(*layout, 1);
    ASSERT_EQ(cells.size(), 40u);
    EXPECT_EQ(cells[0].x, 15);  // node 1: the bottom row
    EXPECT_EQ(cells[0].y, 20);
    EXPECT_EQ(cells[28].x, 5);  // node 29: the top row
    EXPECT_EQ(cells[28].y, 0);
}

TEST_F(SamplesTest, ModelInBothFormsGivesTheSameChain) {
    const std::string text = ReadWholeFile(folder_ + "/xlights_Small_Spider.xmodel");
    auto compressed = NewLayout();
    std::string error;
    ASSERT_TRUE(ReadInto(LayoutFormat::Xmodel, text, ReadOptions{}, compressed.get(), &error))
        << error;
    EXPECT_EQ(LayoutPortCount(*compressed), 1);
    EXPECT_GT(LayoutLedCount(*compressed), 90);
    // The same file with its compressed form emptied is read from the dense grid.
    std::string dense = text;
    const size_t from = dense.find("CustomModelCompressed=\"") + 23;
    dense.erase(from, dense.find('"', from) - from);
    auto grid = NewLayout();
    ASSERT_TRUE(ReadInto(LayoutFormat::Xmodel, dense, ReadOptions{}, grid.get(), &error)) << error;
    ExpectSameChains(*compressed, *grid);
}

TEST_F(SamplesTest, LedmapWithGapsInPhysicalOrder) {
    auto layout = NewLayout();
    std::string error;
    ASSERT_TRUE(ReadInto(LayoutFormat::Ledmap, ReadWholeFile(folder_ + "/wled_ledmap_lighto.json"),
                         ReadOptions{}, layout.get(), &error))
        << error;
    const std::vector<Cell> cells = Cells(*layout, 1);
    ASSERT_EQ(cells.size(), 61u);
    EXPECT_EQ(cells[0].x, 9);  // LED 0 in the centre of the 19 x 19 map
    EXPECT_EQ(cells[0].y, 9);
    for (const Cell& c : cells) EXPECT_TRUE(c.x < 19 && c.y < 19);
}

}  // namespace
