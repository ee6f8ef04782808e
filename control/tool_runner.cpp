// Child processes of the command-line tools, read line by line.
#include "tool_runner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <memory>

namespace {

// Hands every complete line in `pending` to `handler`, keeping a partial
// last line for the next read. Carriage returns end a line too, so a
// progress line rewritten in place arrives each time it changes.
void DeliverLines(QString& pending, const QString& more,
                  const std::function<void(const QString&)>& handler) {
    pending += more;
    int start = 0;
    for (int i = 0; i < pending.size(); ++i) {
        if (pending[i] != '\n' && pending[i] != '\r') continue;
        QString line = pending.mid(start, i - start);
        start = i + 1;
        if (!line.isEmpty() && handler) handler(line);
    }
    pending.remove(0, start);
}

}  // namespace

QString ToolFolder(const QString& override) {
    if (!override.isEmpty()) return override;
    return QCoreApplication::applicationDirPath();
}

QString FindTool(const QString& folder, const QString& tool) {
    QFileInfo info(QDir(folder).filePath(tool));
    if (!info.isFile() || !info.isExecutable()) return QString();
    return info.absoluteFilePath();
}

bool StartTool(ToolRun& run, QObject* parent, const QString& folder, const QString& tool,
               const QStringList& arguments, QString* error) {
    if (ToolRunning(run)) {
        *error = tool + " is still running.";
        return false;
    }
    QString path = FindTool(folder, tool);
    if (path.isEmpty()) {
        *error = tool + " was not found in " + QDir::toNativeSeparators(folder) +
                 "; it is installed beside the control program.";
        return false;
    }
    if (run.process) run.process->deleteLater();
    run.process = new QProcess(parent);
    run.errorText.clear();
    run.outputText.clear();
    run.stopRequested = false;
    QProcess* process = run.process;
    auto outPending = std::make_shared<QString>();
    auto errPending = std::make_shared<QString>();
    QObject::connect(process, &QProcess::readyReadStandardOutput, process,
                     [&run, process, outPending] {
                         QString text = QString::fromLocal8Bit(process->readAllStandardOutput());
                         run.outputText += text;
                         DeliverLines(*outPending, text, run.onOutputLine);
                     });
    QObject::connect(process, &QProcess::readyReadStandardError, process,
                     [&run, process, errPending] {
                         QString text = QString::fromLocal8Bit(process->readAllStandardError());
                         run.errorText += text;
                         DeliverLines(*errPending, text, run.onErrorLine);
                     });
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                     [&run, process, outPending, errPending](int code, QProcess::ExitStatus status) {
                         if (run.process != process) return;
                         // The last partial lines, then the end.
                         DeliverLines(*outPending, "\n", run.onOutputLine);
                         DeliverLines(*errPending, "\n", run.onErrorLine);
                         bool normal = status == QProcess::NormalExit;
                         if (run.onFinished) run.onFinished(normal && code == 0, normal ? code : -1);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [&run, process, tool](QProcess::ProcessError failure) {
                         if (failure != QProcess::FailedToStart || run.process != process) return;
                         run.errorText = tool + " could not be started: " + process->errorString();
                         if (run.onFinished) run.onFinished(false, -1);
                     });
    process->start(path, arguments);
    if (!process->waitForStarted(5000)) {
        *error = tool + " could not be started: " + process->errorString();
        return false;
    }
    return true;
}

void StopTool(ToolRun& run) {
    if (!ToolRunning(run)) return;
    run.stopRequested = true;
#ifdef _WIN32
    run.process->terminate();
#else
    ::kill(static_cast<pid_t>(run.process->processId()), SIGINT);
#endif
}

bool ToolRunning(const ToolRun& run) {
    return run.process && run.process->state() != QProcess::NotRunning;
}

bool WaitForTool(ToolRun& run, int ms) {
    QDeadlineTimer deadline(ms);
    while (ToolRunning(run) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !ToolRunning(run);
}
