// The scene drawn into a real window: grid dots, LEDs, rings, the first
// LED's shape, chain lines, the bounding frame label and the read-out.
#include "render/scene.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>

#include "app/input.h"
#include "app/view.h"
#include "common/common.h"
#include "common/packet.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "render/background.h"
#include "render/gl_window.h"
#include "render/settings.h"
#include "support/live_edits.h"
#include "support/test_support.h"
#include "support/text_recorder.h"

namespace {

constexpr Rgb kBackground = {0, 0, 0};
constexpr Rgb kDots = {255, 255, 0};
constexpr Rgb kFrame = {0, 0, 255};
constexpr Rgb kLine = {0, 255, 0};
constexpr Rgb kChain = {200, 40, 10};

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        EnsureTestWindow();
        SetSettingsColor(SettingsColor::Background, 0, 0, 0);
        SetSettingsColor(SettingsColor::GridDot, kDots.r, kDots.g, kDots.b);
        SetSettingsColor(SettingsColor::Frame, kFrame.r, kFrame.g, kFrame.b);
        SetSettingsColor(SettingsColor::ChainLine, kLine.r, kLine.g, kLine.b);
        SetChainColor(0, kChain.r, kChain.g, kChain.b);
        SetActiveRange(0, 0, kChainCapacity, 1);
        SetView(16, 0, 2047);
        RecordDrawnTexts();
    }
    void TearDown() override { ResetRunState(); }

    // Centre pixel of a cell at cell size 16, scroll (0, 2047).
    static int CentreX(int x) { return x * 16 + 8; }
    static int CentreY(int y) { return kTestWindowHeight - (2047 - y + 1) * 16 + 8; }

    static std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const DrawnText& t : DrawnTexts()) texts.push_back(t.text);
        return texts;
    }

    ScopedTempDir dir_;  // the redraw saves the window geometry
};

TEST_F(SceneTest, GridDotsEveryCellFromTheTopLeftOnlyAboveThreePixels) {
    struct Case {
        int cellSize;
        bool dots;
    };
    for (Case one : {Case{4, true}, Case{5, true}, Case{3, false}, Case{1, false}}) {
        SCOPED_TRACE(one.cellSize);
        SetView(one.cellSize, 0, 2047);
        RenderScene();
        const int c = one.cellSize;
        const int top = kTestWindowHeight - 1;
        const Rgb dot = one.dots ? Lit(kDots) : kBackground;
        EXPECT_TRUE(Near(PixelAt(0, top), dot));
        EXPECT_TRUE(Near(PixelAt(c, top), dot));
        EXPECT_TRUE(Near(PixelAt(10 * c, top - 7 * c), dot));
        EXPECT_EQ(PixelAt(1, top), kBackground);
        EXPECT_EQ(PixelAt(c, top - 1), kBackground);
        EXPECT_EQ(PixelAt(c + 1, top - c), kBackground);
    }
}

TEST_F(SceneTest, LedsShowChainColorRingsAndTheFirstLedsShape) {
    AddLed(0, {2, 2045});
    AddLed(0, {5, 2045});
    AddLed(0, {8, 2045});
    SetActiveRange(0, 2, 3, 0);  // the third LED is dark
    RenderScene();

    // Centres: the first two lit in the chain colour, the dark one's hole
    // shows the background while its rim (radius 6 of 7) has the colour.
    EXPECT_TRUE(Near(PixelAt(CentreX(2), CentreY(2045)), Lit(kChain)));
    EXPECT_TRUE(Near(PixelAt(CentreX(5), CentreY(2045)), Lit(kChain)));
    EXPECT_EQ(PixelAt(CentreX(8), CentreY(2045)), kBackground);
    EXPECT_EQ(PixelAt(CentreX(8) + 3, CentreY(2045)), kBackground);
    EXPECT_TRUE(Near(PixelAt(CentreX(8), CentreY(2045) + 6), Lit(kChain)));

    // 4 pixels right and up of the centre (6.4 from it): inside a 12-sided
    // disk of radius 7, outside the four-cornered one.
    EXPECT_EQ(PixelAt(CentreX(2) + 4, CentreY(2045) + 4), kBackground);
    EXPECT_TRUE(Near(PixelAt(CentreX(5) + 4, CentreY(2045) + 4), Lit(kChain)));

    // The chain line runs between the LEDs, on one of the two pixel rows at
    // the centre height; its ends are hidden under the LEDs drawn first.
    const int midX = (CentreX(2) + CentreX(5)) / 2;
    const Rgb upper = PixelAt(midX, CentreY(2045));
    const Rgb lower = PixelAt(midX, CentreY(2045) - 1);
    EXPECT_TRUE(Near(upper, Lit(kLine)) || Near(lower, Lit(kLine)));
    EXPECT_EQ(PixelAt(midX, CentreY(2045) + 3), kBackground);
}

