// Assembly of the control window: the connection line, the five form pages,
// the message line, the remembered folders, the real dialogs, and the
// handling of Quorvane's status messages.
#include "window.h"

#include <QColorDialog>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "forms.h"
#include "test_tab.h"

namespace {

constexpr int kWindowGap = 12;  // pixels between Quorvane's window and ours

// A file written just after the command may carry a slightly earlier time:
// the kernel stamps files from a clock that runs a few milliseconds behind,
// and some file systems keep only whole seconds.
constexpr qint64 kFileClockSlackMs = 2000;
// After Quorvane finished the command, how long a slow file system gets to
// show the file.
constexpr int kSaveCheckPollMs = 100;
constexpr int kSaveCheckPolls = 10;

struct SaveCheck {
    QString path;
    bool existedBefore;
    QDateTime modifiedBefore;
    QDateTime sentAt;
    int pollsLeft;
    std::function<void(bool written)> finished;
};

// The file is there and was written by the command: changed since we looked
// before sending, and not older than the command.
bool WrittenSinceCommand(const SaveCheck& check) {
    QFileInfo info(check.path);
    if (!info.isFile()) return false;
    QDateTime modified = info.lastModified();
    if (check.existedBefore && modified == check.modifiedBefore) return false;
    return modified.msecsTo(check.sentAt) <= kFileClockSlackMs;
}

void FinishSaveCheck(ControlWindow* control, const std::shared_ptr<SaveCheck>& check) {
    if (WrittenSinceCommand(*check)) {
        check->finished(true);
    } else if (check->pollsLeft-- > 0) {
        QTimer::singleShot(kSaveCheckPollMs, control->window.get(),
                           [control, check] { FinishSaveCheck(control, check); });
    } else {
        check->finished(false);
    }
}

// Sends `packet`, which makes Quorvane write `path`, then the code-0 packet
// whose answer can only come once the command has run: then `answered`
// runs, and `finished` learns whether the file was written. Neither runs
// when the connection is lost first. False when nothing was sent.
bool SendCheckedSave(ControlWindow& control, const Packet& packet, const QString& path,
                     const QString& refusal, std::function<void()> answered,
                     std::function<void(bool written)> finished) {
    auto check = std::make_shared<SaveCheck>();
    QFileInfo before(path);
    check->path = before.absoluteFilePath();
    check->existedBefore = before.isFile();
    if (check->existedBefore) check->modifiedBefore = before.lastModified();
    check->sentAt = QDateTime::currentDateTime();
    check->pollsLeft = kSaveCheckPolls;
    check->finished = std::move(finished);
    if (!SendFromForm(control, packet, refusal)) return false;
    ControlWindow* c = &control;
    SendCommand(control.link, EncodeNoCommand(), [c, check, answered] {
        if (answered) answered();
        FinishSaveCheck(c, check);
    });
    return true;
}

}  // namespace

struct PendingLayoutSave {
    std::shared_ptr<ToolLayout> layout;
    std::function<void(std::shared_ptr<ToolLayout>, const QString&)> done;
};

namespace {

ControlHooks WithDefaultDialogs(ControlHooks hooks) {
    if (!hooks.chooseColor)
        hooks.chooseColor = [](const QColor& initial, const QString& title) {
            return QColorDialog::getColor(initial, nullptr, title);
        };
    if (!hooks.openFile)
        hooks.openFile = [](const QString& title, const QString& folder, const QString& filter) {
            return QFileDialog::getOpenFileName(nullptr, title, folder, filter);
        };
    if (!hooks.saveFile)
        hooks.saveFile = [](const QString& title, const QString& folder, const QString& filter) {
            return QFileDialog::getSaveFileName(nullptr, title, folder, filter);
        };
    return hooks;
}

void ShowStatusLine(ControlWindow& control, const char* color, const QString& text) {
    control.connectionLabel->setText(QString("<b style='color:%1'>%2</b>").arg(color, text));
}

void PaintLinkState(ControlWindow& control, LinkState state) {
    const char* color = "#a00000";
    if (state == LinkState::Connected) color = "#007000";
    if (state == LinkState::Connecting) color = "#806000";
    ShowStatusLine(control, color, QString::fromUtf8(LinkStateText(state)));
    control.reconnectButton->setVisible(state == LinkState::NotFound);
}

void ShowLinkState(ControlWindow& control, LinkState state) {
    PaintLinkState(control, state);
    if (state == LinkState::Lost && control.savesPending > 0) {
        // Their answers will not come: say so instead of waiting for ever.
        control.savesPending = 0;
        ShowNotice(control,
                   "The connection was lost before Quorvane finished saving " +
                       control.lastSavePath + ": check the file.",
                   true);
    }
    if (state == LinkState::Lost) {
        std::vector<std::shared_ptr<PendingLayoutSave>> saves;
        saves.swap(control.layoutSaves);
        for (const auto& save : saves)
            save->done(nullptr, "The connection to Quorvane was lost before it saved the layout.");
    }
    if (state == LinkState::Connected) {
        // Quorvane starts in the switch-LEDs mode on port index 0; make it
        // agree with the form (the port may have been chosen before).
        SendFromForm(control, EncodeSetEditMode(control.switchMode->isChecked()));
        int row = control.portList->currentRow();
        if (row > 0) SendFromForm(control, EncodeSelectPort(row));
    }
}

void PlaceBesideQuorvane(ControlWindow& control) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const int* g = control.quorvaneGeometry;
    control.window->move(PlaceBeside(QRect(g[0], g[1], g[2], g[3]),
                                     control.window->frameGeometry().size(), available));
}

}  // namespace

