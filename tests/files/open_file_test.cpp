// Opening files (command 177) and saving projects (command 176): round trip,
// the step order, the view clamps, refused names and failing writes.
#include <cstring>

#include "common/file_io.h"
#include "common/packet.h"
#include "files/project_file.h"
#include "files_fixture.h"

namespace {

// The path a command packet carries at offset 4, read by the packet rule.
std::string PacketPathOf(uint16_t code, const std::string& path) {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), code);
    std::memcpy(packet.data() + 4, path.data(), std::min(path.size(), kPacketSize - 5));
    char out[kPathBufferSize];
    PacketPath(packet.data(), kPathOffset, out);
    return out;
}

TEST_F(FilesTest, SavedProjectOpensAsTheSameLayout) {
    AddLed(0, {1, 2});
    AddLed(0, {3, 4});
    AddLed(0, {5, 6});
    SetChainColor(0, 10, 20, 30);
    AddLed(2, {100, 100});
    AddLed(2, {101, 100});
    SetChainColor(2, 40, 50, 60);
    AddLed(255, {2047, 2047});
    SetChainColor(255, 70, 80, 90);
    AddLed(7, {9, 9});
    UndoChain(7);  // LEDs only in an older level are not saved
    SetView(8, 100, 1500);
    // A bare name: the project and its chain files go to the current directory.
    SaveProject(PacketPathOf(176, "show.quor").c_str());
    EXPECT_EQ(ReadWholeFile("show.quor").size(), kProjectHeaderSize);
    for (const char* name : {"1show.quor.line", "3show.quor.line", "256show.quor.line"})
        EXPECT_TRUE(Sys_FileExists(name)) << name;
    EXPECT_FALSE(Sys_FileExists("8show.quor.line"));

    // A restarted program opens it.
    Restart();
    OpenFile(PacketPathOf(177, dir.File("show.quor")).c_str());
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{1, 2}, {3, 4}, {5, 6}}));
    EXPECT_EQ(CurrentChain(2), (std::vector<ChainPoint>{{100, 100}, {101, 100}}));
    EXPECT_EQ(CurrentChain(255), (std::vector<ChainPoint>{{2047, 2047}}));
    EXPECT_EQ(ChainLength(7), 0);
    EXPECT_EQ(Color(0), (std::vector<uint8_t>{10, 20, 30}));
    EXPECT_EQ(Color(2), (std::vector<uint8_t>{40, 50, 60}));
    EXPECT_EQ(Color(255), (std::vector<uint8_t>{70, 80, 90}));
    EXPECT_EQ(ActiveFlags(2)[1], 1);
    EXPECT_EQ(CellAt(101, 100).port, 2);
    EXPECT_EQ(CellAt(101, 100).index, 1);
    EXPECT_EQ(View().cellSize, 8);
    EXPECT_EQ(View().scrollX, 100);
    EXPECT_EQ(View().scrollY, 1500);
    EXPECT_EQ(LoadedPorts(), (std::vector<uint16_t>{0, 2, 255}));
    EXPECT_STREQ(ProjectDirectory(), dir.path().c_str());
    EXPECT_STREQ(ProjectFileName(), "show.quor");
}

TEST_F(FilesTest, UnknownNamesAreRefusedButTheLayoutIsStillEmptied) {
    WriteWholeFile("port.line", ChainFileBytes(0, {{1, 1}}));
    WriteWholeFile("list.IQP", "a.iql\r\n");
    for (const char* name : {"port.line", "list.IQP"}) {
        SCOPED_TRACE(name);
        Restart();
        AddLed(3, {50, 50});
        OpenFile(name);
        ASSERT_EQ(FakeSys_Boxes().size(), 1u);
        EXPECT_EQ(FakeSys_Boxes()[0].text, "the file is corrupted or has an incorrect extension!");
        EXPECT_EQ(FakeSys_Boxes()[0].caption, "Error");
        EXPECT_EQ(FakeSys_Boxes()[0].style, kMbSystemModal | kMbIconError);
        EXPECT_EQ(ChainLength(3), 0);
        EXPECT_FALSE(CellAt(50, 50).occupied);
        EXPECT_TRUE(LoadedPorts().empty());
    }
}

