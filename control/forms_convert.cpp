// The Video page's "Convert" section: the window's layout converted by
// quorvane-convert at the decoder's speed, into controller files or an FSEQ
// sequence, with the colour, sampling and power options of the tool. The
// progress bar follows the tool's plain progress lines; the outcome is the
// files written and a summary (with the tool's power line when it measured
// the power), or the tool's error line. A stopped run leaves nothing: the tool
// removes what it had begun on Ctrl+C.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <vector>

#include "forms.h"

namespace {

const char kConvertTool[] = "quorvane-convert";
const char* const kVideoFilter = "Videos (*.avi *.mp4 *.mov *.mkv *.wmv *.mpg);;All files (*)";
const char* const kTargetFilter = "Controller files (*.led);;FSEQ sequence (*.fseq);;All files (*)";

// A file written by this run may carry a time a little before its start
// (file system clocks run behind, some keep whole seconds).
constexpr qint64 kFileClockSlackMs = 2000;

enum ConvertFormat { kFormatLed = 0, kFormatFseq = 1 };

struct Progress {
    bool valid;
    int percent, done, total;
    double fps;
};

// "quorvane-convert: 35% (70 of 200 frames, 12.3 fps)"
Progress ParseProgress(const QString& line) {
    static const QRegularExpression pattern(
        "^quorvane-convert: (\\d+)% \\((\\d+) of (\\d+) frames, ([0-9.]+) fps\\)$");
    QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch()) return {false, 0, 0, 0, 0};
    return {true, match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
            match.captured(4).toDouble()};
}

QString TimeText(double seconds) {
    long total = long(seconds + 0.5);
    if (total >= 3600)
        return QString("%1:%2:%3")
            .arg(total / 3600)
            .arg(total / 60 % 60, 2, 10, QChar('0'))
            .arg(total % 60, 2, 10, QChar('0'));
    return QString("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QChar('0'));
}

// The target as the tool takes it: an FSEQ target gets ".fseq" when it has
// no extension (the tool refuses any other).
QString TargetPath(ControlWindow& c) {
    QString target = c.convertTarget->text().trimmed();
    if (c.convertFormat->currentIndex() == kFormatFseq && !target.isEmpty() &&
        QFileInfo(target).suffix().isEmpty())
        target += ".fseq";
    return target;
}

// The files this run wrote: the sequence and its channel map, or one
// controller file per port beside the target, in port order.
QStringList WrittenFiles(ControlWindow& c, const QString& target) {
    QStringList files;
    QDateTime since = c.convertForm.startedAt.addMSecs(-kFileClockSlackMs);
    auto written = [&since](const QFileInfo& info) {
        return info.isFile() && info.lastModified() >= since;
    };
    if (c.convertFormat->currentIndex() == kFormatFseq) {
        for (const QString& path : {target, target + ".channels.csv"})
            if (written(QFileInfo(path))) files << path;
        return files;
    }
    QFileInfo info(target);
    QDir folder = info.absoluteDir();
    const QRegularExpression name("^PORT-(\\d+)-" + QRegularExpression::escape(info.fileName()) +
                                  "$");
    std::vector<std::pair<int, QString>> ports;
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files)) {
        QRegularExpressionMatch match = name.match(entry.fileName());
        if (match.hasMatch() && written(entry))
            ports.push_back({match.captured(1).toInt(), entry.filePath()});
    }
    std::sort(ports.begin(), ports.end());
    for (const auto& port : ports) files << port.second;
    return files;
}

void ShowProgress(ControlWindow& c, const Progress& p) {
    c.convertProgress->setRange(0, 100);
    c.convertProgress->setValue(qMin(p.percent, 100));
    QString left = p.fps > 0 ? TimeText((p.total - p.done) / p.fps) : QString("--:--");
    c.convertProgress->setFormat(QString("%1 / %2 frames, %3 fps, %4 left")
                                     .arg(p.done)
                                     .arg(p.total)
                                     .arg(p.fps, 0, 'f', 1)
                                     .arg(left));
}

// "200 frames converted; power: peak 1.234 A (6.17 W) at frame 12, ..."
// (printed when the power is measured): the part after "power: ".
QString PowerText(const QString& line) {
    const int at = line.indexOf("; power: ");
    return at < 0 ? QString() : line.mid(at + 9);
}

void ConvertFinished(ControlWindow& c, const QString& target, bool ok, Progress last,
                     const QString& power) {
    if (ok) {
        QStringList files = WrittenFiles(c, target);
        double seconds = c.convertForm.startedAt.msecsTo(QDateTime::currentDateTime()) / 1000.0;
        QString summary =
            QString("Converted %1 frames in %2 s").arg(last.total).arg(seconds, 0, 'f', 1);
        if (last.valid) summary += QString(" (%1 fps)").arg(last.fps, 0, 'f', 1);
        if (!power.isEmpty()) summary += "; power: " + power;
        ShowFormStatus(c.convertForm, summary + QString(", %1 file%2 written:")
                                                    .arg(files.size())
                                                    .arg(files.size() == 1 ? "" : "s"));
        c.convertOutputs->setText(files.join('\n'));
        c.convertProgress->setValue(100);
        return;
    }
    c.convertProgress->setValue(0);
    if (c.convertForm.run.stopRequested) {
        c.convertProgress->setFormat("Stopped");
        ShowFormStatus(c.convertForm, "Stopped: no file was written and none replaced.");
        return;
    }
    c.convertProgress->setFormat("Failed");
    QString error = ToolErrorLines(c.convertForm);
    if (error.isEmpty()) error = QString("%1 ended without saying why.").arg(kConvertTool);
    ShowFormStatus(c.convertForm, error, true);
}

