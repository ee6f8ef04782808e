// The window size a redraw holds: the drawing steps read it many times per
// redraw, and it must stay the size the viewport was set from (the window
// system's answers come from the tests' stand-in).
#include "render/window.h"

#include <gtest/gtest.h>

#include "support/stand_in_window.h"

namespace {

TEST(WindowSize, HeldForARedrawThenLiveAgain) {
    SetStandInWindow({0, 0, 800, 600});
    HoldWindowSize();
    SetStandInWindow({0, 0, 1024, 768});  // the window changes during the redraw
    EXPECT_EQ(WindowWidth(), 800);
    EXPECT_EQ(WindowHeight(), 600);
    ReleaseWindowSize();
    EXPECT_EQ(WindowWidth(), 1024);
    EXPECT_EQ(WindowHeight(), 768);
    SetStandInWindow({0, 0, 640, 480});
}

}  // namespace
