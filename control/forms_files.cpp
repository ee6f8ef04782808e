// The Files page: save and open a project (176, 177), save and load the
// selected port's chain (161, 162), background bitmap on and off (179, 180),
// and the forms that bring a layout in with quorvane-layout (forms_layout.cpp).
// Every file goes through a dialog that starts in the folder used last for
// that kind of file. A save is reported only once the file is there.
#include <QFileInfo>
#include <QGroupBox>
#include <QVBoxLayout>

#include "forms.h"

namespace {

const char* const kProjectFilter = "Quorvane project (*.quor)";
const char* const kOpenFilter =
    "Projects and import lists (*.quor *.iqp);;Quorvane project (*.quor);;Import list (*.iqp);;"
    "All files (*)";
const char* const kChainFilter = "Chain file (*.line);;All files (*)";
const char* const kBitmapFilter = "Bitmap (*.bmp);;All files (*)";

// Adds `extension` when the chosen name has none.
QString WithExtension(const QString& path, const char* extension) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + "." + extension;
}

// Asks for a file of `kind`; empty when cancelled. Remembers its folder.
QString AskFile(ControlWindow& control, bool save, const char* kind, const QString& title,
                const char* filter) {
    QString folder = LastFolder(control, kind);
    QString path = save ? control.hooks.saveFile(title, folder, filter)
                        : control.hooks.openFile(title, folder, filter);
    if (!path.isEmpty()) RememberFolder(control, kind, path);
    return path;
}

void SendPathCommand(ControlWindow& control, const Packet& packet, const QString& notice) {
    if (SendFromForm(control, packet, kPathTooLongText)) ShowNotice(control, notice);
}

QPushButton* AddButton(QVBoxLayout* layout, const char* text, const char* tip) {
    auto* button = new QPushButton(text);
    button->setToolTip(tip);
    layout->addWidget(button);
    return button;
}

}  // namespace

QWidget* BuildFilesPage(ControlWindow& control) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* projectBox = new QGroupBox("Project");
    auto* projectLayout = new QVBoxLayout(projectBox);
    control.saveProjectButton =
        AddButton(projectLayout, "Save project...", "Saves all ports and the view (.quor)");
    control.openProjectButton = AddButton(projectLayout, "Open project or import list...",
                                          "Opens a .quor project or an .iqp import list");
    layout->addWidget(projectBox);

    auto* chainBox = new QGroupBox("Chain of the selected port");
    auto* chainLayout = new QVBoxLayout(chainBox);
    control.saveChainButton =
        AddButton(chainLayout, "Save chain...", "Writes the selected port's chain to a .line file");
    control.loadChainButton =
        AddButton(chainLayout, "Load chain...", "Loads a .line file into the selected port");
    layout->addWidget(chainBox);

    auto* backgroundBox = new QGroupBox("Background bitmap");
    auto* backgroundLayout = new QVBoxLayout(backgroundBox);
    control.loadBackgroundButton = AddButton(backgroundLayout, "Show a bitmap...",
                                             "Shows a picture under the layout (stops a video)");
    control.removeBackgroundButton =
        AddButton(backgroundLayout, "Remove the bitmap", "Removes the background picture");
    layout->addWidget(backgroundBox);

    auto* layoutBox = new QGroupBox("Layouts from other tools");
    auto* layoutLayout = new QVBoxLayout(layoutBox);
    control.importLayoutButton =
        AddButton(layoutLayout, "Import layout...",
                  "A point list (.csv), custom model (.xmodel) or LED map (.json) into a project, "
                  "then opened");
    control.generateMatrixButton = AddButton(layoutLayout, "Generate matrix...",
                                             "A wired matrix of LEDs into a project, then opened");
    layout->addWidget(layoutBox);
    layout->addStretch(1);

    ControlWindow* c = &control;
    QObject::connect(control.saveProjectButton, &QPushButton::clicked, page, [c] {
        QString path =
            WithExtension(AskFile(*c, true, "project", "Save project", kProjectFilter), "quor");
        if (!path.isEmpty())
            SendSaveCommand(*c, EncodeSaveProject(PathBytes(path)), path,
                            "Project saved as " + path,
                            "Quorvane did not save the project as " + path, kPathTooLongText);
    });
    QObject::connect(control.openProjectButton, &QPushButton::clicked, page, [c] {
        QString path = AskFile(*c, false, "project", "Open project or import list", kOpenFilter);
        if (path.isEmpty()) return;
        if (!SendFromForm(*c, EncodeOpenFile(PathBytes(path)), kPathTooLongText)) return;
        // Opening empties every port of Quorvane's layout (chains and colours);
        // the ports it fills come back as PortLoadedMessages.
        ForgetAllChains(*c);
        ShowNotice(*c, "Opening " + path);
    });
    QObject::connect(control.saveChainButton, &QPushButton::clicked, page, [c] {
        int row = c->portList->currentRow();
        if (row < 0) return;
        QString title = QString("Save the chain of port %1").arg(row + 1);
        QString path = WithExtension(AskFile(*c, true, "chain", title, kChainFilter), "line");
        if (!path.isEmpty())
            SendSaveCommand(
                *c, EncodeSaveChainFile(row + 1, PathBytes(path)), path,
                QString("Chain of port %1 saved as %2").arg(row + 1).arg(path),
                QString("Quorvane did not save the chain of port %1 as %2").arg(row + 1).arg(path),
                kPathTooLongText);
    });
    QObject::connect(control.loadChainButton, &QPushButton::clicked, page, [c] {
        int row = c->portList->currentRow();
        if (row < 0) return;
        QString title = QString("Load a chain into port %1").arg(row + 1);
        QString path = AskFile(*c, false, "chain", title, kChainFilter);
        // The chain goes into Quorvane's current port, which follows the selection.
        if (!path.isEmpty())
            SendPathCommand(*c, EncodeLoadChainFile(PathBytes(path)),
                            QString("Loading %1 into port %2").arg(path).arg(row + 1));
    });
    QObject::connect(control.loadBackgroundButton, &QPushButton::clicked, page, [c] {
        QString path = AskFile(*c, false, "background", "Background bitmap", kBitmapFilter);
        if (!path.isEmpty())
            SendPathCommand(*c, EncodeLoadBackgroundImage(PathBytes(path)), "Background: " + path);
    });
    QObject::connect(control.importLayoutButton, &QPushButton::clicked, page,
                     [c] { ShowImportLayoutForm(*c); });
    QObject::connect(control.generateMatrixButton, &QPushButton::clicked, page,
                     [c] { ShowGenerateMatrixForm(*c); });
    QObject::connect(control.removeBackgroundButton, &QPushButton::clicked, page,
                     [c] { SendFromForm(*c, EncodeBare(CommandCode::RemoveBackgroundImage)); });
    return page;
}
