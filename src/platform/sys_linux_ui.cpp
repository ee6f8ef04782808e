// The interactive platform services on Linux, with Qt 5 Widgets: message
// boxes and the save-file dialog are real modal windows that a person
// answers, the screen size comes from the window system, and programs are
// started in the background. All of it runs on the GUI (main) thread.
//
// The process has one QApplication, made by Sys_Init before GLUT starts, so
// the video library's own Qt windows find it and reuse it. Qt's event loop
// only runs inside a dialog's exec(); the rest of the time GLUT drives.
#include <locale.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/sys.h"
#include "platform/sys_spawn.h"
#include "platform/windows1251.h"

namespace {

constexpr unsigned kButtonMask = 0x0000000Fu;
constexpr unsigned kIconMask = 0x000000F0u;

// QApplication keeps references to argc and argv for its whole life, and
// removes the options it understands from them. It gets its own copy so
// that GLUT, initialised next, still sees every process argument.
int g_qtArgc = 0;
std::vector<char*> g_qtArgv;
QApplication* g_application = nullptr;
QString g_lastSaveDirectory;  // where the save dialog opens next, this run

bool IsSet(const char* name) {
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether Qt can open its windows: an X or Wayland display, or a platform
// chosen by name that needs neither (e.g. offscreen). Without one Qt would
// abort the process.
bool HasWindowSystem() {
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return true;
    if (!IsSet("QT_QPA_PLATFORM")) return false;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return !platform.startsWith("xcb") && !platform.startsWith("wayland");
}

// The application, made on first use when Sys_Init did not make it; null
// when there is no window system to show anything on (Qt would abort).
QApplication* Application() {
    if (QApplication::instance() == nullptr) Sys_Init(nullptr, nullptr);
    if (g_application == nullptr) {
        g_application = qobject_cast<QApplication*>(QApplication::instance());
    }
    return g_application;
}

QString FromWindows1251(const char* text) {
    std::u16string decoded = DecodeWindows1251(text);
    return QString::fromUtf16(decoded.data(), int(decoded.size()));
}

QMessageBox::Icon IconOf(unsigned style) {
    switch (style & kIconMask) {
        case kMbIconError:
            return QMessageBox::Critical;
        case kMbIconQuestion:
            return QMessageBox::Question;
        case kMbIconWarning:
            return QMessageBox::Warning;
        case kMbIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// "Bin Files (*.led)". Windows separates patterns with ';', Qt with blanks.
QString FilterOf(const SysSaveDialog& dialog) {
    QString patterns = FromWindows1251(dialog.filterPattern);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return FromWindows1251(dialog.filterName) + QStringLiteral(" (") + patterns +
           QStringLiteral(")");
}

}  // namespace

void Sys_Init(int* argc, char** argv) {
    if (QApplication::instance() != nullptr || !HasWindowSystem()) return;
    g_qtArgv.clear();
    if (argc != nullptr && argv != nullptr) {
        for (int i = 0; i < *argc; ++i) g_qtArgv.push_back(argv[i]);
    }
    static char fallbackName[] = "quorvane";
    if (g_qtArgv.empty()) g_qtArgv.push_back(fallbackName);
    g_qtArgc = int(g_qtArgv.size());
    g_qtArgv.push_back(nullptr);
    g_application = new QApplication(g_qtArgc, g_qtArgv.data());
    // Closing the video preview must never end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt switches the C library to the user's locale; numbers written with
    // printf and read with atof must keep the C notation.
    setlocale(LC_NUMERIC, "C");
}

int Sys_MessageBox(const char* text, const char* caption, unsigned style) {
    const bool yesNo = (style & kButtonMask) == kMbYesNo;
    if (Application() == nullptr) {
        // No window system: the message goes to the terminal, and a question
        // gets the answer that changes nothing.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return yesNo ? kIdNo : kIdOk;
    }

    QMessageBox box;
    box.setTextFormat(Qt::PlainText);  // a '<' in a file name is no markup
    box.setText(FromWindows1251(text));
    box.setWindowTitle(FromWindows1251(caption));
    box.setIcon(IconOf(style));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    if (yesNo) {
        yes = box.addButton(QMessageBox::Yes);
        no = box.addButton(QMessageBox::No);
        box.setDefaultButton(static_cast<QPushButton*>(yes));
        box.setEscapeButton(no);  // Escape and the close button answer No
    } else {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
    box.exec();
    if (!yesNo) return kIdOk;
    return box.clickedButton() == yes ? kIdYes : kIdNo;
}

// The dialog stays in Save mode (its title and button say Save). With
// mustExist the file mode is ExistingFile: the Save button stays disabled
// until the name (with the default extension) is that of an existing file,
// and taking it asks no overwrite question (the caller overwrites it on
// purpose, as the Windows dialog without an overwrite prompt does).
// Without mustExist any name is taken and an existing file is confirmed.
// Qt's own dialog is used rather than the desktop's, so these rules hold
// on every desktop. The working directory is never changed.
bool Sys_SaveFileDialog(const SysSaveDialog& dialog, char* path, size_t pathSize) {
    if (pathSize == 0) return false;
    path[0] = '\0';
    if (Application() == nullptr) return false;

    // It opens where the last one was left during this run, at first (or
    // when that directory is gone) in the current directory.
    const bool lastExists = !g_lastSaveDirectory.isEmpty() && QDir(g_lastSaveDirectory).exists();
    QFileDialog chooser(nullptr, QString(), lastExists ? g_lastSaveDirectory : QDir::currentPath(),
                        FilterOf(dialog));
    chooser.setOption(QFileDialog::DontUseNativeDialog, true);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(dialog.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Qt adds it to a chosen name without extension (a dot in a directory
    // name does not count), before the existence check of mustExist.
    if (dialog.defaultExtension != nullptr) {
        chooser.setDefaultSuffix(QString::fromLocal8Bit(dialog.defaultExtension));
    }
    chooser.setWindowModality(Qt::ApplicationModal);
    chooser.setWindowFlags(chooser.windowFlags() | Qt::WindowStaysOnTopHint);
    if (chooser.exec() != QDialog::Accepted) return false;
    const QStringList chosen = chooser.selectedFiles();
    if (chosen.isEmpty()) return false;
    g_lastSaveDirectory = QFileInfo(chosen.first()).absolutePath();

    const QByteArray bytes = QFile::encodeName(chosen.first());
    if (size_t(bytes.size()) >= pathSize) return false;
    std::memcpy(path, bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}

bool Sys_StartProgram(const char* path) {
    return SpawnDetached(path);
}

void Sys_ScreenSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    if (Application() == nullptr) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // In device pixels, the unit of GLUT's window geometry.
    const QSize size = screen->geometry().size() * screen->devicePixelRatio();
    *width = size.width();
    *height = size.height();
}

// Linux has no console window of the process's own: the output goes to the
// terminal or log the program was started from, which stays as it is.
void Sys_HideConsole() {}