TEST_F(FilesTest, TheViewIsClampedAfterReading) {
    struct Case {
        uint16_t x, y;
        uint8_t cell;
        int32_t cellSize;
        uint16_t scrollX, scrollY;
    } cases[] = {
        {3000, 3000, 0, 16, 0, 2048},
        {2048, 2048, 16, 16, 2048, 2048},
        {2049, 0, 17, 16, 0, 0},
        {7, 9, 1, 1, 7, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        WriteWholeFile("v.quor", HeaderBytes({}, c.x, c.y, c.cell));
        OpenFile("v.quor");
        EXPECT_EQ(View().cellSize, c.cellSize);
        EXPECT_EQ(View().scrollX, c.scrollX);
        EXPECT_EQ(View().scrollY, c.scrollY);
    }
    // A short file changes only the bytes it has: the view stays.
    WriteWholeFile("short.quor", std::string(100, '\0'));
    OpenFile("short.quor");
    EXPECT_EQ(View().scrollX, 7);
    EXPECT_TRUE(FakeSys_Boxes().empty());
}

TEST_F(FilesTest, ListAndProjectInOneNameRunInTheirOrder) {
    // x.iqp.quor is read as a list and then as a project header. Its text up
    // to the first NUL is also its first flags: ports 0 and 1 are flagged,
    // and the one list entry is "\x01\x01a.iql".
    std::string file = HeaderBytes({}, 5, 6, 7);
    std::string text =
        "\x01\x01"
        "a.iql\r\n";
    file.replace(0, text.size(), text);
    WriteWholeFile("x.iqp.quor", file);
    WriteWholeFile(
        "\x01\x01"
        "a.iql",
        IqlBytes(2, {{20, 20}}));
    WriteWholeFile("1x.iqp.quor.line", ChainFileBytes(1, {{30, 30}}));
    WriteWholeFile("2x.iqp.quor.line", ChainFileBytes(4, {{40, 40}}));
    FakeSys_QueueBoxAnswer(kIdYes);
    OpenFile("x.iqp.quor");
    // Chain files for the project's flags, then the imported chains for them.
    EXPECT_EQ(LoadedPorts(), (std::vector<uint16_t>{1, 4, 0, 1}));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{ChainReplaceQuestionText(1)});
    EXPECT_EQ(CurrentChain(1), (std::vector<ChainPoint>{{20, 20}}));
    EXPECT_EQ(Color(1), (std::vector<uint8_t>{127, 127, 127}));
    EXPECT_EQ(CurrentChain(4), (std::vector<ChainPoint>{{40, 40}}));
    EXPECT_EQ(View().cellSize, 7);
    EXPECT_EQ(View().scrollX, 5);
}

TEST_F(FilesTest, AFailedProjectWriteKeepsTheOldFiles) {
    std::string path = dir.File("p.quor");
    AddLed(0, {1, 1});
    SaveProject(path.c_str());
    std::string header = ReadWholeFile(path);
    std::string chain = ReadWholeFile(dir.File("1p.quor.line"));
    AddLed(0, {2, 2});
    SetView(2, 3, 4);
    CurrentFileSyscalls().rename = [](const char*, const char*) { return -1; };
    SaveProject(path.c_str());
    ResetFileSyscalls();
    EXPECT_EQ(ReadWholeFile(path), header);
    EXPECT_EQ(ReadWholeFile(dir.File("1p.quor.line")), chain);
    EXPECT_FALSE(Sys_FileExists((path + ".part").c_str()));
}

TEST_F(FilesTest, PathsTheStateCannotHoldAreRefused) {
    std::string name63 = std::string(58, 'n') + ".quor";
    struct Case {
        std::string path;
        bool accepted;
    } cases[] = {
        {name63, true},
        {"n" + name63, false},
        {std::string(435, 'd') + "/" + name63, true},   // chain path 507
        {std::string(436, 'd') + "/" + name63, false},  // chain path 508
        {std::string(600, 'd') + "/a.quor", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        ResetLayoutFiles();
        EXPECT_EQ(SetProjectPaths(c.path.c_str()), c.accepted);
        EXPECT_EQ(std::string(ProjectPath()), c.accepted ? c.path : "");
    }
    // A refused open leaves the layout alone.
    AddLed(0, {1, 1});
    OpenFile((std::string(600, 'd') + "/a.quor").c_str());
    OpenFile(("n" + name63).c_str());
    EXPECT_EQ(ChainLength(0), 1);
    EXPECT_TRUE(FakeSys_Boxes().empty());
}

// The chain files lie beside the project, at the root too (there they went
// to the current directory once); a bare name means the current directory.
TEST_F(FilesTest, ChainFilesLieBesideTheProject) {
    const struct {
        const char* project;
        const char* chain;
    } cases[] = {
        {"/x.quor", "/7x.quor.line"},
        {"/d/x.quor", "/d/7x.quor.line"},
        {"x.quor", "7x.quor.line"},
    };
    for (const auto& c : cases) {
        ResetLayoutFiles();
        ASSERT_TRUE(SetProjectPaths(c.project)) << c.project;
        EXPECT_EQ(ChainFilePath(7), c.chain);
    }
}

}  // namespace

namespace {

TEST_F(FilesTest, UninterpretedHeaderBytesAreCarriedOverBySaving) {
    std::string file = HeaderBytes({0}, 1, 2, 3);
    file[300] = 'a';
    file[kProjectHeaderSize - 1] = 'z';
    WriteWholeFile("old.quor", file);
    WriteWholeFile("1old.quor.line", ChainFileBytes(0, {{8, 8}}));
    OpenFile("old.quor");
    SaveProject("new.quor");
    std::string saved = ReadWholeFile("new.quor");
    ASSERT_EQ(saved.size(), kProjectHeaderSize);
    EXPECT_EQ(saved[300], 'a');
    EXPECT_EQ(saved[kProjectHeaderSize - 1], 'z');
    EXPECT_EQ(ReadWholeFile("1new.quor.line"), ReadWholeFile("1old.quor.line"));
}

}  // namespace
