// The builders of the four form pages of the control window. Each creates
// its widgets into the ControlWindow record and wires them to commands.
#pragma once

#include <QWidget>

#include "window.h"

QWidget* BuildPortsPage(ControlWindow& control);
QWidget* BuildEditingPage(ControlWindow& control);
QWidget* BuildFilesPage(ControlWindow& control);
QWidget* BuildVideoPage(ControlWindow& control);

// Swatch icon of one colour.
QIcon ColorSwatch(const QColor& color);
Rgb ToRgb(const QColor& color);
