// The Files page's layout forms: "Import layout..." (a point list, custom
// model or LED map with its few options and where it goes) and "Generate
// matrix..." (the matrix options). Each runs quorvane-layout into the
// project the user chose and, when the tool succeeded, opens the project in
// Quorvane (177), whose port reports mark the loaded ports. The tool's
// errors are shown in the form in full; nothing is sent to Quorvane then.
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "forms.h"

namespace {

const char* const kTool = "quorvane-layout";
const char* const kLayoutFilter =
    "Layouts (*.csv *.xmodel *.json);;Point lists (*.csv);;Custom models (*.xmodel);;"
    "LED maps (*.json);;All files (*)";
const char* const kProjectFilter = "Quorvane project (*.quor)";

QSpinBox* Spin(int low, int high, int value) {
    auto* spin = new QSpinBox;
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
}

QComboBox* Choice(const QStringList& items) {
    auto* box = new QComboBox;
    box->addItems(items);
    return box;
}

// The point-list options only for a point list: chosen, or by the file's name.
void EnablePointListOptions(LayoutToolForm& form) {
    const int chosen = form.format->currentIndex();
    const bool csv =
        chosen == 1 || (chosen == 0 && form.source->text().endsWith(".csv", Qt::CaseInsensitive));
    form.port->setEnabled(csv);
    form.scale->setEnabled(csv);
    form.yUp->setEnabled(csv);
}

void ShowResult(LayoutToolForm& form, const QString& text, bool error) {
    form.result->setStyleSheet(error ? "color:#b00000" : "");
    form.result->setText(text);
}

void Run(ControlWindow& control, LayoutToolForm& form, bool matrix) {
    QString error;
    const QStringList arguments = LayoutToolArguments(form, matrix, &error);
    if (arguments.isEmpty()) {
        ShowResult(form, error, true);
        return;
    }
    form.runProject = QFileInfo(form.project->text()).absoluteFilePath();
    ControlWindow* c = &control;
    LayoutToolForm* f = &form;
    form.run.onOutputLine = nullptr;
    form.run.onErrorLine = nullptr;
    form.run.onFinished = [c, f](bool ok, int) {
        f->runButton->setEnabled(true);
        if (!ok) {
            ShowResult(*f, f->run.errorText.trimmed(), true);
            return;
        }
        ShowResult(*f, f->run.outputText.trimmed(), false);
        if (!SendFromForm(*c, EncodeOpenFile(PathBytes(f->runProject)), kPathTooLongText)) return;
        // Opening empties every port; the ports it fills come back as reports.
        ForgetAllChains(*c);
        ShowNotice(*c, "Opening " + f->runProject);
    };
    if (!StartTool(form.run, form.dialog, ToolFolder(control.hooks.toolFolder), kTool, arguments,
                   &error)) {
        ShowResult(form, error, true);
        return;
    }
    form.runButton->setEnabled(false);
    ShowResult(form, QString("Running %1 ...").arg(kTool), false);
}

// The dialog frame shared by both forms: the given rows, then where the
// result goes, how it fills the ports, the run button and the result line.
void BuildForm(ControlWindow& control, LayoutToolForm& form, const QString& title,
               const QString& runText, QFormLayout* fields, bool matrix) {
    form.dialog = new QWidget(control.window.get(), Qt::Window);
    form.dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(form.dialog);
    layout->addLayout(fields);
    form.origin = new QLineEdit;
    form.origin->setPlaceholderText(matrix ? "0,0" : "0,0 (y up: 0,2047)");
    form.origin->setToolTip("The cell of the top-left LED (a point list: of its 0,0)");
    fields->addRow("Origin (X,Y)", form.origin);
    form.pitch = Spin(1, 2048, 1);
    form.pitch->setToolTip("Cells from one LED to the next");
    fields->addRow("Pitch", form.pitch);
    form.ledsPerPort = Spin(1, 2048, 2048);
    form.ledsPerPort->setToolTip("The chain goes on at the next free port when a port is full");
    fields->addRow("LEDs per port", form.ledsPerPort);
    form.firstPort = Spin(1, 256, 1);
    fields->addRow("First port", form.firstPort);
    form.project = new QLineEdit;
    fields->addRow("Project", PathRow(control, form.project, true, "project", "Project to write",
                                      kProjectFilter, ".quor"));
    form.into = new QCheckBox("Add to this project's free ports");
    fields->addRow("", form.into);
    form.runButton = new QPushButton(runText);
    layout->addWidget(form.runButton);
    form.result = new QLabel;
    form.result->setWordWrap(true);
    form.result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(form.result);
    ControlWindow* c = &control;
    LayoutToolForm* f = &form;
    QObject::connect(form.runButton, &QPushButton::clicked, form.dialog,
                     [c, f, matrix] { Run(*c, *f, matrix); });
}

}  // namespace

