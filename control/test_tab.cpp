// The Test page and its quorvane-play child process.
#include "test_tab.h"

#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

const char* const kPatterns[] = {"walk", "ports", "order", "chase", "level"};
const char* const kOrders[] = {"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"};
const char* const kLayoutFilter = "Layouts (*.quor *.iqp);;All files (*)";
const char* const kOutputsFilter = "Outputs (*.json);;All files (*)";

// The bytes a terminal sends for each step button.
const char* const kStepKeys[kTestStepButtons] = {"\x1b[B", "\x1b[D", " ", "\x1b[C", "\x1b[A", "p"};
const char* const kStepTitles[kTestStepButtons] = {"<< 10", "<",     "Pause",
                                                   ">",     "10 >>", "Next port"};

QHBoxLayout* PathRow(ControlWindow& control, QLineEdit* edit, const char* kind, const char* title,
                     const char* filter) {
    auto* row = new QHBoxLayout;
    auto* browse = new QPushButton("Browse...");
    row->addWidget(edit, 1);
    row->addWidget(browse);
    ControlWindow* c = &control;
    QObject::connect(browse, &QPushButton::clicked, edit, [c, edit, kind, title, filter] {
        QString path = c->hooks.openFile(title, LastFolder(*c, kind), filter);
        if (path.isEmpty()) return;
        RememberFolder(*c, kind, path);
        edit->setText(path);
    });
    return row;
}

void ShowRunning(TestTab* tab, bool running) {
    tab->startButton->setEnabled(!running);
    tab->stopButton->setEnabled(running);
    const bool walk = tab->pattern->currentText() == "walk";
    for (int k = 0; k < kTestStepButtons; ++k)
        tab->stepButtons[k]->setEnabled(running && (walk || k == kTestPause));
}

void Start(ControlWindow& control, TestTab* tab) {
    if (tab->layoutPath->text().isEmpty() || tab->outputsPath->text().isEmpty()) {
        ShowNotice(control, "Choose the layout and the OUTPUTS file first.", true);
        return;
    }
    tab->errors->clear();
    tab->current->clear();
    QString error;
    if (!StartTool(tab->run, tab->current, ToolFolder(control.hooks.toolFolder), "quorvane-play",
                   TestToolArguments(*tab), &error)) {
        tab->errors->setPlainText(error);
        ShowNotice(control, error, true);
        return;
    }
    ShowRunning(tab, true);
    ShowNotice(control, "Sending the " + tab->pattern->currentText() + " pattern.");
}

}  // namespace

QStringList TestToolArguments(const TestTab& tab) {
    QStringList arguments = {"--test", tab.pattern->currentText(), "--keys", "--order",
                             tab.order->currentText()};
    const QString pattern = tab.pattern->currentText();
    if (pattern == "walk" && tab.onePort->isChecked()) arguments << "--one-port";
    if (pattern == "walk" || pattern == "chase")
        arguments << "--step-ms" << QString::number(tab.stepMs->value());
    if (!tab.ports->text().trimmed().isEmpty())
        arguments << "--ports" << tab.ports->text().trimmed();
    arguments << tab.layoutPath->text() << tab.outputsPath->text();
    return arguments;
}

QWidget* BuildTestPage(ControlWindow& control, TestTab* tab) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    tab->layoutPath = new QLineEdit;
    tab->outputsPath = new QLineEdit;
    form->addRow("Layout",
                 PathRow(control, tab->layoutPath, "testLayout", "Layout to test", kLayoutFilter));
    form->addRow("OUTPUTS", PathRow(control, tab->outputsPath, "testOutputs",
                                    "OUTPUTS file of the controllers", kOutputsFilter));
    tab->pattern = new QComboBox;
    for (const char* name : kPatterns) tab->pattern->addItem(name);
    form->addRow("Pattern", tab->pattern);
    tab->onePort = new QCheckBox("One port at a time (walk)");
    form->addRow("", tab->onePort);
    tab->ports = new QLineEdit;
    tab->ports->setPlaceholderText("every port; or 1,3-5");
    form->addRow("Ports", tab->ports);
    tab->order = new QComboBox;
    for (const char* name : kOrders) tab->order->addItem(name);
    form->addRow("Colour order", tab->order);
    tab->stepMs = new QSpinBox;
    tab->stepMs->setRange(1, 3600000);
    tab->stepMs->setValue(500);
    tab->stepMs->setSuffix(" ms");
    form->addRow("Step (walk, chase)", tab->stepMs);
    layout->addLayout(form);

    auto* runRow = new QHBoxLayout;
    tab->startButton = new QPushButton("Start");
    tab->stopButton = new QPushButton("Stop");
    runRow->addWidget(tab->startButton);
    runRow->addWidget(tab->stopButton);
    layout->addLayout(runRow);
    auto* stepRow = new QHBoxLayout;
    for (int k = 0; k < kTestStepButtons; ++k) {
        tab->stepButtons[k] = new QPushButton(kStepTitles[k]);
        stepRow->addWidget(tab->stepButtons[k]);
    }
    layout->addLayout(stepRow);

    tab->current = new QLabel;
    QFont large = tab->current->font();
    large.setPointSize(large.pointSize() * 2);
    large.setBold(true);
    tab->current->setFont(large);
    tab->current->setWordWrap(true);
    tab->current->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(tab->current);
    tab->errors = new QPlainTextEdit;
    tab->errors->setReadOnly(true);
    tab->errors->setPlaceholderText("Errors of quorvane-play appear here in full.");
    layout->addWidget(tab->errors, 1);
    ShowRunning(tab, false);

    ControlWindow* c = &control;
    QObject::connect(tab->startButton, &QPushButton::clicked, page, [c, tab] { Start(*c, tab); });
    QObject::connect(tab->stopButton, &QPushButton::clicked, page, [tab] { StopTool(tab->run); });
    for (int k = 0; k < kTestStepButtons; ++k)
        QObject::connect(tab->stepButtons[k], &QPushButton::clicked, page, [tab, k] {
            if (ToolRunning(tab->run)) tab->run.process->write(kStepKeys[k]);
        });
    tab->run.onOutputLine = [tab](const QString& line) {
        // The summary at the end is not a step.
        if (!line.contains(" frames sent, ")) tab->current->setText(line);
    };
    tab->run.onFinished = [c, tab](bool ok, int code) {
        ShowRunning(tab, false);
        if (ok || tab->run.stopRequested) {
            ShowNotice(*c, "The test pattern ended.");
            return;
        }
        tab->errors->setPlainText(tab->run.errorText);
        ShowNotice(*c, QString("quorvane-play failed (exit status %1).").arg(code), true);
    };
    return page;
}

void EndTestPage(TestTab* tab) {
    if (ToolRunning(tab->run)) {
        StopTool(tab->run);
        WaitForTool(tab->run, 2000);
    }
    // The widgets go next: a tool still running is killed without telling them.
    if (tab->run.process) tab->run.process->disconnect();
}
