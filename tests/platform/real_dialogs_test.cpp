// The real dialogs under a window system (Xvfb in the test run): each test
// shows a real modal window and answers it from a timer inside the
// dialog's own event loop, the way a person would, after checking what is
// displayed. Skipped when there is no display.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sys.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

bool WindowSystemReady() {
    const char* display = getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') return false;
    static bool started = false;
    if (!started) {
        static char name[] = "platform_real_test";
        static char* argv[] = {name, nullptr};
        static int argc = 1;
        Sys_Init(&argc, argv);
        started = true;
    }
    return QApplication::instance() != nullptr;
}

#define REQUIRE_WINDOW_SYSTEM() \
    if (!WindowSystemReady()) GTEST_SKIP() << "no display"

// Runs each step on the modal window that is active at its turn, polling
// every 20 ms. Each poll is its own single-shot timer, so polling goes on
// inside a window that a step opens (a timer never fires inside its own
// handler). A window still open half a second after the last step, or no
// window to answer within ten seconds, fails the test and is closed, so a
// failing test never hangs.
using Step = std::function<void(QWidget*)>;
struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    int polls = 0;
    int overdue = 0;
};

void CloseModal(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
}

void Poll(const std::shared_ptr<Driver>& driver) {
    QWidget* modal = QApplication::activeModalWidget();
    if (driver->next >= driver->steps.size()) {
        if (modal == nullptr) return;  // all answered
        if (++driver->overdue > 25) {
            ADD_FAILURE() << "a modal window stayed open after the last step";
            CloseModal(modal);
            return;
        }
    } else if (++driver->polls > 500) {
        ADD_FAILURE() << "no modal window to answer at step " << driver->next;
        CloseModal(modal);
        return;
    }
    QTimer::singleShot(20, [driver] { Poll(driver); });
    if (modal != nullptr && driver->next < driver->steps.size()) {
        driver->steps[driver->next++](modal);
    }
}

void Answer(std::vector<Step> steps) {
    auto driver = std::make_shared<Driver>();
    driver->steps = std::move(steps);
    QTimer::singleShot(0, [driver] { Poll(driver); });
}

// ---- message boxes ---------------------------------------------------------

enum class Action { ClickOk, ClickYes, ClickNo, CloseWindow };

struct BoxCase {
    const char* text;
    const char* caption;
    unsigned style;
    Action action;
    const char16_t* shownText;
    const char16_t* shownCaption;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int answer;
};

const BoxCase kBoxCases[] = {
    {"\xE8\x20\xF2\x2E\xEF\x2E", "Error", kMbSystemModal | kMbIconError, Action::ClickOk,
     u"\u0438 \u0442.\u043F.", u"Error", QMessageBox::Critical, QMessageBox::Ok, kIdOk},
    {"In the chain of the port \xB9"
     "5 there are already elements, want to download the file?",
     "A warning", kMbSystemModal | kMbIconWarning | kMbYesNo, Action::ClickYes,
     u"In the chain of the port \u21165 there are already elements, want to download the file?",
     u"A warning", QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, kIdYes},
    {"Are you sure you want to delete all the circuit elements for the current port? ", " Warning ",
     kMbSystemModal | kMbIconQuestion | kMbYesNo, Action::ClickNo,
     u"Are you sure you want to delete all the circuit elements for the current port? ",
     u" Warning ", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, kIdNo},
    // Closing a question with the window's close button answers No.
    {"Question?", "\xC2\xEE\xEF\xF0\xEE\xF1", kMbSystemModal | kMbIconQuestion | kMbYesNo,
     Action::CloseWindow, u"Question?", u"\u0412\u043E\u043F\u0440\u043E\u0441",
     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, kIdNo},
    // Texts are plain: markup characters show as they are. No icon bits, no icon.
    {"<b>a.led</b> & more", "", kMbSystemModal, Action::CloseWindow, u"<b>a.led</b> & more", u"",
     QMessageBox::NoIcon, QMessageBox::Ok, kIdOk},
    {"Video file was successfully saved!", "Information ", kMbSystemModal | kMbIconInformation,
     Action::ClickOk, u"Video file was successfully saved!", u"Information ",
     QMessageBox::Information, QMessageBox::Ok, kIdOk},
};

TEST(RealDialogsTest, MessageBoxShowsTheDecodedTextAndReturnsTheAnswer) {
    REQUIRE_WINDOW_SYSTEM();
    for (const BoxCase& c : kBoxCases) {
        SCOPED_TRACE(c.text);
        bool seen = false;
        Answer({[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->text(), QString::fromUtf16(c.shownText));
            EXPECT_EQ(box->windowTitle(), QString::fromUtf16(c.shownCaption));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
            EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
            EXPECT_EQ(box->parentWidget(), nullptr);
            switch (c.action) {
                case Action::ClickOk:
                    box->button(QMessageBox::Ok)->click();
                    break;
                case Action::ClickYes:
                    box->button(QMessageBox::Yes)->click();
                    break;
                case Action::ClickNo:
                    box->button(QMessageBox::No)->click();
                    break;
                case Action::CloseWindow:
                    box->close();
                    break;
            }
        }});
        EXPECT_EQ(Sys_MessageBox(c.text, c.caption, c.style), c.answer);
        EXPECT_TRUE(seen);
    }
}