TEST_F(SceneTest, SquareShapeFillsTheCellAndHidesTheLedState) {
    uint8_t packet[kPacketSize] = {};
    WriteBE16(packet, 172);
    DispatchCommand(packet, 4);
    AddLed(0, {2, 2045});
    AddLed(0, {3, 2045});
    SetActiveRange(0, 1, 2, 0);
    RenderScene();
    // Cells (2, 2045) and (3, 2045): columns 32..63, rows 432..447; the
    // outermost pixels carry the frame and the grid dots, drawn in front.
    for (int x : {33, 46, 49, 62}) {
        for (int y : {433, 446}) EXPECT_TRUE(Near(PixelAt(x, y), Lit(kChain))) << x << "," << y;
    }
    EXPECT_EQ(PixelAt(66, 440), kBackground);
    EXPECT_EQ(PixelAt(40, 450), kBackground);
}

TEST_F(SceneTest, BoundingFrameLabelsTheLayoutSize) {
    AddLed(0, {10, 100});
    AddLed(0, {21, 107});
    SetView(16, 0, 110);
    RenderScene();

    // Frame: left 160, right 336 (+16), bottom 480 - 11 * 16 = 304, top 432.
    ASSERT_EQ(DrawnTexts().size(), 4u);  // three labels and the left read-out
    const DrawnText* labels = DrawnTexts().data();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(labels[i].text, "12x8");
    EXPECT_FLOAT_EQ(labels[0].x, 356.0f);
    EXPECT_FLOAT_EQ(labels[0].y, 417.0f);
    EXPECT_FLOAT_EQ(labels[1].x, 356.0f);
    EXPECT_FLOAT_EQ(labels[1].y, 284.0f);
    EXPECT_FLOAT_EQ(labels[2].x, 165.0f);
    EXPECT_FLOAT_EQ(labels[2].y, 284.0f);
    EXPECT_FLOAT_EQ(labels[0].z, 0.3f);

    const Rgb left = PixelAt(160, 350);
    const Rgb leftInner = PixelAt(159, 350);
    EXPECT_TRUE(Near(left, Lit(kFrame)) || Near(leftInner, Lit(kFrame)));
    const LayoutBoundsRecord bounds = LastLayoutBounds();
    EXPECT_EQ(bounds.minX, 10u);
    EXPECT_EQ(bounds.maxX, 21u);
    EXPECT_EQ(bounds.maxY, 107u);
    EXPECT_EQ(bounds.minY, 100u);

    // With no LED left the frame goes and the last bounds stay.
    ResetLayoutModel();
    ClearDrawnTexts();
    RenderScene();
    EXPECT_EQ(Texts().size(), 1u);
    EXPECT_EQ(LastLayoutBounds().maxX, 21u);
}

TEST_F(SceneTest, ReadoutNamesTheCellAndTheLedUnderTheMouse) {
    AddLed(0, {0, 2047});
    PassiveMotionInput(3, 3);  // inside the top-left cell
    RenderScene();

    const std::vector<std::string> texts = Texts();
    ASSERT_EQ(texts.size(), 3u);  // frame label 1x1, then the two read-outs
    EXPECT_EQ(texts[1], "X=1  Y=1");
    EXPECT_EQ(texts[2], "Port=1 Position=1 ");
    EXPECT_FLOAT_EQ(DrawnTexts()[2].x, 4.0f);
    // Boxes in dark grey at the bottom corners, text in white above them.
    EXPECT_TRUE(Near(PixelAt(148, 19), Lit(Rgb{51, 51, 51})));
    EXPECT_TRUE(Near(PixelAt(kTestWindowWidth - 3, 19), Lit(Rgb{51, 51, 51})));

    // Over an empty cell only the left box.
    PassiveMotionInput(3 + 16 * 4, 3 + 16 * 2);
    ClearDrawnTexts();
    RenderScene();
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[1], "X=5  Y=3");
    EXPECT_EQ(PixelAt(kTestWindowWidth - 3, 19), kBackground);

    // Scrolled to row 0, five rows below it the row wraps to 65531: the
    // read-out gives it signed.
    SetView(16, 0, 0);
    PassiveMotionInput(3, 3 + 16 * 5);
    ClearDrawnTexts();
    RenderScene();
    ASSERT_GE(Texts().size(), 1u);
    EXPECT_EQ(Texts().back(), "X=1  Y=-63483");
}

}  // namespace