QStringList LayoutToolArguments(const LayoutToolForm& form, bool matrix, QString* error) {
    QStringList arguments;
    if (matrix) {
        arguments << "matrix" << QString("%1x%2").arg(form.width->value()).arg(form.height->value())
                  << "--wiring" << form.wiring->currentText() << "--start"
                  << form.start->currentText() << "--direction" << form.direction->currentText();
    } else {
        if (form.source->text().isEmpty()) {
            *error = "Choose the layout file first.";
            return {};
        }
        arguments << "import" << QFileInfo(form.source->text()).absoluteFilePath();
        if (form.format->currentIndex() > 0) arguments << "--format" << form.format->currentText();
        if (form.port->isEnabled() && form.port->value() > 0)
            arguments << "--port" << QString::number(form.port->value());
        const QString scale = form.scale->text().trimmed();
        if (form.scale->isEnabled() && !scale.isEmpty() && scale != "1")
            arguments << "--scale" << scale;
        if (form.yUp->isEnabled() && form.yUp->isChecked()) arguments << "--y-up";
    }
    if (!form.origin->text().trimmed().isEmpty())
        arguments << "--origin" << form.origin->text().trimmed();
    arguments << "--pitch" << QString::number(form.pitch->value()) << "--leds-per-port"
              << QString::number(form.ledsPerPort->value()) << "--first-port"
              << QString::number(form.firstPort->value());
    if (form.project->text().isEmpty()) {
        *error = "Choose the project to write first.";
        return {};
    }
    const QString project = QFileInfo(form.project->text()).absoluteFilePath();
    // The save dialog has asked about replacing an existing project already.
    if (form.into->isChecked())
        arguments << "--into" << project;
    else
        arguments << "-o" << project << "--force";
    return arguments;
}

void ShowImportLayoutForm(ControlWindow& control) {
    LayoutToolForm& form = control.importForm;
    if (form.dialog == nullptr) {
        auto* fields = new QFormLayout;
        form.source = new QLineEdit;
        fields->addRow("Layout file", PathRow(control, form.source, false, "layout",
                                              "Layout to import", kLayoutFilter));
        form.format = Choice({"by the file's name", "csv", "xmodel", "ledmap"});
        fields->addRow("Format", form.format);
        form.port = Spin(0, 256, 0);
        form.port->setSpecialValueText("from the file");
        form.port->setToolTip("Point lists without a port column: the port of every point");
        fields->addRow("Port (point lists)", form.port);
        form.scale = new QLineEdit("1");
        form.scale->setToolTip("Point lists: cells per unit of the file (0.1: mm to 10 mm cells)");
        fields->addRow("Scale (point lists)", form.scale);
        form.yUp = new QCheckBox("y grows upwards");
        fields->addRow("Point lists", form.yUp);
        BuildForm(control, form, "Import layout", "Import", fields, false);
        LayoutToolForm* f = &form;
        auto update = [f] { EnablePointListOptions(*f); };
        QObject::connect(form.format, qOverload<int>(&QComboBox::currentIndexChanged), form.dialog,
                         update);
        QObject::connect(form.source, &QLineEdit::textChanged, form.dialog, update);
        update();
    }
    form.dialog->show();
    form.dialog->raise();
}

void ShowGenerateMatrixForm(ControlWindow& control) {
    LayoutToolForm& form = control.matrixForm;
    if (form.dialog == nullptr) {
        auto* fields = new QFormLayout;
        form.width = Spin(1, 2048, 64);
        fields->addRow("Width (LEDs)", form.width);
        form.height = Spin(1, 2048, 32);
        fields->addRow("Height (LEDs)", form.height);
        form.wiring = Choice({"zigzag", "progressive"});
        fields->addRow("Wiring", form.wiring);
        form.start = Choice({"top-left", "top-right", "bottom-left", "bottom-right"});
        fields->addRow("First LED", form.start);
        form.direction = Choice({"horizontal", "vertical"});
        fields->addRow("Lines", form.direction);
        BuildForm(control, form, "Generate matrix", "Generate", fields, true);
    }
    form.dialog->show();
    form.dialog->raise();
}
