// The Live page: the window's layout played onto the installation by
// quorvane-play. The OUTPUTS file is chosen, or edited as a table of
// outputs (protocol, address, ports, universe, priority, sync) and saved as
// the JSON the tool reads; keys the table has no column for (udp_port,
// pixels_per_universe, source_name) are kept as the file had them. The form
// checks nothing in it: the tool does, before it sends, and its refusal is
// shown whole. While it plays, the tool's once-a-second line gives the
// frames sent and dropped and the rate; its last line adds the show's power
// when a report or a limit had it measured.
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "forms.h"

namespace {

const char kPlayTool[] = "quorvane-play";
const char* const kVideoFilter = "Videos (*.avi *.mp4 *.mov *.mkv *.wmv *.mpg);;All files (*)";
const char* const kOutputsFilter = "Outputs (*.json);;All files (*)";

enum Column { kProtocol, kAddress, kPorts, kUniverse, kPriority, kSync, kColumnCount };
const char* const kColumnNames[kColumnCount] = {"Protocol", "Address",  "Ports",
                                                "Universe", "Priority", "Sync"};
// The keys the columns stand for; the rest of an entry is kept aside.
const char* const kTableKeys[] = {"protocol", "address",       "ports", "universe",
                                  "priority", "sync_universe", "sync"};

QComboBox* ProtocolCell(QTableWidget* table, int row) {
    return qobject_cast<QComboBox*>(table->cellWidget(row, kProtocol));
}

QString CellText(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// "1, 2, 5-8" as port numbers; an empty list when the text is not that.
QJsonArray ParsePorts(const QString& text) {
    QJsonArray ports;
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
        QStringList range = part.trimmed().split('-');
        bool firstOk = false, lastOk = false;
        int first = range[0].trimmed().toInt(&firstOk);
        int last = range.size() == 2 ? range[1].trimmed().toInt(&lastOk) : first;
        if (range.size() == 1) lastOk = firstOk;
        if (!firstOk || !lastOk || range.size() > 2 || last < first || last - first > 1000)
            return QJsonArray();
        for (int port = first; port <= last; ++port) ports.append(port);
    }
    return ports;
}

// Port numbers as the Ports column shows them, runs as "a-b".
QString PortsText(const QJsonArray& ports) {
    QStringList parts;
    for (int i = 0; i < ports.size();) {
        if (!ports[i].isDouble()) {
            parts << QString::fromUtf8(
                         QJsonDocument(QJsonArray{ports[i]}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1);
            ++i;
            continue;
        }
        int first = ports[i].toInt(), j = i + 1;
        while (j < ports.size() && ports[j].isDouble() && ports[j].toInt() == first + (j - i)) ++j;
        int last = first + (j - i - 1);
        parts << (last > first + 1 ? QString("%1-%2").arg(first).arg(last)
                  : last > first   ? QString("%1, %2").arg(first).arg(last)
                                   : QString::number(first));
        i = j;
    }
    return parts.join(", ");
}

// A number when the cell holds one; otherwise its text, for the tool to refuse.
QJsonValue NumberOrText(const QString& text) {
    bool ok = false;
    qlonglong value = text.toLongLong(&ok);
    return ok ? QJsonValue(double(value)) : QJsonValue(text);
}

QJsonValue FlagOrText(const QString& text) {
    const QString lower = text.toLower();
    if (lower == "yes" || lower == "true" || lower == "on") return true;
    if (lower == "no" || lower == "false" || lower == "off") return false;
    return text;
}

QString ValueText(const QJsonValue& value) {
    if (value.isDouble()) return QString::number(value.toDouble(), 'g', 12);
    if (value.isBool()) return value.toBool() ? "yes" : "no";
    if (value.isString()) return value.toString();
    return QString();
}

void AddOutputRow(ControlWindow& c, const QJsonObject& entry) {
    QTableWidget* table = c.outputsTable;
    const int row = table->rowCount();
    table->insertRow(row);
    auto* protocol = new QComboBox;
    protocol->addItems({"sacn", "artnet", "ddp"});
    QString name = entry.value("protocol").toString("sacn");
    if (protocol->findText(name) < 0) protocol->addItem(name);
    protocol->setCurrentText(name);
    table->setCellWidget(row, kProtocol, protocol);
    ControlWindow* control = &c;
    QObject::connect(protocol, &QComboBox::currentTextChanged, table,
                     [control] { control->outputsEdited = true; });

    QJsonObject rest = entry;
    for (const char* key : kTableKeys) rest.remove(key);
    auto* address = new QTableWidgetItem(entry.value("address").toString());
    address->setData(Qt::UserRole, rest);
    table->setItem(row, kAddress, address);
    table->setItem(row, kPorts, new QTableWidgetItem(PortsText(entry.value("ports").toArray())));
    table->setItem(row, kUniverse, new QTableWidgetItem(ValueText(entry.value("universe"))));
    table->setItem(row, kPriority, new QTableWidgetItem(ValueText(entry.value("priority"))));
    QJsonValue sync =
        entry.contains("sync_universe") ? entry.value("sync_universe") : entry.value("sync");
    table->setItem(row, kSync, new QTableWidgetItem(ValueText(sync)));
}

QJsonObject OutputsDocument(ControlWindow& c) {
    QTableWidget* table = c.outputsTable;
    QJsonArray outputs;
    for (int row = 0; row < table->rowCount(); ++row) {
        QJsonObject entry;
        if (QTableWidgetItem* address = table->item(row, kAddress))
            entry = address->data(Qt::UserRole).toJsonObject();
        const QString protocol = ProtocolCell(table, row)->currentText();
        entry["protocol"] = protocol;
        entry["address"] = CellText(table, row, kAddress);
        const QString portsText = CellText(table, row, kPorts);
        QJsonArray ports = ParsePorts(portsText);
        entry["ports"] = ports.isEmpty() ? QJsonValue(portsText) : QJsonValue(ports);
        const QString universe = CellText(table, row, kUniverse);
        if (!universe.isEmpty()) entry["universe"] = NumberOrText(universe);
        const QString priority = CellText(table, row, kPriority);
        if (!priority.isEmpty()) entry["priority"] = NumberOrText(priority);
        const QString sync = CellText(table, row, kSync);
        if (!sync.isEmpty()) {
            if (protocol == "sacn")
                entry["sync_universe"] = NumberOrText(sync);
            else
                entry["sync"] = FlagOrText(sync);
        }
        outputs.append(entry);
    }
    QJsonObject document = c.outputsRest;
    document["outputs"] = outputs;
    return document;
}

bool WriteOutputs(ControlWindow& c, const QString& path, QString* error) {
    QFile file(path);
    QByteArray bytes = QJsonDocument(OutputsDocument(c)).toJson(QJsonDocument::Indented);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        *error = path + ": cannot write the outputs: " + file.errorString();
        return false;
    }
    file.close();
    c.outputsEdited = false;
    return true;
}

// Shows the file in the table. A file that is not a JSON object leaves the
// table empty and is still what Start hands to the tool.
void LoadOutputs(ControlWindow& c, const QString& path) {
    c.outputsTable->setRowCount(0);
    c.outputsRest = QJsonObject();
    c.outputsPath->setText(path);
    QFile file(path);
    QJsonParseError parse = {};
    QJsonDocument document;
    if (file.open(QIODevice::ReadOnly)) document = QJsonDocument::fromJson(file.readAll(), &parse);
    c.outputsEdited = false;
    if (!document.isObject()) {
        ShowFormStatus(c.liveForm,
                       path + ": not shown as a table (" +
                           (file.isOpen() ? parse.errorString() : file.errorString()) +
                           "); Start hands it to " + kPlayTool + " as it is.",
                       true);
        return;
    }
    QJsonObject object = document.object();
    for (const QJsonValue& entry : object.value("outputs").toArray())
        AddOutputRow(c, entry.toObject());
    object.remove("outputs");
    c.outputsRest = object;
    c.outputsEdited = false;
    ShowFormStatus(c.liveForm, "Outputs from " + path);
}

// "120 frames sent, 0 dropped, 1440 packets sent, 25.00 frames/s (target 25.00),
// pacing p99 0.12 ms", with "; power: ..." after it when the power is measured
// (a tool of before the pacing figure leaves it out).
bool ShowStatsLine(ControlWindow& c, const QString& line) {
    static const QRegularExpression pattern(
        "^(\\d+) frames sent, (\\d+) dropped, (\\d+) packets sent, ([0-9.]+) frames/s "
        "\\(target ([0-9.]+)\\)(?:, pacing p99 ([0-9.]+) ms)?(?:; power: (.*))?$");
    QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch()) return false;
    QString text =
        QString("Frames sent: %1    dropped: %2    rate: %3 frames/s (target %4)")
            .arg(match.captured(1), match.captured(2), match.captured(4), match.captured(5));
    if (!match.captured(6).isEmpty()) text += "    pacing p99: " + match.captured(6) + " ms";
    if (!match.captured(7).isEmpty()) text += "\npower: " + match.captured(7);
    c.liveStats->setText(text);
    return true;
}

