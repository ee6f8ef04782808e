// The view, the window-to-grid conversion and the window's direct input:
// keys, button releases by edit mode, passive motion.
#include "app/view.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>

#include "app/edit.h"
#include "app/input.h"
#include "common/common.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "render/window.h"
#include "support/live_edits.h"
#include "support/stand_in_window.h"
#include "support/test_support.h"

namespace {

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        SetStandInWindow({0, 0, 640, 480});
    }
};

void SendEditMode(uint8_t mode) {
    uint8_t packet[2048] = {};
    WriteBE16(packet, 178);
    packet[3] = mode;
    testing::internal::CaptureStdout();  // the dispatcher's log lines
    DispatchCommand(packet, 4);
    testing::internal::GetCapturedStdout();
}

// What a key logs.
std::string Type(unsigned char key) {
    testing::internal::CaptureStdout();
    KeyboardInput(key, 0, 0);
    return testing::internal::GetCapturedStdout();
}

TEST_F(ViewTest, ScreenToGridWrapsIn16Bits) {
    struct Case {
        const char* name;
        int32_t c, height;
        uint16_t scrollX, scrollY;
        int32_t mouseX, mouseY;
        uint16_t column, row;
    };
    const Case cases[] = {
        {"top-left pixel at start", 16, 480, 0, 2047, 0, 0, 0, 2047},
        {"pixel (20, 40) at c = 16", 16, 480, 0, 2047, 20, 40, 1, 2045},
        {"last pixel of a cell", 16, 480, 0, 2047, 15, 15, 0, 2047},
        {"scrolled, c = 3", 3, 600, 100, 500, 7, 599, 102, 301},
        {"below row 0 wraps above 2047", 1, 480, 0, 5, 0, 10, 0, 65531},
        {"right of column 2047", 4, 480, 2047, 2047, 8, 0, 2049, 2047},
        {"negative mouse x wraps", 16, 480, 0, 2047, -1, 0, 4095, 2047},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetStandInWindow({0, 0, 640, t.height});
        SetView(t.c, t.scrollX, t.scrollY);
        const uint32_t cell = ScreenToGrid(PackWindowPosition(t.mouseX, t.mouseY));
        EXPECT_EQ(cell & 0xFFFF, t.column);
        EXPECT_EQ(cell >> 16, t.row);
    }
}

