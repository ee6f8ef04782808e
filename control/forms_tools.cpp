// What the forms that run a command-line tool share: a path row with its
// Browse button, the colour options and their arguments, and the run itself:
// the tool looked up first (a missing one is named in the form), the layout
// saved by Quorvane into a temporary folder, the tool started on it, Stop,
// and the temporary layout removed when the run ends.
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRegularExpression>

#include "forms.h"

namespace {

const char* const kChannelNames[3] = {"Red", "Green", "Blue"};
const char* const kResizeMethods[5] = {"nearest", "linear", "cubic", "area", "lanczos"};
const char* const kReportFilter = "CSV files (*.csv);;All files (*)";

// The tools' defaults for the power options.
constexpr double kDefaultMaPerChannel = 20;
constexpr double kDefaultVolts = 5;

void SetBusy(ToolForm& form, bool busy) {
    form.start->setEnabled(!busy);
    form.stop->setEnabled(busy);
}

// The layout is gone once the tool is done with it.
void EndToolForm(ToolForm& form) {
    form.layout.reset();
    form.savingLayout = false;
    form.stopWhileSaving = false;
    SetBusy(form, false);
}

void LayoutSaved(ControlWindow& control, ToolForm& form, std::shared_ptr<ToolLayout> layout,
                 const QString& error,
                 const std::function<QStringList(const QString&)>& arguments) {
    form.savingLayout = false;
    if (form.stopWhileSaving) {
        EndToolForm(form);
        ShowFormStatus(form, "Stopped before " + QString(form.tool) + " started.");
        return;
    }
    if (!layout) {
        EndToolForm(form);
        ShowFormStatus(form, error, true);
        return;
    }
    form.layout = std::move(layout);
    ToolForm* f = &form;
    form.run.onFinished = [f](bool ok, int exitCode) {
        // Everything the tool printed is in; the form shows the outcome with
        // the layout still there, then lets it go.
        if (f->finished) f->finished(ok, exitCode);
        EndToolForm(*f);
    };
    QString startError;
    form.startedAt = QDateTime::currentDateTime();
    if (!StartTool(form.run, control.window.get(), ToolFolder(control.hooks.toolFolder), form.tool,
                   arguments(form.layout->project), &startError)) {
        EndToolForm(form);
        ShowFormStatus(form, startError, true);
        return;
    }
    ShowFormStatus(form, QString(form.tool) + " is running.");
}

// Stops the tool as Ctrl+C does, or, while Quorvane still saves the layout,
// keeps the tool from starting.
void StopToolForm(ToolForm& form) {
    if (form.savingLayout) {
        form.stopWhileSaving = true;
        return;
    }
    StopTool(form.run);
}

}  // namespace

QHBoxLayout* PathRow(ControlWindow& control, QLineEdit* edit, bool save, const char* kind,
                     const char* title, const char* filter, const char* saveSuffix) {
    auto* row = new QHBoxLayout;
    auto* browse = new QPushButton("Browse...");
    row->addWidget(edit, 1);
    row->addWidget(browse);
    ControlWindow* c = &control;
    QObject::connect(browse, &QPushButton::clicked, edit,
                     [c, edit, save, kind, title, filter, saveSuffix] {
                         QString folder = LastFolder(*c, kind);
                         QString path = save ? c->hooks.saveFile(title, folder, filter)
                                             : c->hooks.openFile(title, folder, filter);
                         if (path.isEmpty()) return;
                         RememberFolder(*c, kind, path);
                         if (save && saveSuffix != nullptr && QFileInfo(path).suffix().isEmpty())
                             path += saveSuffix;
                         edit->setText(path);
                     });
    return row;
}

