// The import list parse and the encrypted chain import, through OpenFile.
#include <cstdio>
#include <cstring>

#include "files/encrypted_import.h"
#include "files/import_list.h"
#include "files/project_file.h"
#include "files_fixture.h"

namespace {

std::vector<std::string> Names() {
    const ImportNameList& list = CurrentImportNames();
    return std::vector<std::string>(list.names, list.names + list.count);
}

TEST_F(FilesTest, ImportListEntriesEndAtIqlAndSkipTwoCharacters) {
    std::string longName = std::string(508, 'n') + ".iql";  // 512 characters
    std::string many;
    for (int i = 0; i < 300; ++i) many += "f" + std::to_string(i) + ".iql\r\n";
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> entries;
    } cases[] = {
        {"CR LF", "a.iql\r\nb.iql\r\n", {"a.iql", "b.iql"}},
        {"no final line end", "a.iql\r\nb.iql", {"a.iql", "b.iql"}},
        {"LF only eats a letter", "a.iql\nb.iql\n", {"a.iql", ".iql"}},
        {"blank line stays in the name", "a.iql\r\n\r\nb.iql\r\n", {"a.iql", "\r\nb.iql"}},
        {"upper case is not found", "A.IQL\r\nb.iql\r\nC.IQL\r\n", {"A.IQL\r\nb.iql"}},
        {"trailing text ignored", "a.iql\r\nnotes\r\n", {"a.iql"}},
        {"empty", "", {}},
        {"name over 511 ends the list", "a.iql\r\n" + longName + "\r\nb.iql\r\n", {"a.iql"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseImportList(c.text.c_str()), int(c.entries.size()));
        EXPECT_EQ(Names(), c.entries);
    }
    EXPECT_EQ(ParseImportList(many.c_str()), 256);
    EXPECT_STREQ(CurrentImportNames().names[255], "f255.iql");
}

TEST_F(FilesTest, ImportInstallsGreyChainsWithYFlippedAndTheStartView) {
    WriteWholeFile("a.iql", IqlBytes(3, {{0, 2047}, {5, 0}, {6, 1000}}));
    WriteWholeFile("b.iql", IqlBytes(1, {{7, 7}}));
    WriteWholeFile("list.iqp", "a.iql\r\nb.iql\r\n");
    SetView(4, 500, 500);
    OpenFile("list.iqp");
    EXPECT_TRUE(FakeSys_Boxes().empty());
    // Stored y 0 is grid row 2047 and the other way round; x as stored.
    EXPECT_EQ(CurrentChain(2), (std::vector<ChainPoint>{{0, 2047}, {5, 0}, {6, 1000}}));
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{7, 7}}));
    EXPECT_EQ(Color(2), (std::vector<uint8_t>{127, 127, 127}));
    EXPECT_EQ(CellAt(5, 0).port, 2);
    EXPECT_EQ(LoadedPorts(), (std::vector<uint16_t>{0, 2}));
    EXPECT_EQ(View().scrollX, 0);
    EXPECT_EQ(View().scrollY, 2047);
    EXPECT_EQ(View().cellSize, 16);
    EXPECT_TRUE(HeaderPortFlag(CurrentProjectHeader(), 2));
    EXPECT_FALSE(HeaderPortFlag(CurrentProjectHeader(), 1));
    EXPECT_EQ(Ring(2).depth, 1);
}

TEST_F(FilesTest, ImportStopsAtTheFirstBadFileAndKeepsTheOnesBefore) {
    std::string good = IqlBytes(2, {{1, 1}});
    struct Case {
        const char* name;
        std::string second;  // empty: the file is missing
        const char* message;
    } cases[] = {
        {"missing", "", "Error access file "},
        {"one byte short", good.substr(0, good.size() - 1), "Error size *.iql file "},
        {"one byte long", good + "x", "Error size *.iql file "},
        {"port number 0", IqlBytes(0, {{1, 1}}), "Error size *.iql file "},
        {"port number 257", IqlBytes(257, {{1, 1}}), "Error size *.iql file "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        std::remove("2.iql");
        WriteWholeFile("1.iql", IqlBytes(1, {{1, 1}}));
        if (!c.second.empty()) WriteWholeFile("2.iql", c.second);
        WriteWholeFile("3.iql", IqlBytes(3, {{3, 3}}));
        WriteWholeFile("list.iqp", "1.iql\r\n2.iql\r\n3.iql\r\n");
        OpenFile("list.iqp");
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.message});
        EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
        EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconError);
        EXPECT_EQ(LoadedPorts(), std::vector<uint16_t>{0});
        EXPECT_EQ(ChainLength(2), 0);
    }
}

TEST_F(FilesTest, ImportCountsAndPortsFromUntrustedFiles) {
    std::vector<ChainPoint> many;
    for (int i = 0; i < 5000; ++i) many.push_back({uint16_t(i % 2048), uint16_t(i / 2048)});
    WriteWholeFile("many.iql", IqlBytes(10, many));
    WriteWholeFile("first.iql", IqlBytes(20, {{1, 1}, {2, 2}}));
    WriteWholeFile("later.iql", IqlBytes(20, {{9, 9}}));
    WriteWholeFile("empty.iql", IqlBytes(30, {}));
    // Stored y 2048 would lie below the grid: the chain ends before it.
    WriteWholeFile("off.iql", IqlBytes(40, {{4, 4}, {5, 5}, {6, uint16_t(-1)}, {7, 7}}));
    WriteWholeFile("list.iqp", "many.iql\r\nfirst.iql\r\nlater.iql\r\nempty.iql\r\noff.iql\r\n");
    OpenFile("list.iqp");
    EXPECT_EQ(ChainLength(9), 2048);
    EXPECT_EQ(CurrentChain(19), (std::vector<ChainPoint>{{9, 9}}));
    EXPECT_EQ(CurrentChain(39), (std::vector<ChainPoint>{{4, 4}, {5, 5}}));
    EXPECT_EQ(LoadedPorts(), (std::vector<uint16_t>{9, 19, 39}));
}

TEST_F(FilesTest, EveryKeyVariationByteChangesEveryBlock) {
    static ImportRecord original, changed;
    std::string bytes = IqlBytes(1, {{1, 2}, {3, 4}});
    std::memcpy(original.bytes, bytes.data(), kImportRecordSize);
    ASSERT_TRUE(DecryptImportRecord(original));
    EXPECT_EQ(ImportLedPoint(original, 1), (ChainPoint{3, 4}));
    for (size_t k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        std::memcpy(changed.bytes, bytes.data(), kImportRecordSize);
        changed.bytes[kImportKeyVariationOffset + k] ^= 0x01;
        ASSERT_TRUE(DecryptImportRecord(changed));
        EXPECT_EQ(std::memcmp(changed.bytes, bytes.data(), kImportKeyVariationOffset + k), 0);
        int same = 0;
        for (size_t block = 0; block < kImportCoordinateSize / 16; ++block) {
            size_t at = kImportCoordinateOffset + 16 * block;
            same += std::memcmp(changed.bytes + at, original.bytes + at, 16) == 0;
        }
        EXPECT_EQ(same, 0);
    }
}

}  // namespace