TEST_F(ViewTest, KeysScrollZoomAndLog) {
    struct Case {
        const char* name;
        ViewState before;
        unsigned char key;
        ViewState after;
        const char* log;
    };
    const Case cases[] = {
        {"'+' at 16 changes nothing, logs nothing", {16, 0, 2047}, '+', {16, 0, 2047}, ""},
        {"'=' zooms in silently", {4, 0, 2047}, '=', {5, 0, 2047}, ""},
        {"'-' zooms out", {4, 0, 2047}, '-', {3, 0, 2047}, "45\n"},
        {"'-' at 1 still logs", {1, 0, 2047}, '-', {1, 0, 2047}, "45\n"},
        {"'w' at the top row", {16, 0, 2047}, 'w', {16, 0, 2047}, "119\n"},
        {"'d' at the last column", {16, 2047, 2047}, 'd', {16, 2047, 2047}, "100\n"},
        {"'a' at column 0", {16, 0, 2047}, 'a', {16, 0, 2047}, "97\n"},
        {"Ctrl+Z without LEDs", {16, 0, 2047}, 26, {16, 0, 2047}, "26\n"},
        {"unhandled key logs its code", {16, 0, 2047}, 'x', {16, 0, 2047}, "120\n"},
        {"Cyrillic byte 200 is not a move", {16, 5, 100}, 200, {16, 5, 100}, "200\n"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetView(t.before.cellSize, t.before.scrollX, t.before.scrollY);
        EXPECT_EQ(Type(t.key), t.log);
        EXPECT_EQ(View().cellSize, t.after.cellSize);
        EXPECT_EQ(View().scrollX, t.after.scrollX);
        EXPECT_EQ(View().scrollY, t.after.scrollY);
    }
}

TEST_F(ViewTest, EveryAlternativeKeyMovesItsWay) {
    struct Direction {
        const char* name;
        std::string keys;
        int dx, dy;
    };
    const Direction directions[] = {
        {"up",
         "Ww\xD6\xF6"
         "F&",
         0, 1},
        {"down", "Ss\xDB\xFBK", 0, -1},
        {"left", "Aa\xD4\xF4", -1, 0},
        {"right", "Dd\xC2\xE2", 1, 0},
    };
    for (const Direction& d : directions) {
        for (unsigned char key : d.keys) {
            SCOPED_TRACE(std::string(d.name) + " key " + std::to_string(key));
            SetView(16, 1000, 1000);
            EXPECT_EQ(Type(key), std::to_string(key) + "\n");
            EXPECT_EQ(View().scrollX, 1000 + d.dx);
            EXPECT_EQ(View().scrollY, 1000 + d.dy);
        }
    }
}

TEST_F(ViewTest, ViewDownStopsAtTheLowestWholeRow) {
    SetStandInWindow({0, 0, 800, 600});  // R = 600 / 16 = 37
    for (int i = 0; i < 2100; ++i) Type('s');
    EXPECT_EQ(View().scrollY, 36);

    SetView(1, 0, 2047);  // a window taller than the grid cannot move down
    SetStandInWindow({0, 0, 800, 4000});
    Type('s');
    EXPECT_EQ(View().scrollY, 2047);

    SetView(16, 0, 2);  // never below 1
    SetStandInWindow({0, 0, 800, 10});
    Type('s');
    Type('s');
    EXPECT_EQ(View().scrollY, 1);
}

TEST_F(ViewTest, CtrlZUndoesTheCurrentPortsLastLed) {
    for (uint16_t port : {uint16_t(0), uint16_t(255)}) {
        SCOPED_TRACE(port);
        AddLed(port, {1, uint16_t(port)});
        AddLed(port, {2, uint16_t(port)});
        AddLed(7, {3, uint16_t(port)});
        SelectCurrentPort(port);
        EXPECT_EQ(Type(26), "26\n");
        EXPECT_EQ(ChainLength(port), 1);
        EXPECT_EQ(ChainLength(7), 1);
        EXPECT_EQ(CellAt(2, port).occupied, 0);
        ResetLayoutModel();
    }
}

TEST_F(ViewTest, ReleasesActByEditMode) {
    const int leftX = 20, topY = 40;  // cell (1, 2045) at c = 16
    // Start: EditMode 1, clicks switch LEDs and right clicks do nothing.
    AddLed(0, {1, 2045});
    AddLed(0, {2, 2045});
    MouseInput(GLUT_LEFT_BUTTON, GLUT_DOWN, leftX, topY);
    EXPECT_EQ(ActiveFlags(0)[0], 1);
    MouseInput(GLUT_LEFT_BUTTON, GLUT_UP, leftX, topY);
    EXPECT_EQ(ActiveFlags(0)[0], 0);
    EXPECT_EQ(ActiveFlags(0)[1], 0);
    MouseInput(GLUT_RIGHT_BUTTON, GLUT_UP, 100, topY);
    EXPECT_EQ(ChainLength(0), 2);

    ResetLayoutModel();
    SendEditMode(0);
    ASSERT_EQ(EditMode(), 0);
    MouseInput(GLUT_LEFT_BUTTON, GLUT_DOWN, leftX, topY);
    MouseInput(GLUT_MIDDLE_BUTTON, GLUT_UP, leftX, topY);
    EXPECT_EQ(ChainLength(0), 0);
    MouseInput(GLUT_LEFT_BUTTON, GLUT_UP, leftX, topY);
    ASSERT_EQ(ChainLength(0), 1);
    EXPECT_EQ(CellAt(1, 2045).occupied, 1);
    MouseInput(GLUT_RIGHT_BUTTON, GLUT_UP, 4 * 16 + 3, topY);  // run to (4, 2045)
    EXPECT_EQ(ChainLength(0), 4);
    EXPECT_EQ(CellAt(4, 2045).index, 3);
}

TEST_F(ViewTest, PassiveMotionAloneMovesTheReadout) {
    PassiveMotionInput(33, 44);
    MouseInput(GLUT_LEFT_BUTTON, GLUT_UP, 100, 200);
    EXPECT_EQ(LastMousePosition().x, 33);
    EXPECT_EQ(LastMousePosition().y, 44);
}

}  // namespace
