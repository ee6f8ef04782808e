// Entry point of Quorvane_Net.exe, the control program: builds the control
// window, connects to Quorvane and runs the Qt event loop.
#include <QApplication>
#include <cstdlib>

#include "script.h"
#include "window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Quorvane");
    QApplication::setApplicationName("Quorvane_Net");
    std::unique_ptr<ControlWindow> control =
        CreateControlWindow(CommandPortFromEnvironment(), ControlHooks{});
    control->window->show();
    if (const char* script = std::getenv("QUORVANE_NET_SCRIPT"))
        RunControlScript(*control, QString::fromLocal8Bit(script));
    return application.exec();
}
