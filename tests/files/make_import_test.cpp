// The import maker tool end to end: a saved project becomes an import list
// whose opening gives the same chains, in grey.
#include "files/project_file.h"
#include "files_fixture.h"
#include "support/process.h"

namespace {

TEST_F(FilesTest, MadeImportListOpensAsTheProjectLayout) {
    AddLed(0, {1, 2});
    AddLed(0, {3, 2047});
    AddLed(5, {0, 0});
    SaveProject("show.quor");

    ChildProcess tool = StartChild(BuildDirectory() + "/quorvane_make_import",
                                   {"show.quor", dir.File("show.iqp")}, dir.path(), "tool");
    bool ended = WaitForExit(tool, 10000);
    StopChild(tool);
    ASSERT_TRUE(ended);
    ASSERT_EQ(tool.status, 0) << ReadWholeFile(tool.stderrPath);
    EXPECT_EQ(ReadWholeFile("show.iqp"), "show_1.iql\r\nshow_6.iql\r\n");
    EXPECT_EQ(ReadWholeFile("show_6.iql").size(), kImportRecordSize);

    Restart();
    OpenFile(dir.File("show.iqp").c_str());
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(CurrentChain(0), (std::vector<ChainPoint>{{1, 2}, {3, 2047}}));
    EXPECT_EQ(CurrentChain(5), (std::vector<ChainPoint>{{0, 0}}));
    EXPECT_EQ(Color(5), (std::vector<uint8_t>{127, 127, 127}));
    EXPECT_EQ(LoadedPorts(), (std::vector<uint16_t>{0, 5}));
}

}  // namespace
