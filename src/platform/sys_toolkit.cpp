// The widget toolkit's windows and event pump, for windows that a library
// made in the process's own Qt application.
#include "platform/sys_toolkit.h"

#include <QApplication>
#include <QString>
#include <QWidget>

bool Sys_ToolkitHasWindow(const char* title) {
    if (QApplication::instance() == nullptr) return false;
    const QString wanted = QString::fromUtf8(title);
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->windowTitle() == wanted) return true;
    return false;
}

void Sys_ProcessToolkitEvents() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}
