// The builders of the four form pages of the control window. Each creates
// its widgets into the ControlWindow record and wires them to commands.
#pragma once

#include <QWidget>

#include "window.h"

QWidget* BuildPortsPage(ControlWindow& control);
QWidget* BuildEditingPage(ControlWindow& control);
QWidget* BuildFilesPage(ControlWindow& control);
QWidget* BuildVideoPage(ControlWindow& control);

// The Files page's layout forms: shown (and built on first use) by their
// buttons. The tool runs from control.hooks.toolFolder.
void ShowImportLayoutForm(ControlWindow& control);
void ShowGenerateMatrixForm(ControlWindow& control);
// The form's fields as quorvane-layout's arguments; empty with the reason in
// `error` when a field is missing.
QStringList LayoutToolArguments(const LayoutToolForm& form, bool matrix, QString* error);

// Swatch icon of one colour.
QIcon ColorSwatch(const QColor& color);
Rgb ToRgb(const QColor& color);
