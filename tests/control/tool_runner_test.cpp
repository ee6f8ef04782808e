// The tool runner against small shell scripts standing in for the tools:
// lines as they come (a progress line rewritten with carriage returns too),
// the exit status, a tool that is missing, and Stop reaching the tool as
// Ctrl+C does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "tool_runner.h"

namespace {

void WriteTool(const QTemporaryDir& dir, const char* name, const char* body) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("#!/bin/sh\n") + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

struct Outcome {
    QStringList out, err;
    bool finished = false, ok = false;
    int code = 0;
};

void Watch(ToolRun& run, Outcome& outcome) {
    run.onOutputLine = [&outcome](const QString& line) { outcome.out << line; };
    run.onErrorLine = [&outcome](const QString& line) { outcome.err << line; };
    run.onFinished = [&outcome](bool ok, int code) {
        outcome.finished = true;
        outcome.ok = ok;
        outcome.code = code;
    };
}

TEST(ToolRunner, DeliversLinesAndExitStatus) {
    QTemporaryDir dir;
    WriteTool(dir, "tool-ok", "printf 'frame 1\\rframe 2\\rframe 3\\ndone %s\\n' \"$1\"\n");
    WriteTool(dir, "tool-fails", "echo 'tool-fails: in.mp4: no video' >&2\nprintf partial >&2\nexit 1\n");
    ToolRun run;
    Outcome outcome;
    Watch(run, outcome);
    QString error;
    ASSERT_TRUE(StartTool(run, nullptr, dir.path(), "tool-ok", {"a b"}, &error)) << error.toStdString();
    ASSERT_TRUE(WaitForTool(run, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, QStringList({"frame 1", "frame 2", "frame 3", "done a b"}));

    outcome = Outcome{};
    ASSERT_TRUE(StartTool(run, nullptr, dir.path(), "tool-fails", {}, &error));
    ASSERT_TRUE(WaitForTool(run, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.err, QStringList({"tool-fails: in.mp4: no video", "partial"}));
    EXPECT_EQ(run.errorText, "tool-fails: in.mp4: no video\npartial");
    delete run.process;
}

TEST(ToolRunner, MissingToolIsNamedWithItsFolder) {
    QTemporaryDir dir;
    WriteTool(dir, "not-executable", "exit 0\n");
    QFile(dir.filePath("not-executable")).setPermissions(QFile::ReadOwner);
    ToolRun run;
    for (const char* tool : {"quorvane-convert", "not-executable"}) {
        QString error;
        EXPECT_FALSE(StartTool(run, nullptr, dir.path(), tool, {}, &error));
        EXPECT_TRUE(error.startsWith(QString(tool) + " was not found in " + dir.path()))
            << error.toStdString();
    }
    EXPECT_FALSE(ToolRunning(run));
}

TEST(ToolRunner, StopIsCtrlC) {
    QTemporaryDir dir;
    // Like the tools: on Ctrl+C it cleans up, says so and exits with 1.
    WriteTool(dir, "tool-long",
              "trap 'echo stopped >&2; exit 1' INT\necho started\n"
              "i=0; while [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n");
    ToolRun run;
    Outcome outcome;
    Watch(run, outcome);
    QString error;
    ASSERT_TRUE(StartTool(run, nullptr, dir.path(), "tool-long", {}, &error));
    EXPECT_FALSE(StartTool(run, nullptr, dir.path(), "tool-long", {}, &error));
    EXPECT_EQ(error, "tool-long is still running.");
    for (int i = 0; i < 100 && outcome.out.isEmpty(); ++i) WaitForTool(run, 50);
    ASSERT_EQ(outcome.out, QStringList({"started"}));
    StopTool(run);
    ASSERT_TRUE(WaitForTool(run, 5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(run.stopRequested);
    EXPECT_EQ(outcome.err, QStringList({"stopped"}));
    EXPECT_FALSE(outcome.ok);
    delete run.process;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
