// The Test page: a test pattern sent to the installation by quorvane-play
// as a child process (the layout and OUTPUTS files, the pattern, the ports,
// the colour order, the step time), Start and Stop, step buttons that hand
// the walk its keys, the current port and LED shown large, and the tool's
// errors in full when it fails.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

#include "tool_runner.h"
#include "window.h"

// The step buttons, in their row's order, and the keys each sends.
enum TestStepButton {
    kTestBackTen,
    kTestBack,
    kTestPause,
    kTestForward,
    kTestForwardTen,
    kTestNextPort,
    kTestStepButtons
};

struct TestTab {
    QLineEdit* layoutPath = nullptr;
    QLineEdit* outputsPath = nullptr;
    QComboBox* pattern = nullptr;  // walk, ports, order, chase, level
    QCheckBox* onePort = nullptr;
    QLineEdit* ports = nullptr;  // empty: every port
    QComboBox* order = nullptr;  // RGB .. BGR
    QSpinBox* stepMs = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* stepButtons[kTestStepButtons] = {};
    QLabel* current = nullptr;  // the last step's line, large
    QPlainTextEdit* errors = nullptr;
    ToolRun run;
};

// Builds the page into `tab`, which must outlive it.
QWidget* BuildTestPage(ControlWindow& control, TestTab* tab);

// The arguments of quorvane-play for the page's settings.
QStringList TestToolArguments(const TestTab& tab);

// Stops a running pattern as Ctrl+C does (the sACN streams are terminated)
// and waits a moment for the tool to end: the window is closing.
void EndTestPage(TestTab* tab);
