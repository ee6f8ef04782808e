// Letters typed on a Cyrillic keyboard layout reach the keyboard callback as
// their Windows-1251 bytes: the key symbol table, X's own translation, and a
// key press delivered to a real window through the window library.

// gtest before the X headers, whose macros (None, True, ...) clash with it.
// clang-format off
#include <gtest/gtest.h>
// clang-format on

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <string>
#include <vector>

#include "app/input.h"
#include "app/view.h"
#include "platform/sys.h"
#include "support/test_support.h"

namespace {

TEST(KeyboardLayout, CyrillicKeysymsBecomeCp1251Bytes) {
    struct Case {
        unsigned long keysym;
        int code;
    };
    const Case cases[] = {
        {XK_Cyrillic_tse, 246},
        {XK_Cyrillic_TSE, 214},
        {XK_Cyrillic_ef, 244},
        {XK_Cyrillic_EF, 212},
        {XK_Cyrillic_yeru, 251},
        {XK_Cyrillic_YERU, 219},
        {XK_Cyrillic_ve, 226},
        {XK_Cyrillic_VE, 194},
        {XK_Cyrillic_a, 0xE0},
        {XK_Cyrillic_ya, 0xFF},
        {XK_Cyrillic_YA, 0xDF},
        {XK_Cyrillic_yu, 0xFE},
        {XK_Cyrillic_io, 0xB8},
        {XK_Cyrillic_IO, 0xA8},
        {XK_Ukrainian_i, 0xB3},
        {0x1000446, 246},
        {0x1000401, 0xA8},
        {XK_w, -1},
        {XK_F1, -1},
        {XK_Greek_alpha, -1},
    };
    for (const Case& t : cases) EXPECT_EQ(Sys_KeysymToCp1251(t.keysym), t.code) << t.keysym;
}

// A spare key of the X server set up as the W key of an "us,ru" layout (W and
// Cyrillic_tse in two groups) while it lives. A spare key, so that nothing
// else typing into the same server is disturbed; emptied again at the end.
class ScratchWKey {
public:
    ScratchWKey() {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) return;
        int minCode = 0, maxCode = 0;
        XDisplayKeycodes(display_, &minCode, &maxCode);
        for (int code = maxCode; code >= minCode && keycode_ == 0; --code) {
            int perKey = 0;
            KeySym* syms = XGetKeyboardMapping(display_, KeyCode(code), 1, &perKey);
            bool empty = true;
            for (int i = 0; i < perKey; ++i) empty = empty && syms[i] == NoSymbol;
            XFree(syms);
            if (empty) keycode_ = KeyCode(code);
        }
        if (keycode_ == 0) return;
        KeySym twoGroups[4] = {XK_w, XK_W, XK_Cyrillic_tse, XK_Cyrillic_TSE};
        XChangeKeyboardMapping(display_, keycode_, 4, twoGroups, 1);
        XSync(display_, False);
    }
    ~ScratchWKey() {
        if (display_ == nullptr) return;
        if (keycode_ != 0) {
            KeySym none[1] = {NoSymbol};
            XChangeKeyboardMapping(display_, keycode_, 1, none, 1);
            XSync(display_, False);
        }
        XCloseDisplay(display_);
    }
    KeyCode keycode() const { return keycode_; }
    bool ready() const { return display_ != nullptr && keycode_ != 0; }

private:
    Display* display_ = nullptr;
    KeyCode keycode_ = 0;
};

constexpr unsigned kSecondGroup = 1u << 13;  // the Russian layout is active

// One test: the key mapping is shared by everything on the X server.
TEST(KeyboardLayout, CyrillicKeyReachesTheCallbackAsItsCp1251Byte) {
    ScratchWKey key;
    if (!key.ready()) GTEST_SKIP() << "no X display or no spare key";
    const KeyCode keycode = key.keycode();

    Display* reader = XOpenDisplay(nullptr);  // a fresh copy of the new keymap
    ASSERT_NE(reader, nullptr);
    struct Case {
        unsigned state;
        int length;
        int byte;
    };
    const Case cases[] = {
        {kSecondGroup, 1, 246},
        {kSecondGroup | ShiftMask, 1, 214},
        {kSecondGroup | ControlMask, 1, 23},  // Ctrl+W as on the Latin layout
        {0, 1, 'w'},
    };
    for (const Case& t : cases) {
        XKeyEvent event = {};
        event.type = KeyPress;
        event.display = reader;
        event.keycode = keycode;
        event.state = t.state;
        char buffer[32] = {};
        KeySym keysym = NoSymbol;
        EXPECT_EQ(XLookupString(&event, buffer, sizeof buffer, &keysym, nullptr), t.length);
        EXPECT_EQ(static_cast<unsigned char>(buffer[0]), t.byte);
    }
    // Latin keys keep the translation of X.
    XKeyEvent latin = {};
    latin.type = KeyPress;
    latin.display = reader;
    latin.keycode = XKeysymToKeycode(reader, XK_d);
    char buffer[32] = {};
    EXPECT_EQ(XLookupString(&latin, buffer, sizeof buffer, nullptr, nullptr), 1);
    EXPECT_EQ(buffer[0], 'd');
    XCloseDisplay(reader);

    // Through the window library to the keyboard callback.
    ResetRunState();
    int argc = 1;
    char name[] = "keyboard_layout_tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(320, 240);
    const int window = glutCreateWindow("keys");
    glutKeyboardFunc(KeyboardInput);
    glutDisplayFunc([] {});
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();
    Display* glutDisplay = glXGetCurrentDisplay();
    const Window target = glXGetCurrentDrawable();
    ASSERT_NE(glutDisplay, nullptr);

    SetView(16, 0, 2000);
    XKeyEvent event = {};
    event.type = KeyPress;
    event.display = glutDisplay;
    event.window = target;
    event.root = DefaultRootWindow(glutDisplay);
    event.keycode = keycode;
    event.state = kSecondGroup;
    event.same_screen = True;
    testing::internal::CaptureStdout();
    XSendEvent(glutDisplay, target, True, KeyPressMask, reinterpret_cast<XEvent*>(&event));
    XFlush(glutDisplay);
    for (int i = 0; i < 300 && View().scrollY == 2000; ++i) {  // at most about 3 s
        glutMainLoopEvent();
        if (View().scrollY == 2000) Sys_Sleep(10);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "246\n");
    EXPECT_EQ(View().scrollY, 2001);  // 'ц' is view up
    glutDestroyWindow(window);
}

}  // namespace
