// quorvane-layout run as a program: its usage, projects that the window
// opens as written, refusals that leave nothing behind, --into and export.
#include "model/layout.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "common/file_io.h"
#include "files/layout_files.h"
#include "support/test_support.h"

namespace {

struct ToolRun {
    int status;
    std::string error;
    std::string output;
};

ToolRun RunLayoutTool(const std::string& args, const std::string& dir) {
    const std::string err = dir + "/tool.err", out = dir + "/tool.out";
    const std::string command =
        BuildDirectory() + "/quorvane-layout " + args + " > " + out + " 2> " + err + " < /dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(err), ReadWholeFile(out)};
    std::remove(err.c_str());
    std::remove(out.c_str());
    return run;
}

// Opens the project as the window's open command does.
void Open(const std::string& path) {
    HeaderView view = {};
    OpenFile(path.c_str(), view);
}

// The cell of LED `index` (from 0) of port number `port`, row from the top.
std::pair<int, int> Cell(int port, int index) {
    const ChainPoint p = CurrentPoints(port - 1)[index];
    return {p.x, kGridMax - p.y};
}

int DirectoryEntries(const std::string& dir) {
    const std::string list = dir + "/list";
    std::system(("ls -A " + dir + " | grep -v '^list$' > " + list).c_str());
    const std::string text = ReadWholeFile(list);
    std::remove(list.c_str());
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

class LayoutToolTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
    ScopedTempDir dir_{"quorvane-layout-tool"};
};

TEST_F(LayoutToolTest, UsageErrorsExitTwoAndHelpZero) {
    EXPECT_EQ(RunLayoutTool("--help", dir_.path()).status, 0);
    EXPECT_EQ(RunLayoutTool("matrix --help", dir_.path()).status, 0);
    for (const char* args : {"", "matrix 0x4 -o p", "matrix 4x4", "matrix 4x4 -o a --into b.quor",
                             "line --from 1 --to 3,4 -o p", "import walls.txt -o p",
                             "import a.xmodel --y-up -o p", "export p.quor --to svg out"}) {
        const ToolRun run = RunLayoutTool(args, dir_.path());
        EXPECT_EQ(run.status, 2) << args << ": " << run.error;
        EXPECT_NE(run.error.find("quorvane-layout: "), std::string::npos) << args;
    }
    EXPECT_EQ(DirectoryEntries(dir_.path()), 0);
}

TEST_F(LayoutToolTest, MatrixIntoAFolderOpensInTheWindowAsGenerated) {
    const ToolRun run = RunLayoutTool(
        "matrix 64x32 --start bottom-left --leds-per-port 512 --first-port 3 "
        "--origin 10,20 -o " +
            dir_.File("wall"),
        dir_.path());
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_NE(run.output.find("2048 LEDs added on ports 3-6"), std::string::npos) << run.output;
    Open(dir_.File("wall/wall.quor"));
    for (int port = 3; port <= 6; ++port) EXPECT_EQ(ChainLength(port - 1), 512) << port;
    EXPECT_EQ(Cell(3, 0), std::make_pair(10, 51));
    EXPECT_EQ(Cell(3, 511), std::make_pair(10, 44));
    EXPECT_EQ(Cell(4, 0), std::make_pair(10, 43));
    EXPECT_EQ(Cell(6, 511), std::make_pair(10, 20));
}

TEST_F(LayoutToolTest, RefusedInputNamesTheLineAndWritesNothing) {
    WriteWholeFile(dir_.File("walls.csv"), "port,index,x,y\n1,0,5,5\n1,1,6,5\n2,0,5,5\n");
    const ToolRun run = RunLayoutTool("import walls.csv -o out/walls.quor", dir_.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error,
              "quorvane-layout: walls.csv:4: cell (5, 5) of LED 1 of port 2 already holds LED 1 "
              "of port 1 (walls.csv:2)\n");
    EXPECT_LT(FileSizeOf(dir_.File("out").c_str()), 0);
    EXPECT_EQ(DirectoryEntries(dir_.path()), 1);  // walls.csv only

    // An existing project is not replaced without --force.
    WriteWholeFile(dir_.File("walls.csv"), "port,index,x,y\n1,0,5,5\n");
    ASSERT_EQ(RunLayoutTool("import walls.csv -o p.quor", dir_.path()).status, 0);
    const ToolRun again = RunLayoutTool("import walls.csv -o p.quor", dir_.path());
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.error.find("p.quor: a project is already there"), std::string::npos);
    EXPECT_EQ(RunLayoutTool("import walls.csv -o p.quor --force", dir_.path()).status, 0);
}

