// The builders of the form pages of the control window. Each creates
// its widgets into the ControlWindow record and wires them to commands.
#pragma once

#include <QFormLayout>
#include <QHBoxLayout>
#include <QWidget>
#include <functional>

#include "window.h"

QWidget* BuildPortsPage(ControlWindow& control);
QWidget* BuildEditingPage(ControlWindow& control);
QWidget* BuildFilesPage(ControlWindow& control);
QWidget* BuildVideoPage(ControlWindow& control);
QWidget* BuildLivePage(ControlWindow& control);
// The Video page's "Convert" section, through quorvane-convert.
QWidget* BuildToolConvertBox(ControlWindow& control);

// A line edit with a Browse button that fills it from the open or save
// dialog, starting in the folder last used for `kind`. A saved name without
// an extension gets `saveSuffix` (".quor"; none when null).
QHBoxLayout* PathRow(ControlWindow& control, QLineEdit* edit, bool save, const char* kind,
                     const char* title, const char* filter, const char* saveSuffix = nullptr);

// The colour and power option rows of a tool form, and the tool arguments
// they make: an option left at the tool's default is not passed.
void AddColorRows(ControlWindow& control, QFormLayout* form, ToolColorFields& fields);
QStringList ColorArguments(const ToolColorFields& fields);

// Creates the form's Start and Stop buttons and status line for `tool`;
// the status names the tool when it is missing beside the control program.
void InitToolForm(ControlWindow& control, ToolForm& form, const char* tool);
void ShowFormStatus(ToolForm& form, const QString& text, bool error = false);
// Has Quorvane save its layout for the form, then runs the tool with
// `arguments(project)`; the form's `finished` learns the end. False (the
// reason in the status) when the tool is missing, still runs, or nothing
// could be sent to Quorvane.
bool StartToolForm(ControlWindow& control, ToolForm& form,
                   std::function<QStringList(const QString& project)> arguments);
// The tool's standard error without its progress lines: its error line, or
// a usage error with its hint.
QString ToolErrorLines(const ToolForm& form);

// The Files page's layout forms: shown (and built on first use) by their
// buttons. The tool runs from control.hooks.toolFolder.
void ShowImportLayoutForm(ControlWindow& control);
void ShowGenerateMatrixForm(ControlWindow& control);
// The form's fields as quorvane-layout's arguments; empty with the reason in
// `error` when a field is missing.
QStringList LayoutToolArguments(const LayoutToolForm& form, bool matrix, QString* error);

// Swatch icon of one colour (colors.cpp, for every form).
QIcon ColorSwatch(const QColor& color);
Rgb ToRgb(const QColor& color);