void AddColorRows(ControlWindow& control, QFormLayout* form, ToolColorFields& fields) {
    fields.order = new QComboBox;
    fields.order->addItems({"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"});
    form->addRow("Colour order:", fields.order);

    auto* channels = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        channels->addWidget(new QLabel(kChannelNames[i]), 0, i + 1);
        fields.brightness[i] = new QSpinBox;
        fields.brightness[i]->setRange(0, 255);
        fields.brightness[i]->setValue(100);
        fields.brightness[i]->setSuffix(" %");
        fields.blackLevel[i] = new QSpinBox;
        fields.blackLevel[i]->setRange(0, 255);
        channels->addWidget(fields.brightness[i], 1, i + 1);
        channels->addWidget(fields.blackLevel[i], 2, i + 1);
    }
    channels->addWidget(new QLabel("Brightness"), 1, 0);
    channels->addWidget(new QLabel("Black level"), 2, 0);
    form->addRow(channels);

    fields.gamma = new QLineEdit;
    fields.gamma->setPlaceholderText("none; G or R,G,B, e.g. 2.2");
    form->addRow("Gamma:", fields.gamma);
    fields.white = new QLineEdit;
    fields.white->setPlaceholderText("none; R,G,B in percent, e.g. 100,90,80");
    form->addRow("White point:", fields.white);

    auto* resize = new QHBoxLayout;
    fields.resizeOn = new QCheckBox("Resize frames to");
    fields.resizeWidth = new QSpinBox;
    fields.resizeHeight = new QSpinBox;
    for (QSpinBox* spin : {fields.resizeWidth, fields.resizeHeight}) spin->setRange(1, 2048);
    fields.resizeWidth->setValue(640);
    fields.resizeHeight->setValue(480);
    fields.resizeMethod = new QComboBox;
    fields.resizeMethod->addItems({"Nearest", "Bilinear", "Bicubic", "Pixel area", "Lanczos"});
    fields.resizeMethod->setCurrentIndex(1);
    resize->addWidget(fields.resizeOn);
    resize->addWidget(fields.resizeWidth);
    resize->addWidget(new QLabel("x"));
    resize->addWidget(fields.resizeHeight);
    resize->addWidget(fields.resizeMethod);
    form->addRow(resize);

    fields.sample = new QComboBox;
    fields.sample->addItems(
        {"Point: the pixel under each LED", "Area: the mean of a square around each LED"});
    form->addRow("Sampling:", fields.sample);

    fields.powerReport = new QLineEdit;
    fields.powerReport->setPlaceholderText("none; the current per port as CSV");
    form->addRow("Power report:", PathRow(control, fields.powerReport, true, "power-report",
                                          "Power report", kReportFilter, ".csv"));
    auto* power = new QHBoxLayout;
    fields.maPerChannel = new QDoubleSpinBox;
    fields.maPerChannel->setRange(0.001, 10000);
    fields.maPerChannel->setDecimals(3);
    fields.maPerChannel->setValue(kDefaultMaPerChannel);
    fields.maPerChannel->setSuffix(" mA per channel");
    fields.volts = new QDoubleSpinBox;
    fields.volts->setRange(0.001, 10000);
    fields.volts->setDecimals(3);
    fields.volts->setValue(kDefaultVolts);
    fields.volts->setSuffix(" V");
    fields.limitAmps = new QDoubleSpinBox;
    fields.limitAmps->setRange(0, 1e6);
    fields.limitAmps->setDecimals(3);
    fields.limitAmps->setSuffix(" A per port");
    fields.limitAmps->setSpecialValueText("no limit");
    fields.limitAmps->setToolTip("A port's frame that would draw more is dimmed to this.");
    power->addWidget(fields.maPerChannel);
    power->addWidget(fields.volts);
    power->addWidget(new QLabel("Limit"));
    power->addWidget(fields.limitAmps);
    power->addStretch(1);
    form->addRow("Power:", power);
}