ControlWindow::~ControlWindow() {
    // A tool still running is stopped as Ctrl+C stops it, so it removes what
    // it had begun, rather than killed with its process record.
    for (ToolForm* form : {&convertForm, &liveForm}) {
        form->finished = nullptr;
        if (!ToolRunning(form->run)) continue;
        StopTool(form->run);
        form->run.process->waitForFinished(10000);
    }
    if (testTab) EndTestPage(testTab.get());
    // The socket still emits while the window deletes it; nobody listens now.
    if (link.socket) link.socket->disconnect();
    if (link.retryTimer) link.retryTimer->disconnect();
    if (link.answerTimer) link.answerTimer->disconnect();
}

QPoint PlaceBeside(const QRect& quorvane, const QSize& ours, const QRect& available) {
    int rightmost = qMax(available.x(), available.x() + available.width() - ours.width());
    int x = quorvane.x() + quorvane.width() + kWindowGap;
    if (x > rightmost) x = quorvane.x() - ours.width() - kWindowGap;
    // No room on either side: cover Quorvane's right edge, away from the
    // top-left corner where its view starts.
    if (x < available.x()) x = rightmost;
    int lowest = qMax(available.y(), available.y() + available.height() - ours.height());
    return QPoint(qBound(available.x(), x, rightmost), qBound(available.y(), quorvane.y(), lowest));
}

