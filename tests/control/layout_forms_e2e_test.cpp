// The Files page's layout forms end to end: quorvane-layout runs from the
// build folder into a project, and the project is opened in the real
// quorvane_scripted, whose port reports mark the ports loaded. This test is
// the control program (the stand-in Quorvane_Net.exe only sleeps).
#include <gtest/gtest.h>

#include <QFileInfo>
#include <string>

#include "forms.h"
#include "scripted_quorvane.h"

namespace {

int LoadedPorts(const ControlWindow& control) {
    int count = 0;
    for (bool loaded : control.portHasChain) count += loaded ? 1 : 0;
    return count;
}

class LayoutFormsEndToEnd : public ScriptedQuorvane {};

TEST_F(LayoutFormsEndToEnd, GeneratedMatrixIsOpenedWithItsPortsLoaded) {
    control->generateMatrixButton->click();
    LayoutToolForm& form = control->matrixForm;
    ASSERT_NE(form.dialog, nullptr);
    form.width->setValue(64);
    form.height->setValue(32);
    form.start->setCurrentText("bottom-left");
    form.ledsPerPort->setValue(512);
    form.project->setText(QString::fromStdString(dir.File("wall/wall.quor")));
    form.runButton->click();
    ASSERT_TRUE(WaitFor([&] { return LoadedPorts(*control) == 4; }, 20000))
        << form.result->text().toStdString();
    for (int port = 0; port < 4; ++port) EXPECT_TRUE(control->portHasChain[port]) << port;
    EXPECT_NE(form.result->text().indexOf("2048 LEDs added on ports 1-4"), -1)
        << form.result->text().toStdString();
    EXPECT_TRUE(QFileInfo(QString::fromStdString(dir.File("wall/4wall.quor.line"))).isFile());
}

TEST_F(LayoutFormsEndToEnd, ImportIsOpenedAndRefusalsAreShownInTheForm) {
    WriteWholeFile(dir.File("walls.csv"), "port,index,x,y\n2,0,5,5\n2,1,6,5\n7,0,9,9\n");
    control->importLayoutButton->click();
    LayoutToolForm& form = control->importForm;
    ASSERT_NE(form.dialog, nullptr);
    form.source->setText(QString::fromStdString(dir.File("walls.csv")));
    form.project->setText(QString::fromStdString(dir.File("walls.quor")));
    form.runButton->click();
    ASSERT_TRUE(WaitFor([&] { return LoadedPorts(*control) == 2; }, 20000))
        << form.result->text().toStdString();
    EXPECT_TRUE(control->portHasChain[1]);
    EXPECT_TRUE(control->portHasChain[6]);
    EXPECT_NE(form.result->text().indexOf("3 LEDs added on ports 2, 7"), -1)
        << form.result->text().toStdString();

    // The same cell twice: the tool's error in full in the form, nothing written.
    WriteWholeFile(dir.File("bad.csv"), "port,index,x,y\n1,0,5,5\n1,1,5,5\n");
    form.source->setText(QString::fromStdString(dir.File("bad.csv")));
    form.project->setText(QString::fromStdString(dir.File("bad.quor")));
    form.runButton->click();
    ASSERT_TRUE(
        WaitFor([&] { return form.runButton->isEnabled() && !ToolRunning(form.run); }, 20000));
    EXPECT_NE(form.result->text().indexOf(
                  "bad.csv:3: cell (5, 5) of LED 2 of port 1 already holds LED 1 of port 1"),
              -1)
        << form.result->text().toStdString();
    EXPECT_FALSE(QFileInfo(QString::fromStdString(dir.File("bad.quor"))).exists());
    EXPECT_EQ(LoadedPorts(*control), 2);  // the project opened before stays
}

}  // namespace
