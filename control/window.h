// The control window: one record that holds the forms' widgets, the
// connection and what the forms know about Quorvane (port colours, which
// ports hold a chain). The forms send commands through the connection and
// the status messages update the record. Tests reach the widgets through the
// record's fields and replace the dialogs through ControlHooks.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QJsonObject>
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
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "encoder.h"
#include "link.h"
#include "tool_runner.h"

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

// A form of the Files page that runs quorvane-layout into a project and then
// opens the project in Quorvane (177): "Import layout..." or "Generate
// matrix...". The widgets live in `dialog`, built on first use; a field that
// the form does not have stays null.
struct LayoutToolForm {
    QWidget* dialog = nullptr;
    QLineEdit* source = nullptr;  // import: the layout file
    QComboBox* format = nullptr;  // import: by name, csv, xmodel, ledmap
    QSpinBox* port = nullptr;     // import: csv without a port column (0: from the file)
    QLineEdit* scale = nullptr;   // import: csv cells per unit
    QCheckBox* yUp = nullptr;     // import: csv y upwards
    QSpinBox* width = nullptr;    // matrix
    QSpinBox* height = nullptr;   // matrix
    QComboBox* wiring = nullptr;  // matrix
    QComboBox* start = nullptr;   // matrix
    QComboBox* direction = nullptr;
    QLineEdit* origin = nullptr;  // "X,Y"; empty: the tool's default
    QSpinBox* pitch = nullptr;
    QSpinBox* ledsPerPort = nullptr;
    QSpinBox* firstPort = nullptr;
    QLineEdit* project = nullptr;  // the .quor project written or added to
    QCheckBox* into = nullptr;     // add to the project's free ports
    QPushButton* runButton = nullptr;
    QLabel* result = nullptr;  // the tool's errors in full, or what it did
    ToolRun run;
    QString runProject;  // the project of the run going on
};

// The four colours of Quorvane's settings, in the order of commands 166-169.
constexpr int kSettingsColorCount = 4;

// The window's layout saved as a project for a command-line tool, in a
// temporary folder of the control program's own; the folder and all in it
// are removed with the record.
struct ToolLayout {
    QTemporaryDir folder{QDir::temp().filePath("quorvane-layout-XXXXXX")};
    QString project;  // the .quor file in `folder`
};

// The colour options of a tool form: the tools' --order, --brightness,
// --black, --gamma, --white, --resize and --sample, and their power options
// --power-report, --ma-per-channel, --volts and --limit-amps.
struct ToolColorFields {
    QComboBox* order = nullptr;
    QSpinBox* brightness[3] = {};
    QSpinBox* blackLevel[3] = {};
    QLineEdit* gamma = nullptr;  // empty: no gamma curve
    QLineEdit* white = nullptr;  // empty: no white point
    QCheckBox* resizeOn = nullptr;
    QSpinBox* resizeWidth = nullptr;
    QSpinBox* resizeHeight = nullptr;
    QComboBox* resizeMethod = nullptr;
    QComboBox* sample = nullptr;       // point or area
    QLineEdit* powerReport = nullptr;  // empty: no report
    QDoubleSpinBox* maPerChannel = nullptr;
    QDoubleSpinBox* volts = nullptr;
    QDoubleSpinBox* limitAmps = nullptr;  // 0: no limit
};

// A form that runs a tool on the window's layout: Quorvane saves the layout
// first, then the tool runs on it, then the layout is removed.
struct ToolForm {
    const char* tool = "";  // the program's file name
    ToolRun run;
    std::shared_ptr<ToolLayout> layout;  // while saving and while the tool runs
    bool savingLayout = false;           // waiting for Quorvane's save
    bool stopWhileSaving = false;        // Stop came before the tool started
    QDateTime startedAt;
    // The tool ended (`ok`: exit status 0), before the layout is removed.
    std::function<void(bool ok, int exitCode)> finished;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QLabel* status = nullptr;  // what the run does, its outcome or the tool's error
};

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
    QPushButton* importLayoutButton = nullptr;
    QPushButton* generateMatrixButton = nullptr;
    LayoutToolForm importForm;
    LayoutToolForm matrixForm;

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

    // Video: "Convert" through quorvane-convert.
    QLineEdit* convertVideo = nullptr;
    QComboBox* convertFormat = nullptr;  // controller files, FSEQ
    QComboBox* convertCompression = nullptr;
    QSpinBox* convertStepMs = nullptr;  // 0: from the video's frame rate
    QLineEdit* convertTarget = nullptr;
    ToolColorFields convertColors;
    QProgressBar* convertProgress = nullptr;
    QLabel* convertOutputs = nullptr;  // the files written, after a run
    ToolForm convertForm;

    // Live: quorvane-play.
    QLineEdit* outputsPath = nullptr;
    QTableWidget* outputsTable = nullptr;
    QJsonObject outputsRest;  // the file's keys besides "outputs" (source_name)
    bool outputsEdited = false;
    QPushButton* outputsOpenButton = nullptr;
    QPushButton* outputsSaveButton = nullptr;
    QPushButton* outputsAddButton = nullptr;
    QPushButton* outputsRemoveButton = nullptr;
    QLineEdit* liveVideo = nullptr;
    QDoubleSpinBox* liveFps = nullptr;  // 0: the video's rate
    QCheckBox* liveLoop = nullptr;
    ToolColorFields liveColors;
    QLabel* liveStats = nullptr;  // frames sent, dropped, rate
    ToolForm liveForm;

    // Layout saves for the tools that Quorvane has not answered yet; told
    // when the connection is lost, as their answers will not come.
    std::vector<std::shared_ptr<struct PendingLayoutSave>> layoutSaves;

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

// Asks Quorvane to save its layout into a new temporary folder for a tool:
// command 176, then the code-0 packet whose answer proves the save ran, and
// the file check of SendSaveCommand. `done` gets the saved layout, or null
// and the reason (Quorvane did not write it, the connection was lost).
// False with the reason in `error` when nothing was sent.
bool SaveLayoutForTool(ControlWindow& control,
                       std::function<void(std::shared_ptr<ToolLayout>, const QString& error)> done,
                       QString* error);

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
