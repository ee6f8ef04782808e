// The one QApplication made by Sys_Init lives beside freeglut: GLUT still
// gets every process argument, its window keeps working around a Qt box,
// and the C library keeps the C number notation.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include "platform/sys.h"

namespace {

int g_displays = 0;
void OnDisplay() {
    ++g_displays;
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
}

TEST(QtGlutTest, GlutStartsAfterSysInitAndOutlivesABox) {
    const char* display = getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') GTEST_SKIP() << "no display";

    if (QApplication::instance() != nullptr) GTEST_SKIP() << "needs a process of its own";
    // Options Qt takes out of the arguments it is given.
    static char name[] = "qt_glut_test", reverse[] = "-reverse", file[] = "show.quor";
    static char* argv[] = {name, reverse, file, nullptr};
    int argc = 3;
    Sys_Init(&argc, argv);
    ASSERT_NE(QApplication::instance(), nullptr);
    EXPECT_FALSE(QCoreApplication::arguments().contains(QStringLiteral("-reverse")));
    ASSERT_EQ(argc, 3);
    EXPECT_STREQ(argv[1], "-reverse");
    EXPECT_STREQ(argv[2], "show.quor");
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");

    glutInit(&argc, argv);
    glutInitContextVersion(2, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(320, 200);
    const int window = glutCreateWindow("Quorvane 1.46 EN beta");
    ASSERT_GT(window, 0);
    glutDisplayFunc(OnDisplay);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    for (int i = 0; i < 50 && g_displays == 0; ++i) {
        glutPostRedisplay();
        glutMainLoopEvent();
    }
    EXPECT_GT(g_displays, 0);

    // A box from inside the GLUT program, answered, and GLUT goes on.
    QTimer::singleShot(50, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(Sys_MessageBox("Unable to open application Quorvane_Net.exe", "Error",
                             kMbSystemModal | kMbIconError),
              kIdOk);
    const int before = g_displays;
    for (int i = 0; i < 50 && g_displays == before; ++i) {
        glutPostRedisplay();
        glutMainLoopEvent();
    }
    EXPECT_GT(g_displays, before);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 320);
    glutDestroyWindow(window);
}

}  // namespace