TEST_F(LayoutToolTest, IntoAddsOnFreePortsAndRefusesAnOccupiedCell) {
    ASSERT_EQ(RunLayoutTool("line --from 0,0 --to 9,0 -o p.quor", dir_.path()).status, 0);
    const std::string project = ReadWholeFile(dir_.File("p.quor"));
    const ToolRun clash = RunLayoutTool("line --from 5,5 --to 5,0 --into p.quor", dir_.path());
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.error.find("cell (5, 0) of LED 6 of port 2 already holds LED 6 of port 1 "
                               "(p.quor)"),
              std::string::npos)
        << clash.error;
    EXPECT_EQ(ReadWholeFile(dir_.File("p.quor")), project);
    EXPECT_LT(FileSizeOf(dir_.File("2p.quor.line").c_str()), 0);

    const ToolRun added = RunLayoutTool("matrix 3x2 --origin 0,10 --into p.quor", dir_.path());
    ASSERT_EQ(added.status, 0) << added.error;
    EXPECT_NE(added.output.find("6 LEDs added on port 2; 16 LEDs on 2 ports"), std::string::npos)
        << added.output;
    Open(dir_.File("p.quor"));
    EXPECT_EQ(ChainLength(0), 10);
    EXPECT_EQ(ChainLength(1), 6);
    EXPECT_EQ(Cell(2, 5), std::make_pair(0, 11));
}

TEST_F(LayoutToolTest, ExportedFormatsImportBackToTheSameChains) {
    ASSERT_EQ(RunLayoutTool("matrix 20x10 --leds-per-port 100 --wiring progressive --origin 30,40 "
                            "-o a.quor",
                            dir_.path())
                  .status,
              0);
    Open(dir_.File("a.quor"));
    std::vector<std::pair<int, int>> original;
    for (int port = 1; port <= 2; ++port)
        for (int i = 0; i < 100; ++i) original.push_back(Cell(port, i));

    for (const char* format : {"csv", "xmodel", "ledmap"}) {
        const std::string out =
            std::string("a.") + (std::string(format) == "ledmap" ? "json" : format);
        const ToolRun exported =
            RunLayoutTool(std::string("export a.quor --to ") + format + " " + out, dir_.path());
        ASSERT_EQ(exported.status, 0) << format << ": " << exported.error;
        const std::string origin = std::string(format) == "csv" ? "" : " --origin 30,40";
        const ToolRun imported = RunLayoutTool(
            "import " + out + origin + " --leds-per-port 100 -o b-" + format + ".quor",
            dir_.path());
        ASSERT_EQ(imported.status, 0) << format << ": " << imported.error;
        ResetRunState();
        Open(dir_.File(std::string("b-") + format + ".quor"));
        std::vector<std::pair<int, int>> back;
        for (int port = 1; port <= 2; ++port)
            for (int i = 0; i < ChainLength(port - 1); ++i) back.push_back(Cell(port, i));
        EXPECT_EQ(back, original) << format;
    }
}

TEST_F(LayoutToolTest, ExportThatDoesNotFitIsRefusedAndWritesNothing) {
    ASSERT_EQ(RunLayoutTool("line --from 0,0 --to 299,0 -o wide.quor", dir_.path()).status, 0);
    const ToolRun run = RunLayoutTool("export wide.quor --to ledmap wide.json", dir_.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error,
              "quorvane-layout: wide.json: the layout spans 300 x 1 cells; a ledmap holds at "
              "most 255 x 255\n");
    EXPECT_LT(FileSizeOf(dir_.File("wide.json").c_str()), 0);
    const ToolRun missing = RunLayoutTool("export none.quor --to csv none.csv", dir_.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.error.find("none.quor: cannot open the file"), std::string::npos)
        << missing.error;
}

TEST_F(LayoutToolTest, ImportsThePeersSamples) {
    const char* given = std::getenv("QUORVANE_SHARED_DIR");
    const std::string folder =
        std::string(given != nullptr ? given : QUORVANE_SHARED_DIR) + "/samples/layouts";
    if (ReadWholeFile(folder + "/xlights_Bat.xmodel").empty())
        GTEST_SKIP() << "no peer samples in ../shared/samples/layouts";
    const ToolRun bat = RunLayoutTool("import " + folder +
                                          "/xlights_Bat.xmodel --pitch 3 --origin 100,100 "
                                          "-o bat.quor",
                                      dir_.path());
    ASSERT_EQ(bat.status, 0) << bat.error;
    const ToolRun map =
        RunLayoutTool("import " + folder + "/wled_ledmap_lighto.json --into bat.quor", dir_.path());
    ASSERT_EQ(map.status, 0) << map.error;
    Open(dir_.File("bat.quor"));
    EXPECT_EQ(ChainLength(0), 40);
    EXPECT_EQ(Cell(1, 0), std::make_pair(100 + 3 * 15, 100 + 3 * 20));
    EXPECT_EQ(ChainLength(1), 61);
    EXPECT_EQ(Cell(2, 0), std::make_pair(9, 9));
}

}  // namespace