QStringList ColorArguments(const ToolColorFields& fields) {
    auto triple = [](QSpinBox* const spins[3]) {
        return QString("%1,%2,%3")
            .arg(spins[0]->value())
            .arg(spins[1]->value())
            .arg(spins[2]->value());
    };
    QStringList arguments = {"--order",      fields.order->currentText(),
                             "--brightness", triple(fields.brightness),
                             "--black",      triple(fields.blackLevel)};
    // The tools check the texts; a malformed one comes back as their refusal.
    if (!fields.gamma->text().trimmed().isEmpty())
        arguments << "--gamma" << fields.gamma->text().trimmed();
    if (!fields.white->text().trimmed().isEmpty())
        arguments << "--white" << fields.white->text().trimmed();
    if (fields.resizeOn->isChecked())
        arguments << "--resize"
                  << QString("%1x%2:%3")
                         .arg(fields.resizeWidth->value())
                         .arg(fields.resizeHeight->value())
                         .arg(kResizeMethods[qBound(0, fields.resizeMethod->currentIndex(), 4)]);
    if (fields.sample->currentIndex() == 1)
        arguments << "--sample"
                  << "area";
    if (!fields.powerReport->text().trimmed().isEmpty())
        arguments << "--power-report" << fields.powerReport->text().trimmed();
    if (fields.maPerChannel->value() != kDefaultMaPerChannel)
        arguments << "--ma-per-channel" << QString::number(fields.maPerChannel->value());
    if (fields.volts->value() != kDefaultVolts)
        arguments << "--volts" << QString::number(fields.volts->value());
    if (fields.limitAmps->value() > 0)
        arguments << "--limit-amps" << QString::number(fields.limitAmps->value());
    return arguments;
}

void InitToolForm(ControlWindow& control, ToolForm& form, const char* tool) {
    form.tool = tool;
    form.start = new QPushButton("Start");
    form.stop = new QPushButton("Stop");
    form.stop->setEnabled(false);
    form.status = new QLabel;
    form.status->setWordWrap(true);
    form.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString folder = ToolFolder(control.hooks.toolFolder);
    if (FindTool(folder, tool).isEmpty())
        ShowFormStatus(form,
                       QString(tool) + " was not found in " + QDir::toNativeSeparators(folder) +
                           "; it is installed beside the control program.",
                       true);
    ToolForm* f = &form;
    QObject::connect(form.stop, &QPushButton::clicked, form.stop, [f] { StopToolForm(*f); });
}

void ShowFormStatus(ToolForm& form, const QString& text, bool error) {
    form.status->setStyleSheet(error ? "color:#b00000; font-weight:bold" : "");
    form.status->setText(text);
}

bool StartToolForm(ControlWindow& control, ToolForm& form,
                   std::function<QStringList(const QString& project)> arguments) {
    if (form.savingLayout || ToolRunning(form.run)) return false;
    QString folder = ToolFolder(control.hooks.toolFolder);
    if (FindTool(folder, form.tool).isEmpty()) {
        ShowFormStatus(form,
                       QString(form.tool) + " was not found in " +
                           QDir::toNativeSeparators(folder) +
                           "; it is installed beside the control program.",
                       true);
        return false;
    }
    ControlWindow* c = &control;
    ToolForm* f = &form;
    QString error;
    bool sent = SaveLayoutForTool(
        control,
        [c, f, arguments](std::shared_ptr<ToolLayout> layout, const QString& reason) {
            LayoutSaved(*c, *f, std::move(layout), reason, arguments);
        },
        &error);
    if (!sent) {
        ShowFormStatus(form, error, true);
        return false;
    }
    form.savingLayout = true;
    form.stopWhileSaving = false;
    SetBusy(form, true);
    ShowFormStatus(form, "Quorvane saves its layout for " + QString(form.tool) + " ...");
    return true;
}

QString ToolErrorLines(const ToolForm& form) {
    // The plain progress lines share standard error with the errors.
    const QRegularExpression progress("^" + QRegularExpression::escape(form.tool) + ": \\d+% \\(");
    QStringList lines;
    for (const QString& line : form.run.errorText.split('\n', Qt::SkipEmptyParts))
        if (!progress.match(line).hasMatch()) lines << line;
    return lines.join('\n');
}
