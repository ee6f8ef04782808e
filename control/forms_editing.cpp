// The Editing and view page: place or switch mode (178), LED shape (171,
// 172), LED size (181), bounding frame (184), the four settings colours
// (166-169), the navigation pad (173) and the view jumps (192).
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "forms.h"

namespace {

struct SettingsColorEntry {
    CommandCode code;
    const char* label;
    const char* key;
    QColor initial;  // Quorvane's default
};

const SettingsColorEntry kSettingsColors[kSettingsColorCount] = {
    {CommandCode::SetBackgroundColor, "Background...", "colors/background", QColor(255, 255, 255)},
    {CommandCode::SetFrameColor, "Frame and labels...", "colors/frame", QColor(0, 0, 255)},
    {CommandCode::SetGridDotColor, "Grid dots...", "colors/gridDots", QColor(255, 0, 0)},
    {CommandCode::SetChainLineColor, "Chain lines...", "colors/chainLines", QColor(0, 0, 180)},
};

struct PadKey {
    const char* label;
    uint8_t key;
    int row, column;
};

const PadKey kPadKeys[] = {
    {"W  \u2191", 'W', 0, 1}, {"A  \u2190", 'A', 1, 0},  {"D  \u2192", 'D', 1, 2},
    {"S  \u2193", 'S', 2, 1}, {"+  zoom in", '+', 0, 3}, {"-  zoom out", '-', 2, 3},
};

struct JumpButton {
    const char* label;
    uint8_t target;
    int row, column;
};

const JumpButton kJumps[] = {
    {"Top left", kJumpTopLeft, 0, 0},
    {"Top edge", kJumpTopEdge, 0, 1},
    {"Top right", kJumpTopRight, 0, 2},
    {"Left edge", kJumpLeftEdge, 1, 0},
    {"Centre", kJumpCentre, 1, 1},
    {"Right edge", kJumpRightEdge, 1, 2},
    {"Bottom left", kJumpBottomLeft, 2, 0},
    {"Bottom edge", kJumpBottomEdge, 2, 1},
    {"Bottom right", kJumpBottomRight, 2, 2},
};

QGroupBox* BuildModeBox(ControlWindow& control) {
    auto* box = new QGroupBox("Mouse and LEDs");
    auto* layout = new QGridLayout(box);
    control.placeMode = new QRadioButton("Place LEDs");
    control.switchMode = new QRadioButton("Switch LEDs dark / lit");
    control.placeMode->setChecked(true);
    control.diskShape = new QRadioButton("Disks");
    control.squareShape = new QRadioButton("Squares");
    control.diskShape->setChecked(true);
    auto* modeGroup = new QButtonGroup(box);
    modeGroup->addButton(control.placeMode);
    modeGroup->addButton(control.switchMode);
    auto* shapeGroup = new QButtonGroup(box);
    shapeGroup->addButton(control.diskShape);
    shapeGroup->addButton(control.squareShape);
    control.ledSize = new QSpinBox;
    control.ledSize->setRange(0, 255);
    control.ledSize->setValue(1);
    control.ledSize->setKeyboardTracking(false);
    control.boundingFrame = new QPushButton("Bounding frame");
    control.boundingFrame->setCheckable(true);
    control.boundingFrame->setChecked(true);  // Quorvane shows it at start

    layout->addWidget(new QLabel("Clicks:"), 0, 0);
    layout->addWidget(control.placeMode, 0, 1);
    layout->addWidget(control.switchMode, 0, 2);
    layout->addWidget(new QLabel("Shape:"), 1, 0);
    layout->addWidget(control.diskShape, 1, 1);
    layout->addWidget(control.squareShape, 1, 2);
    layout->addWidget(new QLabel("LED size:"), 2, 0);
    layout->addWidget(control.ledSize, 2, 1);
    layout->addWidget(control.boundingFrame, 2, 2);

    ControlWindow* c = &control;
    QObject::connect(control.switchMode, &QRadioButton::toggled, box,
                     [c](bool on) { SendFromForm(*c, EncodeSetEditMode(on)); });
    QObject::connect(control.squareShape, &QRadioButton::toggled, box, [c](bool on) {
        SendFromForm(
            *c, EncodeBare(on ? CommandCode::SetLedShapeSquare : CommandCode::SetLedShapeDisk));
    });
    QObject::connect(control.ledSize, qOverload<int>(&QSpinBox::valueChanged), box,
                     [c](int value) { SendFromForm(*c, EncodeSetLedSize(uint8_t(value))); });
    QObject::connect(control.boundingFrame, &QPushButton::clicked, box,
                     [c] { SendFromForm(*c, EncodeBare(CommandCode::ToggleBoundingFrame)); });
    return box;
}

QGroupBox* BuildColorBox(ControlWindow& control) {
    auto* box = new QGroupBox("Colours");
    auto* layout = new QHBoxLayout(box);
    ControlWindow* c = &control;
    for (int i = 0; i < kSettingsColorCount; ++i) {
        const SettingsColorEntry& entry = kSettingsColors[i];
        control.settingsColors[i] =
            control.settings->value(entry.key, entry.initial).value<QColor>();
        auto* button = new QPushButton(ColorSwatch(control.settingsColors[i]), entry.label);
        control.settingsColorButtons[i] = button;
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, box, [c, i] {
            const SettingsColorEntry& chosen = kSettingsColors[i];
            QColor color = c->hooks.chooseColor(c->settingsColors[i], chosen.label);
            if (!color.isValid()) return;
            if (!SendFromForm(*c, EncodeSettingsColor(chosen.code, ToRgb(color)))) return;
            c->settingsColors[i] = color;
            c->settings->setValue(chosen.key, color);
            c->settingsColorButtons[i]->setIcon(ColorSwatch(color));
        });
    }
    return box;
}

QGroupBox* BuildNavigationBox(ControlWindow& control) {
    auto* box = new QGroupBox("View");
    auto* outer = new QHBoxLayout(box);
    auto* pad = new QGridLayout;
    auto* jumps = new QGridLayout;
    ControlWindow* c = &control;
    for (const PadKey& key : kPadKeys) {
        auto* button = new QPushButton(QString::fromUtf8(key.label));
        button->setAutoRepeat(true);
        button->setAutoRepeatInterval(100);
        pad->addWidget(button, key.row, key.column);
        uint8_t code = key.key;
        QObject::connect(button, &QPushButton::clicked, box,
                         [c, code] { SendFromForm(*c, EncodeKeyPress(code)); });
    }
    for (const JumpButton& jump : kJumps) {
        auto* button = new QPushButton(jump.label);
        jumps->addWidget(button, jump.row, jump.column);
        uint8_t target = jump.target;
        QObject::connect(button, &QPushButton::clicked, box,
                         [c, target] { SendFromForm(*c, EncodeViewJump(target)); });
    }
    outer->addLayout(pad);
    outer->addSpacing(16);
    auto* jumpColumn = new QVBoxLayout;
    jumpColumn->addWidget(new QLabel("Jump to the layout's:"));
    jumpColumn->addLayout(jumps);
    outer->addLayout(jumpColumn);
    return box;
}

}  // namespace

QWidget* BuildEditingPage(ControlWindow& control) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(BuildModeBox(control));
    layout->addWidget(BuildColorBox(control));
    layout->addWidget(BuildNavigationBox(control));
    layout->addStretch(1);
    return page;
}
