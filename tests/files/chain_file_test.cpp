// Chain files: the byte format, saving, loading relative to the current
// port's first LED, and the limits of untrusted files.
#include <cerrno>
#include <cstring>

#include "common/file_io.h"
#include "files/project_file.h"
#include "files_fixture.h"

namespace {

const std::vector<ChainPoint> kFileChain = {{10, 10}, {11, 10}, {12, 11}};

TEST_F(FilesTest, SaveChainFileWritesTheFormatAndPortZeroCountsAsOne) {
    AddLed(0, {5, 6});
    AddLed(0, {7, 8});
    SetChainColor(0, 9, 8, 7);
    SaveChainFile(0, "zero.line");
    SaveChainFile(1, "one.line");
    std::string expected(256 + 8, '\0');
    expected[0] = 9, expected[1] = 8, expected[2] = 7, expected[4] = 2;  // N = 2, port 0
    expected[256] = 5, expected[258] = 7, expected[260] = 6, expected[262] = 8;
    EXPECT_EQ(ReadWholeFile("zero.line"), expected);
    EXPECT_EQ(ReadWholeFile("one.line"), expected);

    SaveChainFile(257, "none.line");
    EXPECT_FALSE(Sys_FileExists("none.line"));
    SaveChainFile(3, "empty.line");
    EXPECT_EQ(ReadWholeFile("empty.line").size(), 256u);
}

TEST_F(FilesTest, LoadOnLevelZeroUsesTheFileCoordinatesAndColor) {
    WriteWholeFile("c.line", ChainFileBytes(7, kFileChain, 1, 2, 3));
    SelectCurrentPort(4);
    LoadChainFile("c.line");
    EXPECT_EQ(CurrentChain(4), kFileChain);
    EXPECT_EQ(Color(4), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(CurrentLevel(4), 1);
    EXPECT_EQ(Ring(4).depth, 1);
    EXPECT_EQ(CellAt(12, 11).port, 4);
    EXPECT_EQ(CellAt(12, 11).index, 2);
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(LoadedPorts(), std::vector<uint16_t>{4});
    UndoChain(4);
    EXPECT_EQ(ChainLength(4), 0);
    EXPECT_FALSE(CellAt(10, 10).occupied);
}

TEST_F(FilesTest, LoadOnLevelOneAnchorsAtTheFirstLedAndKeepsTheColor) {
    WriteWholeFile("c.line", ChainFileBytes(7, kFileChain));
    AddLed(0, {100, 200});
    SetChainColor(0, 40, 50, 60);
    LoadChainFile("c.line");
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{100, 200}, {101, 200}, {102, 201}}));
    EXPECT_EQ(Color(0), (std::vector<uint8_t>{40, 50, 60}));
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(Ring(0).depth, 1);
    EXPECT_EQ(LoadedPorts(), std::vector<uint16_t>{0});
}

TEST_F(FilesTest, LoadOnLevelTwoAsksAndNoChangesNothing) {
    WriteWholeFile("c.line", ChainFileBytes(7, kFileChain));
    SelectCurrentPort(4);
    AddLed(4, {300, 300});
    AddLed(4, {301, 300});
    FakeSys_QueueBoxAnswer(kIdNo);
    LoadChainFile("c.line");
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    const FakeBox& box = FakeSys_Boxes()[0];
    EXPECT_EQ(box.text,
              "In the chain of the port \xB9"
              "5 there are already elements, want to download the file?");
    EXPECT_EQ(box.caption, "A warning");
    EXPECT_EQ(box.style, kMbSystemModal | kMbIconWarning | kMbYesNo);
    EXPECT_EQ(CurrentChain(4), (std::vector<ChainPoint>{{300, 300}, {301, 300}}));
    EXPECT_EQ(CurrentLevel(4), 2);
    EXPECT_TRUE(CellAt(301, 300).occupied);
    EXPECT_TRUE(LoadedPorts().empty());

    FakeSys_QueueBoxAnswer(kIdYes);
    LoadChainFile("c.line");
    EXPECT_EQ(CurrentChain(4), (std::vector<ChainPoint>{{300, 300}, {301, 300}, {302, 301}}));
    EXPECT_EQ(CurrentLevel(4), 1);
    EXPECT_EQ(LoadedPorts(), std::vector<uint16_t>{4});
}

TEST_F(FilesTest, LoadIsCutAtTheGridEdgeAndAtAnOccupiedCell) {
    std::vector<ChainPoint> row;
    for (uint16_t x = 10; x < 20; ++x) row.push_back({x, 0});
    WriteWholeFile("row.line", ChainFileBytes(0, row));

    AddLed(0, {2045, 7});
    LoadChainFile("row.line");
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{2045, 7}, {2046, 7}, {2047, 7}}));

    AddLed(1, {504, 9});  // another port's LED stands in the way
    SelectCurrentPort(2);
    AddLed(2, {500, 9});
    LoadChainFile("row.line");
    EXPECT_EQ(ChainLength(2), 4);
    EXPECT_EQ(CellAt(504, 9).port, 1);
}

TEST_F(FilesTest, UntrustedChainFilesAreRefusedOrCut) {
    std::string tooMany = ChainFileBytes(9, {});
    tooMany[4] = char(5000 & 0xFF), tooMany[5] = char(5000 >> 8);
    tooMany.append(4 * 5000, '\0');
    std::string offGrid = ChainFileBytes(9, {{1, 1}, {2, 2}, {2048, 3}, {4, 4}});
    std::string badY = ChainFileBytes(9, {{1, 1}, {2, 65535}});
    std::string shortArrays = ChainFileBytes(9, kFileChain);
    shortArrays.pop_back();
    std::string badPort = ChainFileBytes(256, kFileChain);

    struct Case {
        const char* name;
        std::string bytes;
        bool accepted;
        int count;
    } cases[] = {
        {"N above 2048 keeps 2048", tooMany, true, 2048},
        {"x above 2047 ends the chain", offGrid, true, 2},
        {"y above 2047 ends the chain", badY, true, 1},
        {"arrays one byte short", shortArrays, false, 0},
        {"header only part", std::string(255, '\0'), false, 0},
        {"port index 256", badPort, false, 0},
    };
    static ChainFileData data;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool accepted =
            ParseChainFile(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), data);
        EXPECT_EQ(accepted, c.accepted);
        if (accepted) {
            EXPECT_EQ(data.count, c.count);
        }

        ResetLayoutModel();
        WriteWholeFile("bad.line", c.bytes);
        RestoreChainFile("bad.line");
        EXPECT_EQ(ChainLength(9), c.count);
        EXPECT_EQ(CurrentLevel(9), c.accepted ? 1 : 0);
    }
}

TEST_F(FilesTest, AFailedWriteKeepsTheOldChainFile) {
    AddLed(0, {1, 1});
    SaveChainFile(1, "keep.line");
    std::string before = ReadWholeFile("keep.line");
    AddLed(0, {2, 2});
    CurrentFileSyscalls().write = [](int, const void*, size_t) -> ssize_t {
        errno = EIO;
        return -1;
    };
    SaveChainFile(1, "keep.line");
    ResetFileSyscalls();
    EXPECT_EQ(ReadWholeFile("keep.line"), before);
}

}  // namespace