// ---- save dialog -----------------------------------------------------------

class SaveDialogTest : public ::testing::Test {
protected:
    // Types `name` into the file name field of the dialog.
    static QPushButton* Type(QFileDialog* dialog, const QString& name) {
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (field == nullptr || buttons == nullptr) return nullptr;
        field->setText(name);
        return buttons->button(QDialogButtonBox::Save);
    }

    std::string File(const std::string& name) const { return dir_.File(name); }

    // A dot in the directory name: it must not count as the extension.
    ScopedTempDir dir_{"quorvane.dialog"};
};

TEST_F(SaveDialogTest, AddsTheDefaultExtensionToANameWithout) {
    REQUIRE_WINDOW_SYSTEM();
    const struct {
        const char* typed;
        std::string expected;
    } cases[] = {{"export", File("export.led")}, {"export.bin", File("export.bin")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Answer({[&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Bin Files (*.led)")});
            EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("led"));
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
                      QString::fromStdString(fs::canonical(dir_.path()).string()));
            QPushButton* save = Type(dialog, QString::fromUtf8(c.typed));
            ASSERT_NE(save, nullptr);
            save->click();
        }});
        char path[260] = "stale";
        ASSERT_TRUE(Sys_SaveFileDialog({"Bin Files", "*.led", "led", false}, path, sizeof path));
        EXPECT_EQ(fs::path(path), fs::canonical(dir_.path()) / fs::path(c.expected).filename());
        EXPECT_FALSE(fs::exists(path));  // the dialog only names a file
    }
    EXPECT_EQ(fs::current_path(), fs::path(dir_.path()));
}

TEST_F(SaveDialogTest, MustExistTakesOnlyAnExistingFile) {
    REQUIRE_WINDOW_SYSTEM();
    std::ofstream(File("frame.bmp")) << "old";
    Answer({[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Image Files (*.bmp)")});
        QPushButton* save = Type(dialog, QStringLiteral("missing"));
        ASSERT_NE(save, nullptr);
        EXPECT_FALSE(save->isEnabled());
        // The typed name without its extension finds the existing file, and
        // taking it asks no overwrite question.
        save = Type(dialog, QStringLiteral("frame"));
        EXPECT_TRUE(save->isEnabled());
        save->click();
    }});
    char path[260] = "";
    ASSERT_TRUE(Sys_SaveFileDialog({"Image Files", "*.bmp", "bmp", true}, path, sizeof path));
    EXPECT_EQ(fs::path(path), fs::canonical(dir_.path()) / "frame.bmp");
}

TEST_F(SaveDialogTest, CancelAndAPathTooLongGiveFalse) {
    REQUIRE_WINDOW_SYSTEM();
    Answer({[](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
            ->button(QDialogButtonBox::Cancel)
            ->click();
    }});
    char path[260] = "stale";
    EXPECT_FALSE(Sys_SaveFileDialog({"Bin Files", "*.led", "led", true}, path, sizeof path));
    EXPECT_STREQ(path, "");

    Answer({[](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        Type(dialog, QStringLiteral("export"))->click();
    }});
    char small[8] = "stale";
    EXPECT_FALSE(Sys_SaveFileDialog({"Bin Files", "*.led", "led", false}, small, sizeof small));
    EXPECT_STREQ(small, "");
}

// ---- screen ------------------------------------------------------------------

TEST(RealScreenTest, ScreenSizeIsTheDisplays) {
    REQUIRE_WINDOW_SYSTEM();
    int width = 0, height = 0;
    Sys_ScreenSize(&width, &height);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    // The X server's own account of its screen, when the tool is there.
    FILE* info = popen("xdpyinfo 2>/dev/null", "r");
    if (info == nullptr) return;
    char line[256];
    int xWidth = 0, xHeight = 0;
    while (std::fgets(line, sizeof line, info) != nullptr) {
        if (std::sscanf(line, " dimensions: %dx%d", &xWidth, &xHeight) == 2) break;
    }
    pclose(info);
    if (xWidth > 0) {
        EXPECT_EQ(width, xWidth);
        EXPECT_EQ(height, xHeight);
    }
}

}  // namespace

// ---- no window system --------------------------------------------------------

TEST(NoWindowSystemTest, BoxesGoToTheTerminalInsteadOfAborting) {
    if (QApplication::instance() != nullptr) GTEST_SKIP() << "needs a process of its own";
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Sys_MessageBox("Error access file ", "Error", kMbSystemModal | kMbIconError), kIdOk);
    // A question gets the answer that changes nothing.
    EXPECT_EQ(Sys_MessageBox("Sure?", " Warning ", kMbYesNo | kMbIconQuestion), kIdNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Error access file \n Warning : Sure?\n");
    char path[260] = "stale";
    EXPECT_FALSE(Sys_SaveFileDialog({"Bin Files", "*.led", "led", true}, path, sizeof path));
    EXPECT_STREQ(path, "");
    int width = -1, height = -1;
    Sys_ScreenSize(&width, &height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(QApplication::instance(), nullptr);
}
