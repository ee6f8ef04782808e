// The import maker tool end to end: a saved project becomes an import list
// whose opening gives the same chains, in grey. And both tools refuse, at
// once, an input that is not a regular file.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

TEST_F(FilesTest, ToolsRefuseInputsThatAreNotFiles) {
    ASSERT_EQ(::mkfifo(dir.File("fifo.quor").c_str(), 0644), 0);  // no writer: would block
    std::filesystem::create_directory(dir.File("folder.quor"));
    ASSERT_EQ(::symlink("/dev/zero", dir.File("device.quor").c_str()), 0);
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        int status;
        std::string message;  // in the standard error
    } cases[] = {
        {"quorvane_make_import", {"fifo.quor", "out.iqp"}, 1, "fifo.quor: not a regular file"},
        {"quorvane_make_import", {"folder.quor", "out.iqp"}, 1, "folder.quor: not a regular file"},
        {"quorvane_make_import", {"device.quor", "out.iqp"}, 1, "device.quor: not a regular file"},
        {"quorvane_decode_led",
         {"fifo.quor"},
         1,
         "fifo.quor: cannot open the file: not a regular file"},
        {"quorvane_decode_led", {"folder.quor"}, 1, "not a regular file"},
        {"quorvane_decode_led", {"device.quor"}, 1, "not a regular file"},
        // A project whose chain file is a FIFO: that port is skipped.
        {"quorvane_make_import", {"show.quor", "show.iqp"}, 0, "skipped"},
    };
    AddLed(0, {1, 2});
    SaveProject("show.quor");
    std::filesystem::remove(dir.File("1show.quor.line"));
    ASSERT_EQ(::mkfifo(dir.File("1show.quor.line").c_str(), 0644), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.args[0]);
        ChildProcess tool = StartChild(BuildDirectory() + "/" + c.tool, c.args, dir.path(), "tool");
        const bool ended = WaitForExit(tool, 5000);
        StopChild(tool);
        ASSERT_TRUE(ended);
        EXPECT_EQ(tool.status, c.status);
        EXPECT_NE(ReadWholeFile(tool.stderrPath).find(c.message), std::string::npos)
            << ReadWholeFile(tool.stderrPath);
    }
}

}  // namespace