void StartLive(ControlWindow& c) {
    QString video = c.liveVideo->text().trimmed();
    if (video.isEmpty()) {
        ShowFormStatus(c.liveForm, "Choose the video first.", true);
        return;
    }
    QString outputs = c.outputsPath->text().trimmed();
    const bool table = c.outputsTable->rowCount() > 0;
    if (outputs.isEmpty() && !table) {
        ShowFormStatus(c.liveForm, "Choose an outputs file or fill in the outputs first.", true);
        return;
    }
    if (table && (c.outputsEdited || outputs.isEmpty())) {
        if (outputs.isEmpty()) {
            outputs =
                c.hooks.saveFile("Save the outputs", LastFolder(c, "outputs"), kOutputsFilter);
            if (outputs.isEmpty()) return;
            RememberFolder(c, "outputs", outputs);
            c.outputsPath->setText(outputs);
        }
        QString error;
        if (!WriteOutputs(c, outputs, &error)) {
            ShowFormStatus(c.liveForm, error, true);
            return;
        }
    }
    QStringList options = {"--stats"};
    if (c.liveFps->value() > 0) options << "--fps" << QString::number(c.liveFps->value());
    if (c.liveLoop->isChecked()) options << "--loop";
    options << ColorArguments(c.liveColors);

    ControlWindow* control = &c;
    auto last = std::make_shared<QString>();
    c.liveForm.run.onErrorLine = nullptr;
    c.liveForm.run.onOutputLine = [control, last](const QString& line) {
        if (ShowStatsLine(*control, line)) *last = line;
    };
    c.liveForm.finished = [control, last](bool ok, int) {
        if (ok)
            ShowFormStatus(
                control->liveForm,
                (control->liveForm.run.stopRequested ? QString("Stopped: ") : QString("Played: ")) +
                    *last);
        else
            ShowFormStatus(control->liveForm, ToolErrorLines(control->liveForm), true);
    };
    c.liveStats->setText("Frames sent: 0");
    StartToolForm(c, c.liveForm, [options, video, outputs](const QString& project) {
        return QStringList(options) << "--" << project << video << outputs;
    });
}