void StartConvert(ControlWindow& c) {
    QString video = c.convertVideo->text().trimmed();
    QString target = TargetPath(c);
    if (video.isEmpty() || target.isEmpty()) {
        ShowFormStatus(c.convertForm, "Choose the video and the target first.", true);
        return;
    }
    QStringList options = {"--progress", "plain"};
    if (c.convertFormat->currentIndex() == kFormatFseq) {
        options << "--format"
                << "fseq"
                << "--fseq-compression" << c.convertCompression->currentText();
        if (c.convertStepMs->value() > 0)
            options << "--step-ms" << QString::number(c.convertStepMs->value());
    } else {
        options << "--format"
                << "led";
    }
    options << ColorArguments(c.convertColors);
    auto last = std::make_shared<Progress>(Progress{false, 0, 0, 0, 0});
    ControlWindow* control = &c;
    auto power = std::make_shared<QString>();
    c.convertForm.run.onOutputLine = [power](const QString& line) {
        if (!PowerText(line).isEmpty()) *power = PowerText(line);
    };
    c.convertForm.run.onErrorLine = [control, last](const QString& line) {
        Progress p = ParseProgress(line);
        if (!p.valid) return;
        *last = p;
        ShowProgress(*control, p);
    };
    c.convertForm.finished = [control, target, last, power](bool ok, int) {
        ConvertFinished(*control, target, ok, *last, *power);
    };
    c.convertOutputs->clear();
    c.convertProgress->setRange(0, 100);
    c.convertProgress->setValue(0);
    c.convertProgress->setFormat("Starting...");
    StartToolForm(c, c.convertForm, [options, video, target](const QString& project) {
        return QStringList(options) << "--" << project << video << target;
    });
}

}  // namespace

QWidget* BuildToolConvertBox(ControlWindow& control) {
    auto* box = new QGroupBox("Convert (quorvane-convert, at the decoder's speed)");
    auto* form = new QFormLayout(box);
    control.convertVideo = new QLineEdit;
    form->addRow("Video file:", PathRow(control, control.convertVideo, false, "video", "Video file",
                                        kVideoFilter));
    control.convertFormat = new QComboBox;
    control.convertFormat->addItems({"Controller files (PORT-<n>-<name>)", "FSEQ v2 sequence"});
    form->addRow("Format:", control.convertFormat);
    auto* fseqRow = new QHBoxLayout;
    control.convertCompression = new QComboBox;
    control.convertCompression->addItems({"zstd", "none"});
    control.convertStepMs = new QSpinBox;
    control.convertStepMs->setRange(0, 255);
    control.convertStepMs->setSuffix(" ms");
    control.convertStepMs->setSpecialValueText("from the video");
    fseqRow->addWidget(new QLabel("Compression"));
    fseqRow->addWidget(control.convertCompression);
    fseqRow->addWidget(new QLabel("Step"));
    fseqRow->addWidget(control.convertStepMs);
    fseqRow->addStretch(1);
    form->addRow("FSEQ:", fseqRow);
    control.convertTarget = new QLineEdit;
    control.convertTarget->setToolTip(
        "Controller files: names the outputs, PORT-<n>-<name> beside it (not written itself). "
        "FSEQ: the sequence file, with its channel map <name>.channels.csv beside it.");
    form->addRow("Target:", PathRow(control, control.convertTarget, true, "convert-target",
                                    "Target", kTargetFilter));
    AddColorRows(control, form, control.convertColors);

    InitToolForm(control, control.convertForm, kConvertTool);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(control.convertForm.start);
    buttons->addWidget(control.convertForm.stop);
    buttons->addStretch(1);
    form->addRow(buttons);
    control.convertProgress = new QProgressBar;
    control.convertProgress->setRange(0, 100);
    control.convertProgress->setValue(0);
    control.convertProgress->setTextVisible(true);
    control.convertProgress->setFormat("No conversion running");
    form->addRow("Progress:", control.convertProgress);
    form->addRow(control.convertForm.status);
    control.convertOutputs = new QLabel;
    control.convertOutputs->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(control.convertOutputs);

    ControlWindow* c = &control;
    auto formatChanged = [c](int format) {
        c->convertCompression->setEnabled(format == kFormatFseq);
        c->convertStepMs->setEnabled(format == kFormatFseq);
    };
    formatChanged(kFormatLed);
    QObject::connect(control.convertFormat, qOverload<int>(&QComboBox::currentIndexChanged), box,
                     formatChanged);
    QObject::connect(control.convertForm.start, &QPushButton::clicked, box,
                     [c] { StartConvert(*c); });
    return box;
}
