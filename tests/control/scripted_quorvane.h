// The fixture of the control program's tests against the real
// quorvane_scripted under Xvfb: the test is the control program (the
// stand-in Quorvane_Net.exe that Quorvane launches only sleeps), connected
// and idle when a test begins; dialogs answer with `nextPath`.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>

#include "qt_wait.h"
#include "support/process.h"
#include "support/test_support.h"
#include "window.h"

inline void StartQt() {
    static int argc = 1;
    static char name[] = "control_e2e_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)application;
}

class ScriptedQuorvane : public ::testing::Test {
protected:
    void SetUp() override {
        StartQt();
        WriteExecutable(dir.File("Quorvane_Net.exe"), "#!/bin/sh\nexec sleep 120\n");
        quorvane = StartChild(BuildDirectory() + "/quorvane_scripted", {}, dir.path(), "quorvane",
                              {"QT_QPA_PLATFORM=xcb"});
        hooks.saveFile = [this](const QString&, const QString&, const QString&) {
            return nextPath;
        };
        hooks.openFile = hooks.saveFile;
        hooks.settingsFile = QString::fromStdString(dir.File("control.ini"));
        hooks.toolFolder = QString::fromStdString(BuildDirectory());
        control = CreateControlWindow(kCommandPort, hooks);
        // A slow start may outlast one round of connection attempts.
        ASSERT_TRUE(WaitFor(
            [this] {
                if (control->link.state == LinkState::NotFound) RetryControlLink(control->link);
                return control->link.state == LinkState::Connected;
            },
            30000))
            << ReadWholeFile(quorvane.stdoutPath);
        // The edit mode that the window sends on connecting.
        ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }, 5000));
    }
    void TearDown() override {
        control.reset();
        StopChild(quorvane);
    }

    std::string Log() const { return ReadWholeFile(quorvane.stdoutPath); }

    ScopedTempDir dir;
    ChildProcess quorvane;
    ControlHooks hooks;
    QString nextPath;
    std::unique_ptr<ControlWindow> control;
};
