// The Video page: the video file (164) and the conversion settings sent with
// Start (170), pause (182), stop (175), frame resize (185), saving the
// current frame (183), the progress of a playback, raw frames to video
// (208, 209), and the "Convert" section that runs quorvane-convert.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "forms.h"

namespace {

const char* const kVideoFilter = "Videos (*.avi *.mp4 *.mov *.mkv *.wmv *.mpg);;All files (*)";
const char* const kRawFilter = "Raw frames (*.raw *.bin *.rgb);;All files (*)";
const char* const kOutputFilter = "Video (*.avi);;All files (*)";
const char* const kChannelNames[3] = {"Red", "Green", "Blue"};

QSpinBox* ByteSpin(int value, const char* suffix) {
    auto* spin = new QSpinBox;
    spin->setRange(0, 255);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

QSpinBox* SizeSpin(int value) {
    auto* spin = new QSpinBox;
    spin->setRange(1, 2048);
    spin->setValue(value);
    return spin;
}

void StartVideo(ControlWindow& c) {
    QString path = c.videoPath->text();
    if (path.isEmpty()) {
        ShowNotice(c, "Choose a video file first.", true);
        return;
    }
    Packet pathPacket = EncodeSetVideoPath(PathBytes(path));
    if (pathPacket.empty()) {
        ShowNotice(c, kPathTooLongText, true);
        return;
    }
    VideoStartSettings settings = {};
    settings.order = uint8_t(c.colorOrder->currentIndex());
    settings.mode = uint8_t(c.videoMode->currentIndex());
    for (int i = 0; i < 3; ++i) {
        settings.brightness[i] = uint8_t(c.brightness[i]->value());
        settings.blackLevel[i] = uint8_t(c.blackLevel[i]->value());
    }
    if (!SendFromForm(c, pathPacket) || !SendFromForm(c, EncodeStartVideo(settings))) return;
    c.progress->setRange(0, 100);
    c.progress->setValue(0);
    c.progress->setFormat("Starting...");
    ShowNotice(c,
               settings.mode == kStartPreview
                   ? QString("Preview of %1").arg(path)
                   : QString("Converting %1: Quorvane asks for the output file name.").arg(path));
}

void ConvertRawFrames(ControlWindow& c) {
    QString raw = c.rawPath->text();
    QString output = c.rawOutput->text();
    if (raw.isEmpty() || output.isEmpty()) {
        ShowNotice(c, "Choose the raw frame file and the output video name first.", true);
        return;
    }
    Packet rawPacket = EncodeSetRawFramePath(PathBytes(raw));
    Packet convertPacket =
        EncodeConvertRawFrames(c.rawWidth->value(), c.rawHeight->value(), PathBytes(output));
    if (rawPacket.empty() || convertPacket.empty()) {
        ShowNotice(c, kPathTooLongText, true);
        return;
    }
    // Quorvane writes the whole video inside the command and then shows its
    // own box; the outcome is known once it has finished.
    if (SendFromForm(c, rawPacket))
        SendSaveCommand(c, convertPacket, output, "Video saved as " + output,
                        QString("Quorvane did not save the video %1 (from %2)").arg(output, raw));
}

QGroupBox* BuildPlaybackBox(ControlWindow& control) {
    auto* box = new QGroupBox("Video conversion");
    auto* form = new QFormLayout(box);
    control.videoPath = new QLineEdit;
    form->addRow("Video file:",
                 PathRow(control, control.videoPath, false, "video", "Video file", kVideoFilter));
    control.colorOrder = new QComboBox;
    control.colorOrder->addItems({"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"});
    form->addRow("Colour order:", control.colorOrder);

    auto* channels = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        channels->addWidget(new QLabel(kChannelNames[i]), 0, i + 1);
        control.brightness[i] = ByteSpin(100, " %");
        control.blackLevel[i] = ByteSpin(0, "");
        channels->addWidget(control.brightness[i], 1, i + 1);
        channels->addWidget(control.blackLevel[i], 2, i + 1);
    }
    channels->addWidget(new QLabel("Brightness"), 1, 0);
    channels->addWidget(new QLabel("Black level"), 2, 0);
    form->addRow(channels);

    control.videoMode = new QComboBox;
    control.videoMode->addItems({"Preview", "Convert", "Convert hidden"});
    control.videoMode->setCurrentIndex(kStartConvert);
    form->addRow("Mode:", control.videoMode);

    auto* buttons = new QHBoxLayout;
    control.startButton = new QPushButton("Start");
    control.pauseButton = new QPushButton("Pause / resume");
    control.stopButton = new QPushButton("Stop");
    control.saveFrameButton = new QPushButton("Save frame...");
    for (QPushButton* button :
         {control.startButton, control.pauseButton, control.stopButton, control.saveFrameButton})
        buttons->addWidget(button);
    form->addRow(buttons);

    control.progress = new QProgressBar;
    control.progress->setRange(0, 100);
    control.progress->setValue(0);
    control.progress->setTextVisible(true);
    control.progress->setFormat("No video running");
    form->addRow("Progress:", control.progress);

    ControlWindow* c = &control;
    QObject::connect(control.startButton, &QPushButton::clicked, box, [c] { StartVideo(*c); });
    QObject::connect(control.pauseButton, &QPushButton::clicked, box,
                     [c] { SendFromForm(*c, EncodeBare(CommandCode::ToggleVideoPause)); });
    QObject::connect(control.stopButton, &QPushButton::clicked, box,
                     [c] { SendFromForm(*c, EncodeBare(CommandCode::StopVideo)); });
    QObject::connect(control.saveFrameButton, &QPushButton::clicked, box,
                     [c] { SendFromForm(*c, EncodeBare(CommandCode::SaveFrameImage)); });
    return box;
}

QGroupBox* BuildResizeBox(ControlWindow& control) {
    auto* box = new QGroupBox("Frame resize");
    auto* row = new QHBoxLayout(box);
    control.resizeOn = new QCheckBox("Resize frames to");
    control.resizeWidth = SizeSpin(640);
    control.resizeHeight = SizeSpin(480);
    control.interpolation = new QComboBox;
    control.interpolation->addItems({"Nearest", "Bilinear", "Bicubic", "Pixel area", "Lanczos"});
    control.interpolation->setCurrentIndex(1);
    control.applyResizeButton = new QPushButton("Apply");
    row->addWidget(control.resizeOn);
    row->addWidget(control.resizeWidth);
    row->addWidget(new QLabel("x"));
    row->addWidget(control.resizeHeight);
    row->addWidget(control.interpolation);
    row->addWidget(control.applyResizeButton);
    ControlWindow* c = &control;
    QObject::connect(control.applyResizeButton, &QPushButton::clicked, box, [c] {
        SendFromForm(*c, EncodeSetVideoResize(c->resizeWidth->value(), c->resizeHeight->value(),
                                              c->resizeOn->isChecked(),
                                              uint8_t(c->interpolation->currentIndex())));
    });
    return box;
}

QGroupBox* BuildRawBox(ControlWindow& control) {
    auto* box = new QGroupBox("Raw frames to video");
    auto* form = new QFormLayout(box);
    control.rawPath = new QLineEdit;
    form->addRow("Raw frame file:",
                 PathRow(control, control.rawPath, false, "raw", "Raw frame file", kRawFilter));
    auto* size = new QHBoxLayout;
    control.rawWidth = SizeSpin(64);
    control.rawHeight = SizeSpin(64);
    size->addWidget(control.rawWidth);
    size->addWidget(new QLabel("x"));
    size->addWidget(control.rawHeight);
    size->addStretch(1);
    form->addRow("Frame size:", size);
    control.rawOutput = new QLineEdit;
    form->addRow("Output video:", PathRow(control, control.rawOutput, true, "output",
                                          "Output video", kOutputFilter));
    control.convertRawButton = new QPushButton("Convert raw frames");
    form->addRow(control.convertRawButton);
    ControlWindow* c = &control;
    QObject::connect(control.convertRawButton, &QPushButton::clicked, box,
                     [c] { ConvertRawFrames(*c); });
    return box;
}

}  // namespace

QWidget* BuildVideoPage(ControlWindow& control) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(BuildPlaybackBox(control));
    layout->addWidget(BuildResizeBox(control));
    layout->addWidget(BuildToolConvertBox(control));
    layout->addWidget(BuildRawBox(control));
    layout->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}
