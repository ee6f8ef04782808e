// The layout forms' fields as quorvane-layout's arguments, under Qt's
// offscreen platform with no Quorvane to connect to: point-list options only
// for point lists, a new project replaced or an existing one added to.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "forms.h"
#include "window.h"

namespace {

class LayoutForms : public ::testing::Test {
protected:
    void SetUp() override {
        ControlHooks hooks;
        hooks.settingsFile = settingsDir.filePath("control.ini");
        control = CreateControlWindow(1, hooks);  // nothing listens there
        ShowImportLayoutForm(*control);
        ShowGenerateMatrixForm(*control);
    }
    QTemporaryDir settingsDir;
    std::unique_ptr<ControlWindow> control;
};

TEST_F(LayoutForms, ImportPassesPointListOptionsOnlyForPointLists) {
    LayoutToolForm& form = control->importForm;
    form.port->setValue(5);
    form.scale->setText("0.1");
    form.yUp->setChecked(true);
    form.origin->setText("10,20");
    form.project->setText("/shows/a.quor");
    struct Case {
        QString source;
        int format;  // 0: by the file's name
        QStringList expected;
    } cases[] = {
        {"/in/walls.csv",
         0,
         {"import", "/in/walls.csv", "--port", "5", "--scale", "0.1", "--y-up", "--origin",
          "10,20"}},
        {"/in/walls.txt",
         1,
         {"import", "/in/walls.txt", "--format", "csv", "--port", "5", "--scale", "0.1", "--y-up",
          "--origin", "10,20"}},
        {"/in/arch.xmodel", 0, {"import", "/in/arch.xmodel", "--origin", "10,20"}},
        {"/in/walls.csv",
         3,
         {"import", "/in/walls.csv", "--format", "ledmap", "--origin", "10,20"}},
    };
    for (const Case& c : cases) {
        form.source->setText(c.source);
        form.format->setCurrentIndex(c.format);
        QString error;
        const QStringList expected =
            c.expected + QStringList{"--pitch", "1",  "--leds-per-port", "2048",   "--first-port",
                                     "1",       "-o", "/shows/a.quor",   "--force"};
        EXPECT_EQ(LayoutToolArguments(form, false, &error), expected)
            << c.source.toStdString() << " " << c.format;
    }
}

TEST_F(LayoutForms, MatrixAddsToAnExistingProjectOrNeedsOne) {
    LayoutToolForm& form = control->matrixForm;
    form.width->setValue(16);
    form.height->setValue(8);
    form.start->setCurrentText("bottom-right");
    form.ledsPerPort->setValue(64);
    form.firstPort->setValue(3);
    QString error;
    EXPECT_TRUE(LayoutToolArguments(form, true, &error).isEmpty());
    EXPECT_EQ(error, "Choose the project to write first.");
    form.project->setText("/shows/wall.quor");
    form.into->setChecked(true);
    EXPECT_EQ(LayoutToolArguments(form, true, &error),
              (QStringList{"matrix", "16x8", "--wiring", "zigzag", "--start", "bottom-right",
                           "--direction", "horizontal", "--pitch", "1", "--leds-per-port", "64",
                           "--first-port", "3", "--into", "/shows/wall.quor"}));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