QGroupBox* BuildOutputsBox(ControlWindow& control) {
    auto* box = new QGroupBox("Outputs");
    auto* layout = new QVBoxLayout(box);
    control.outputsPath = new QLineEdit;
    control.outputsPath->setPlaceholderText("the OUTPUTS file (JSON) that quorvane-play reads");
    auto* fileRow = new QHBoxLayout;
    control.outputsOpenButton = new QPushButton("Open...");
    control.outputsSaveButton = new QPushButton("Save as...");
    fileRow->addWidget(control.outputsPath, 1);
    fileRow->addWidget(control.outputsOpenButton);
    fileRow->addWidget(control.outputsSaveButton);
    layout->addLayout(fileRow);

    control.outputsTable = new QTableWidget(0, kColumnCount);
    for (int column = 0; column < kColumnCount; ++column)
        control.outputsTable->setHorizontalHeaderItem(column,
                                                      new QTableWidgetItem(kColumnNames[column]));
    control.outputsTable->horizontalHeader()->setSectionResizeMode(kPorts, QHeaderView::Stretch);
    control.outputsTable->setToolTip(
        "Address: numeric IPv4, or \"multicast\" for sACN. Ports: 1, 2, 5-8. Universe: the "
        "first one. Sync: sACN the sync universe, Art-Net yes or no. Empty cells take the "
        "tool's defaults.");
    layout->addWidget(control.outputsTable);
    auto* rowButtons = new QHBoxLayout;
    control.outputsAddButton = new QPushButton("Add output");
    control.outputsRemoveButton = new QPushButton("Remove output");
    rowButtons->addWidget(control.outputsAddButton);
    rowButtons->addWidget(control.outputsRemoveButton);
    rowButtons->addStretch(1);
    layout->addLayout(rowButtons);

    ControlWindow* c = &control;
    QObject::connect(control.outputsTable, &QTableWidget::itemChanged, box,
                     [c] { c->outputsEdited = true; });
    QObject::connect(control.outputsAddButton, &QPushButton::clicked, box, [c] {
        AddOutputRow(*c, QJsonObject{{"protocol", "sacn"}});
        c->outputsEdited = true;
    });
    QObject::connect(control.outputsRemoveButton, &QPushButton::clicked, box, [c] {
        int row = c->outputsTable->currentRow();
        if (row < 0) row = c->outputsTable->rowCount() - 1;
        if (row < 0) return;
        c->outputsTable->removeRow(row);
        c->outputsEdited = true;
    });
    QObject::connect(control.outputsOpenButton, &QPushButton::clicked, box, [c] {
        QString path = c->hooks.openFile("Outputs file", LastFolder(*c, "outputs"), kOutputsFilter);
        if (path.isEmpty()) return;
        RememberFolder(*c, "outputs", path);
        LoadOutputs(*c, path);
    });
    QObject::connect(control.outputsSaveButton, &QPushButton::clicked, box, [c] {
        QString path =
            c->hooks.saveFile("Save the outputs", LastFolder(*c, "outputs"), kOutputsFilter);
        if (path.isEmpty()) return;
        if (QFileInfo(path).suffix().isEmpty()) path += ".json";
        RememberFolder(*c, "outputs", path);
        QString error;
        if (!WriteOutputs(*c, path, &error)) {
            ShowFormStatus(c->liveForm, error, true);
            return;
        }
        c->outputsPath->setText(path);
        ShowFormStatus(c->liveForm, "Outputs saved as " + path);
    });
    return box;
}

}  // namespace