std::string PathBytes(const QString& path) {
    QByteArray bytes = path.toLocal8Bit();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void ShowNotice(ControlWindow& control, const QString& text, bool error) {
    control.messageLabel->setStyleSheet(error ? "color:#b00000; font-weight:bold" : "");
    control.messageLabel->setText(text);
}

bool SendFromForm(ControlWindow& control, const Packet& packet, const QString& refusal) {
    if (packet.empty()) {
        ShowNotice(control, refusal.isEmpty() ? QString("The command was refused.") : refusal,
                   true);
        return false;
    }
    if (!SendCommand(control.link, packet)) {
        ShowNotice(control, "Not sent: there is no connection to Quorvane.", true);
        return false;
    }
    return true;
}

bool SendSaveCommand(ControlWindow& control, const Packet& packet, const QString& path,
                     const QString& saved, const QString& notSaved, const QString& refusal) {
    ControlWindow* c = &control;
    auto answered = [c] { --c->savesPending; };
    auto finished = [c, saved, notSaved](bool written) {
        ShowNotice(*c, written ? saved : notSaved, !written);
    };
    if (!SendCheckedSave(control, packet, path, refusal, answered, finished)) return false;
    ++control.savesPending;
    control.lastSavePath = path;
    ShowNotice(control, "Waiting for Quorvane to save " + path + " ...");
    return true;
}

bool SaveLayoutForTool(ControlWindow& control,
                       std::function<void(std::shared_ptr<ToolLayout>, const QString& error)> done,
                       QString* error) {
    auto save = std::make_shared<PendingLayoutSave>();
    save->layout = std::make_shared<ToolLayout>();
    save->done = std::move(done);
    if (!save->layout->folder.isValid()) {
        *error = "No temporary folder for the layout: " + save->layout->folder.errorString();
        return false;
    }
    save->layout->project = save->layout->folder.filePath("layout.quor");
    ControlWindow* c = &control;
    auto answered = [c, save] {
        auto& saves = c->layoutSaves;
        saves.erase(std::remove(saves.begin(), saves.end(), save), saves.end());
    };
    auto finished = [save](bool written) {
        if (written)
            save->done(save->layout, QString());
        else
            save->done(nullptr, "Quorvane did not save its layout for the tool (into " +
                                    save->layout->folder.path() + ").");
    };
    if (!SendCheckedSave(control, EncodeSaveProject(PathBytes(save->layout->project)),
                         save->layout->project, kPathTooLongText, answered, finished)) {
        *error = control.messageLabel->text();
        return false;
    }
    control.layoutSaves.push_back(save);
    return true;
}

QString LastFolder(ControlWindow& control, const char* kind) {
    return control.settings->value(QString("folders/") + kind, QString()).toString();
}

void RememberFolder(ControlWindow& control, const char* kind, const QString& path) {
    control.settings->setValue(QString("folders/") + kind, QFileInfo(path).absolutePath());
}

void SetSelectedPortColor(ControlWindow& control, const QColor& color) {
    int row = control.portList->currentRow();
    if (row < 0 || !color.isValid()) return;
    if (!SendFromForm(control, EncodeSetPortColor(row + 1, ToRgb(color)))) return;
    control.portColors[row] = color;
    control.portList->item(row)->setIcon(ColorSwatch(color));
}

void ForgetAllChains(ControlWindow& control) {
    for (int index = 0; index < kPortCount; ++index) {
        control.portHasChain[index] = false;
        control.portColors[index] = QColor(0, 0, 0);
        QListWidgetItem* item = control.portList->item(index);
        item->setText(QString("Port %1").arg(index + 1));
        item->setIcon(ColorSwatch(control.portColors[index]));
    }
}

namespace {

// Handles one status message from Quorvane.
void ApplyStatusMessage(ControlWindow& control, const StatusMessage& message) {
    switch (message.kind) {
        case StatusKind::WindowGeometry: {
            int geometry[4] = {message.x, message.y, message.width, message.height};
            bool moved = !control.geometryKnown ||
                         !std::equal(geometry, geometry + 4, control.quorvaneGeometry);
            std::copy(geometry, geometry + 4, control.quorvaneGeometry);
            control.geometryKnown = true;
            // Only when Quorvane's window moved, so the user may move ours.
            if (moved) PlaceBesideQuorvane(control);
            break;
        }
        case StatusKind::PortLoaded: {
            if (message.port >= kPortCount) break;
            control.portHasChain[message.port] = true;
            QListWidgetItem* item = control.portList->item(message.port);
            item->setText(QString("Port %1   \u25CF chain").arg(message.port + 1));
            item->setToolTip("Chain loaded from a file; its colour comes from the file");
            ShowNotice(control, QString("Chain loaded into port %1.").arg(message.port + 1));
            break;
        }
        case StatusKind::VideoProgress: {
            control.progress->setRange(0, 100);
            control.progress->setValue(qMin<int>(message.percent, 100));
            control.progress->setFormat(QString("%1 / %2 frames (%3 %)")
                                            .arg(message.frame)
                                            .arg(message.total)
                                            .arg(message.percent));
            break;
        }
    }
}

}  // namespace

std::unique_ptr<ControlWindow> CreateControlWindow(uint16_t port, const ControlHooks& hooks) {
    auto control = std::make_unique<ControlWindow>();
    ControlWindow& c = *control;
    c.hooks = WithDefaultDialogs(hooks);
    if (hooks.settingsFile.isEmpty())
        c.settings = std::make_unique<QSettings>("Quorvane", "Quorvane_Net");
    else
        c.settings = std::make_unique<QSettings>(hooks.settingsFile, QSettings::IniFormat);

    c.window = std::make_unique<QWidget>();
    c.window->setWindowTitle("Quorvane control");
    auto* layout = new QVBoxLayout(c.window.get());

    auto* connectionRow = new QHBoxLayout;
    c.connectionLabel = new QLabel;
    c.reconnectButton = new QPushButton("Connect again");
    connectionRow->addWidget(c.connectionLabel, 1);
    connectionRow->addWidget(c.reconnectButton);
    layout->addLayout(connectionRow);

    auto* tabs = new QTabWidget;
    tabs->addTab(BuildPortsPage(c), "Ports");
    tabs->addTab(BuildEditingPage(c), "Editing and view");
    tabs->addTab(BuildFilesPage(c), "Files");
    tabs->addTab(BuildVideoPage(c), "Video");
    tabs->addTab(BuildLivePage(c), "Live");
    c.testTab = std::make_unique<TestTab>();
    tabs->addTab(BuildTestPage(c, c.testTab.get()), "Test");
    layout->addWidget(tabs, 1);

    c.messageLabel = new QLabel;
    c.messageLabel->setWordWrap(true);
    layout->addWidget(c.messageLabel);

    ControlWindow* raw = control.get();
    QObject::connect(c.reconnectButton, &QPushButton::clicked, c.window.get(),
                     [raw] { RetryControlLink(raw->link); });
    c.link.onState = [raw](LinkState state) { ShowLinkState(*raw, state); };
    c.link.onMessage = [raw](const StatusMessage& message) { ApplyStatusMessage(*raw, message); };
    c.link.onWaiting = [raw](qint64 waitedMs, size_t queued) {
        if (waitedMs > 0)
            ShowStatusLine(*raw, "#806000", WaitingText(waitedMs, queued));
        else
            PaintLinkState(*raw, raw->link.state);
    };
    StartControlLink(c.link, c.window.get(), port);
    return control;
}
