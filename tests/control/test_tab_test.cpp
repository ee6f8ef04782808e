// The Test page under Qt's offscreen platform, with a shell script standing
// in for quorvane-play: the arguments of the page's settings, the step
// buttons' keys on the tool's standard input, the last step's line shown,
// the tool's errors in full, and a missing tool or file named.
#include "test_tab.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "qt_wait.h"
#include "window.h"

namespace {

void WriteTool(const QTemporaryDir& dir, const char* body) {
    QFile file(dir.filePath("quorvane-play"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("#!/bin/sh\n") + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class TestPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tools.isValid());
        ControlHooks hooks;
        hooks.openFile = [](const QString&, const QString&, const QString&) { return QString(); };
        hooks.saveFile = hooks.openFile;
        hooks.settingsFile = tools.filePath("control.ini");
        hooks.toolFolder = tools.path();
        // Nothing listens on port 9 of 127.0.0.1: the page needs no Quorvane.
        control = CreateControlWindow(9, hooks);
        tab = control->testTab.get();
        ASSERT_NE(tab, nullptr);
        tab->layoutPath->setText("/shows/stage.quor");
        tab->outputsPath->setText("/shows/outputs.json");
    }
    void TearDown() override { control.reset(); }

    QTemporaryDir tools;
    std::unique_ptr<ControlWindow> control;
    TestTab* tab = nullptr;
};

TEST_F(TestPage, ArgumentsFollowTheSettings) {
    const struct {
        const char* pattern;
        bool onePort;
        const char* ports;
        int order, stepMs;
        QStringList expected;
    } cases[] = {
        {"walk",
         true,
         " 1,3-5 ",
         2,
         200,
         {"--test", "walk", "--keys", "--order", "GRB", "--one-port", "--step-ms", "200", "--ports",
          "1,3-5", "/shows/stage.quor", "/shows/outputs.json"}},
        {"walk",
         false,
         "",
         0,
         500,
         {"--test", "walk", "--keys", "--order", "RGB", "--step-ms", "500", "/shows/stage.quor",
          "/shows/outputs.json"}},
        {"chase",
         true,
         "",
         5,
         40,
         {"--test", "chase", "--keys", "--order", "BGR", "--step-ms", "40", "/shows/stage.quor",
          "/shows/outputs.json"}},
        {"order",
         true,
         "7",
         0,
         40,
         {"--test", "order", "--keys", "--order", "RGB", "--ports", "7", "/shows/stage.quor",
          "/shows/outputs.json"}},
    };
    for (const auto& c : cases) {
        tab->pattern->setCurrentText(c.pattern);
        tab->onePort->setChecked(c.onePort);
        tab->ports->setText(c.ports);
        tab->order->setCurrentIndex(c.order);
        tab->stepMs->setValue(c.stepMs);
        EXPECT_EQ(TestToolArguments(*tab), c.expected) << c.pattern;
    }
}

TEST_F(TestPage, StepButtonsSendTheKeysAndTheLastStepIsShown) {
    // Prints its arguments and a step, then every byte it reads in hex;
    // ends at "p".
    WriteTool(tools,
              "echo \"args $*\"\necho 'port 1 LED 1 X=11 Y=6'\n"
              "while true; do\n"
              "  key=$(dd bs=1 count=1 2>/dev/null | od -An -tx1 | tr -d ' \\n')\n"
              "  [ -z \"$key\" ] && exit 3\n"
              "  echo \"port 9 key $key\"\n"
              "  [ \"$key\" = 70 ] && echo '5 frames sent, 0 dropped' && exit 0\n"
              "done\n");
    EXPECT_FALSE(tab->stepButtons[kTestForward]->isEnabled());
    tab->startButton->click();
    ASSERT_TRUE(WaitFor([&] { return tab->current->text() == "port 1 LED 1 X=11 Y=6"; }))
        << tab->run.outputText.toStdString() << tab->errors->toPlainText().toStdString();
    EXPECT_TRUE(tab->run.outputText.startsWith("args --test walk --keys --order RGB "));
    EXPECT_FALSE(tab->startButton->isEnabled());
    EXPECT_TRUE(tab->stepButtons[kTestForward]->isEnabled());

    const struct {
        TestStepButton button;
        const char* lastLine;
    } steps[] = {
        {kTestForward, "port 9 key 43"},     // ESC [ C
        {kTestBack, "port 9 key 44"},        // ESC [ D
        {kTestForwardTen, "port 9 key 41"},  // ESC [ A
        {kTestBackTen, "port 9 key 42"},     // ESC [ B
        {kTestPause, "port 9 key 20"},
    };
    for (const auto& step : steps) {
        tab->stepButtons[step.button]->click();
        EXPECT_TRUE(WaitFor([&] { return tab->current->text() == step.lastLine; }))
            << step.lastLine << ": " << tab->run.outputText.toStdString();
    }
    EXPECT_TRUE(tab->run.outputText.contains("port 9 key 1b\nport 9 key 5b\nport 9 key 43\n"));
    tab->stepButtons[kTestNextPort]->click();
    ASSERT_TRUE(WaitFor([&] { return tab->startButton->isEnabled(); }));
    EXPECT_EQ(tab->current->text(), "port 9 key 70");  // not the summary
    EXPECT_FALSE(tab->stopButton->isEnabled());
    EXPECT_EQ(tab->errors->toPlainText(), "");
}

TEST_F(TestPage, ErrorsAreShownInFull) {
    WriteTool(tools,
              "echo 'quorvane-play: /shows/outputs.json: outputs[0] (sacn 192.0.2.1): port 3 is "
              "listed twice' >&2\necho 'second line' >&2\nexit 1\n");
    tab->startButton->click();
    ASSERT_TRUE(WaitFor([&] { return !tab->errors->toPlainText().isEmpty(); }));
    EXPECT_EQ(tab->errors->toPlainText(),
              "quorvane-play: /shows/outputs.json: outputs[0] (sacn 192.0.2.1): port 3 is listed "
              "twice\nsecond line\n");
    EXPECT_TRUE(control->messageLabel->text().contains("exit status 1"));
    EXPECT_TRUE(tab->startButton->isEnabled());
}

TEST_F(TestPage, MissingToolOrFilesAreNamed) {
    tab->outputsPath->clear();
    tab->startButton->click();
    EXPECT_EQ(control->messageLabel->text(), "Choose the layout and the OUTPUTS file first.");
    EXPECT_FALSE(ToolRunning(tab->run));
    tab->outputsPath->setText("/shows/outputs.json");
    tab->startButton->click();  // no quorvane-play in the folder
    EXPECT_TRUE(
        tab->errors->toPlainText().startsWith("quorvane-play was not found in " + tools.path()))
        << tab->errors->toPlainText().toStdString();
    EXPECT_TRUE(tab->startButton->isEnabled());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