QWidget* BuildLivePage(ControlWindow& control) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(BuildOutputsBox(control));

    auto* box = new QGroupBox("Play (quorvane-play)");
    auto* form = new QFormLayout(box);
    control.liveVideo = new QLineEdit;
    form->addRow("Video file:",
                 PathRow(control, control.liveVideo, false, "video", "Video file", kVideoFilter));
    auto* pace = new QHBoxLayout;
    control.liveFps = new QDoubleSpinBox;
    control.liveFps->setRange(0, 1000);
    control.liveFps->setDecimals(2);
    control.liveFps->setSpecialValueText("the video's rate");
    control.liveLoop = new QCheckBox("Loop until stopped");
    pace->addWidget(control.liveFps);
    pace->addWidget(control.liveLoop);
    pace->addStretch(1);
    form->addRow("Frames per second:", pace);
    AddColorRows(control, form, control.liveColors);
    InitToolForm(control, control.liveForm, kPlayTool);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(control.liveForm.start);
    buttons->addWidget(control.liveForm.stop);
    buttons->addStretch(1);
    form->addRow(buttons);
    control.liveStats = new QLabel("Not playing");
    form->addRow(control.liveStats);
    form->addRow(control.liveForm.status);
    layout->addWidget(box);
    layout->addStretch(1);

    ControlWindow* c = &control;
    QObject::connect(control.liveForm.start, &QPushButton::clicked, box, [c] { StartLive(*c); });
    return page;
}
