// The command-line tools (quorvane-convert, quorvane-play, quorvane-layout)
// run as child processes of the control program. One ToolRun record per
// form: it starts the tool found beside the control program, hands each line
// the tool writes to the form as it comes, and reports the end with the
// tool's exit status and its whole standard error. A form shows a missing
// tool instead of failing silently: StartTool says so in `error`.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

struct ToolRun {
    QProcess* process = nullptr;  // owned by the Qt parent given to StartTool
    QString errorText;            // everything the tool wrote on standard error
    QString outputText;           // everything it wrote on standard output
    bool stopRequested = false;
    // Each complete line of standard output, and of standard error, as it arrives.
    std::function<void(const QString& line)> onOutputLine;
    std::function<void(const QString& line)> onErrorLine;
    // The tool ended: `ok` when it exited normally with status 0. `exitCode`
    // is -1 when it crashed or could not be run.
    std::function<void(bool ok, int exitCode)> onFinished;
};

// The folder the tools are looked up in: `override` when not empty, else the
// folder of the running control program.
QString ToolFolder(const QString& override);

// Full path of `tool` in `folder`; empty when no such executable file is there.
QString FindTool(const QString& folder, const QString& tool);

// Starts `tool` from `folder` with `arguments`, its output and errors cleared.
// False, with the reason in `error` (a missing tool is named with its folder),
// when it is missing, a run of this record is still going, or it cannot start.
bool StartTool(ToolRun& run, QObject* parent, const QString& folder, const QString& tool,
               const QStringList& arguments, QString* error);

// Asks a running tool to stop as Ctrl+C does (the tools then remove what
// they had begun to write and exit); nothing when none runs.
void StopTool(ToolRun& run);

bool ToolRunning(const ToolRun& run);

// Waits up to `ms` for the tool to end, running the event loop (tests, and
// the window closing). True when it is no longer running.
bool WaitForTool(ToolRun& run, int ms);
