// The scripted platform layer: answers in queue order, the defaults when the
// queue is empty or holds the other kind of answer, the script file and the
// escaped log lines that end-to-end tests read.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "support/test_support.h"

namespace {

class FakeSysTest : public ::testing::Test {
protected:
    void SetUp() override { FakeSys_Reset(); }
    void TearDown() override {
        FakeSys_Reset();
        unsetenv("QUORVANE_SCRIPT");
        unsetenv("QUORVANE_SCRIPT_LOG");
        unsetenv("QUORVANE_SCRIPT_SCREEN");
    }
    ScopedTempDir dir_;
};

const SysSaveDialog kBinDialog = {"Bin Files", "*.led", "led", true};

TEST_F(FakeSysTest, AnswersInQueueOrderAndFallsBackToDefaults) {
    FakeSys_QueueBoxAnswer(kIdNo);
    FakeSys_QueueSaveAnswer("/shows/a.led");
    FakeSys_QueueBoxAnswer(kIdYes);

    char path[260] = "stale";
    EXPECT_EQ(Sys_MessageBox("q1", "c", kMbYesNo | kMbIconQuestion), kIdNo);
    // A save answer at the front is not taken by a box: the box gets its
    // default and the answer waits for the dialog.
    EXPECT_EQ(Sys_MessageBox("q2", "c", kMbYesNo), kIdYes);
    ASSERT_TRUE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "/shows/a.led");
    // A box answer at the front is not taken by a dialog: it is cancelled,
    // and like the real dialog a cancel leaves the path empty.
    EXPECT_FALSE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "");
    EXPECT_EQ(Sys_MessageBox("q3", "c", kMbYesNo), kIdYes);
    // Empty queue: OK for an OK box, Yes for a question, cancel for a dialog.
    EXPECT_EQ(Sys_MessageBox("n", "Information", kMbSystemModal | kMbIconInformation), kIdOk);
    EXPECT_EQ(Sys_MessageBox("q4", "c", kMbYesNo), kIdYes);
    std::strcpy(path, "stale");
    EXPECT_FALSE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "");
    FakeSys_QueueSaveCancel();
    std::strcpy(path, "stale");
    EXPECT_FALSE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "");

    const auto& boxes = FakeSys_Boxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].text, "q1");
    EXPECT_EQ(boxes[0].style, kMbYesNo | kMbIconQuestion);
    EXPECT_EQ(boxes[3].caption, "Information");
    EXPECT_EQ(boxes[3].answer, kIdOk);
    const auto& saves = FakeSys_SaveDialogs();
    ASSERT_EQ(saves.size(), 4u);
    EXPECT_TRUE(saves[0].chosen);
    EXPECT_EQ(saves[0].filterPattern, "*.led");
    EXPECT_TRUE(saves[0].mustExist);
    EXPECT_FALSE(saves[1].chosen);
}

TEST_F(FakeSysTest, APathThatDoesNotFitCancels) {
    FakeSys_QueueSaveAnswer(std::string(10, 'a'));
    FakeSys_QueueSaveAnswer(std::string(9, 'b'));
    char path[10] = "stale";
    EXPECT_FALSE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "");
    ASSERT_TRUE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_STREQ(path, "bbbbbbbbb");
}

TEST_F(FakeSysTest, ReadsTheScriptAndWritesEscapedLogLines) {
    WriteWholeFile(dir_.File("script"), "no\r\nunknown line\npath /d/x \"1\".led\ncancel\nok\n");
    setenv("QUORVANE_SCRIPT", dir_.File("script").c_str(), 1);
    setenv("QUORVANE_SCRIPT_LOG", dir_.File("log").c_str(), 1);
    setenv("QUORVANE_SCRIPT_SCREEN", "800x600", 1);
    Sys_Init(nullptr, nullptr);

    const char question[] =
        "In the chain of the port \xB9"
        "5 there are \"already\"\\\n?";
    EXPECT_EQ(Sys_MessageBox(question, "A warning", kMbSystemModal | kMbIconWarning | kMbYesNo),
              kIdNo);
    char path[260];
    ASSERT_TRUE(Sys_SaveFileDialog({"Image Files", "*.bmp", "bmp", true}, path, sizeof path));
    EXPECT_STREQ(path, "/d/x \"1\".led");
    EXPECT_FALSE(Sys_SaveFileDialog(kBinDialog, path, sizeof path));
    EXPECT_EQ(Sys_MessageBox("", "", 0), kIdOk);
    int width = 0, height = 0;
    Sys_ScreenSize(&width, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_FALSE(Sys_StartProgram("Quorvane_Net.exe"));  // not there: recorded, not started

    EXPECT_EQ(ReadWholeFile(dir_.File("log")),
              "box style=0x00001034 caption=\"A warning\" text=\"In the chain of the port "
              "\\xB95 there are \\\"already\\\"\\\\\\x0A?\" answer=7\n"
              "save name=\"Image Files\" pattern=\"*.bmp\" ext=\"bmp\" mustExist=1 "
              "answer=\"/d/x \\\"1\\\".led\"\n"
              "save name=\"Bin Files\" pattern=\"*.led\" ext=\"led\" mustExist=1 answer=cancel\n"
              "box style=0x00000000 caption=\"\" text=\"\" answer=1\n"
              "launch \"Quorvane_Net.exe\"\n");
    EXPECT_EQ(FakeSys_LaunchedPrograms(), std::vector<std::string>{"Quorvane_Net.exe"});
}

}  // namespace
