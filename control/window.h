// The control window: one record that holds the forms' widgets, the
// connection and what the forms know about Quorvane (port colours, which
// ports hold a chain). The forms send commands through the connection and
// the status messages update the record. Tests reach the widgets through the
// record's fields and replace the dialogs through ControlHooks.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPoint>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QSettings>
#include <QSpinBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "encoder.h"
#include "link.h"

struct TestTab;

// The interactive dialogs, replaceable for tests. An invalid colour or an
// empty path means the user cancelled.
struct ControlHooks {
    std::function<QColor(const QColor& initial, const QString& title)> chooseColor;
    // title, start folder, filter list ("Name (*.ext);;...").
    std::function<QString(const QString&, const QString&, const QString&)> openFile;
    std::function<QString(const QString&, const QString&, const QString&)> saveFile;
    // Where the remembered folders and colours live; empty: the user's settings.
    QString settingsFile;
    // Where the command-line tools are; empty: beside the control program.
    QString toolFolder;
};

// The four colours of Quorvane's settings, in the order of commands 166-169.
constexpr int kSettingsColorCount = 4;

struct ControlWindow {
    ~ControlWindow();
    ControlLink link;
    ControlHooks hooks;
    std::unique_ptr<QSettings> settings;

    QLabel* connectionLabel = nullptr;
    QPushButton* reconnectButton = nullptr;
    QLabel* messageLabel = nullptr;  // last notice or refusal of a form

    // Ports.
    QListWidget* portList = nullptr;
    QLabel* portLabel = nullptr;
    QPushButton* portColorButton = nullptr;
    QPushButton* undoButton = nullptr;
    QPushButton* clearButton = nullptr;
    QColor portColors[kPortCount];
    bool portHasChain[kPortCount] = {};

    // Editing and view.
    QRadioButton* placeMode = nullptr;
    QRadioButton* switchMode = nullptr;
    QRadioButton* diskShape = nullptr;
    QRadioButton* squareShape = nullptr;
    QSpinBox* ledSize = nullptr;
    QPushButton* boundingFrame = nullptr;
    QPushButton* settingsColorButtons[kSettingsColorCount] = {};
    QColor settingsColors[kSettingsColorCount];

    // Files.
    QPushButton* saveProjectButton = nullptr;
    QPushButton* openProjectButton = nullptr;
    QPushButton* saveChainButton = nullptr;
    QPushButton* loadChainButton = nullptr;
    QPushButton* loadBackgroundButton = nullptr;
    QPushButton* removeBackgroundButton = nullptr;

    // Video.
    QLineEdit* videoPath = nullptr;
    QComboBox* colorOrder = nullptr;
    QSpinBox* brightness[3] = {};
    QSpinBox* blackLevel[3] = {};
    QComboBox* videoMode = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* pauseButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* saveFrameButton = nullptr;
    QCheckBox* resizeOn = nullptr;
    QSpinBox* resizeWidth = nullptr;
    QSpinBox* resizeHeight = nullptr;
    QComboBox* interpolation = nullptr;
    QPushButton* applyResizeButton = nullptr;
    QProgressBar* progress = nullptr;
    QLineEdit* rawPath = nullptr;
    QSpinBox* rawWidth = nullptr;
    QSpinBox* rawHeight = nullptr;
    QLineEdit* rawOutput = nullptr;
    QPushButton* convertRawButton = nullptr;

    // Saves sent whose outcome is not known yet, and the last one's path.
    int savesPending = 0;
    QString lastSavePath;

    // Quorvane's last reported window geometry (x, y, width, height).
    int quorvaneGeometry[4] = {};
    bool geometryKnown = false;

    // The Test page (test_tab.h).
    std::unique_ptr<TestTab> testTab;

    // Last, so it goes first: its children (socket, timers) refer to the above.
    std::unique_ptr<QWidget> window;
};

// Builds and shows nothing yet: the caller shows `window`. Connects to
// 127.0.0.1:`port`. Hooks left empty get the real dialogs.
std::unique_ptr<ControlWindow> CreateControlWindow(uint16_t port, const ControlHooks& hooks);

// Where the control window (frame size `ours`) goes beside Quorvane's window
// `quorvane`: to its right, or to its left when the right has no room, kept
// inside `available`.
QPoint PlaceBeside(const QRect& quorvane, const QSize& ours, const QRect& available);

// Handles one status message from Quorvane.
void ApplyStatusMessage(ControlWindow& control, const StatusMessage& message);

// Sends one encoded command; an empty packet shows `refusal` in the form.
// False when nothing was sent.
bool SendFromForm(ControlWindow& control, const Packet& packet, const QString& refusal = QString());

// Sends a command that makes Quorvane write the file `path` (a project, a
// chain, a video) and reports the outcome once Quorvane has finished it: to
// learn when, a code-0 packet follows the command, and its answer can only
// come after the command has run (Quorvane runs one packet at a time). Then
// `saved` is shown when `path` is there and was written after the command,
// else `notSaved` as an error. False when nothing was sent (`refusal` shown).
bool SendSaveCommand(ControlWindow& control, const Packet& packet, const QString& path,
                     const QString& saved, const QString& notSaved,
                     const QString& refusal = QString());

// Shows a notice (or with `error`, a refusal) in the window's message line.
void ShowNotice(ControlWindow& control, const QString& text, bool error = false);

// The colour of the selected port changes to `color`: command 165 and the
// swatch. Used by the colour picker and the self-test script.
void SetSelectedPortColor(ControlWindow& control, const QColor& color);

// Every port back to black without a chain mark, as Quorvane's ports are
// after opening a file.
void ForgetAllChains(ControlWindow& control);

// Last folder used for one kind of file, and remembering a chosen file's folder.
QString LastFolder(ControlWindow& control, const char* kind);
void RememberFolder(ControlWindow& control, const char* kind, const QString& path);

// Local 8-bit bytes of a path as Quorvane reads them.
std::string PathBytes(const QString& path);
