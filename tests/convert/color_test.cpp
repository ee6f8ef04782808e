// Colour processing: brightness truncation and saturation, black levels,
// calibration and colour orders.
#include "convert/color.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/reference_color.h"

namespace {

uint8_t Bright(uint8_t value, uint8_t percent) {
    SetColorSettings({int(ColorOrder::RGB), {percent, percent, percent}, {0, 0, 0}});
    uint8_t rgb[3] = {value, value, value};
    ApplyBrightness(rgb);
    return rgb[0];
}

TEST(ColorProcessing, BrightnessDividesFirstAndSaturatesAbove255) {
    std::vector<int> lower;
    for (int v = 0; v < 256; ++v) {
        const uint8_t out = Bright(uint8_t(v), 100);
        EXPECT_TRUE(out == v || out == v - 1) << v;
        if (out != v) lower.push_back(v);
    }
    EXPECT_EQ(lower, (std::vector<int>{29, 57, 58, 113, 114, 115, 116, 201, 203, 205, 207, 226, 228,
                                       230, 232, 251, 253, 255}));
    // Above 100 %: the product is truncated, then held at 255 (a wrap would
    // turn the brightest values dark: 255 at 200 % kept only its low byte, 253).
    struct Case {
        uint8_t value, percent, expected;
    } cases[] = {{255, 200, 255}, {200, 150, 255}, {128, 255, 255}, {120, 200, 240},
                 {100, 255, 255}, {127, 200, 254}, {200, 50, 100},  {77, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(Bright(c.value, c.percent), c.expected) << int(c.value) << " " << int(c.percent);
}

TEST(ColorProcessing, BlackLevelPerChannel) {
    struct Case {
        uint8_t level, value, expected;
    } cases[] = {{10, 5, 0}, {10, 15, 5}, {10, 10, 0}, {255, 255, 0}, {0, 200, 200}, {0, 0, 0}};
    for (const Case& c : cases) {
        SetColorSettings({int(ColorOrder::RGB), {100, 100, 100}, {c.level, 0, 0}});
        uint8_t rgb[3] = {c.value, 7, 9};
        ApplyBlackLevel(rgb);
        EXPECT_EQ(rgb[0], c.expected) << int(c.level) << " " << int(c.value);
        EXPECT_EQ(rgb[1], 7);
        EXPECT_EQ(rgb[2], 9);
    }
    // Black level, then brightness: 15 - 10 = 5, kept at 100 %.
    SetColorSettings({int(ColorOrder::RGB), {100, 100, 100}, {10, 10, 10}});
    uint8_t rgb[3] = {15, 15, 15};
    ApplyBlackLevel(rgb);
    ApplyBrightness(rgb);
    EXPECT_EQ(rgb[0], 5);
}

TEST(ColorProcessing, OrdersAndOutOfRangeOrders) {
    struct Case {
        int order;
        uint8_t out[3];
    } cases[] = {{0, {1, 2, 3}}, {1, {1, 3, 2}}, {2, {2, 1, 3}}, {3, {2, 3, 1}},
                 {4, {3, 1, 2}}, {5, {3, 2, 1}}, {6, {0, 0, 0}}, {255, {0, 0, 0}}};
    const uint8_t rgb[3] = {1, 2, 3};
    for (const Case& c : cases) {
        uint8_t out[3] = {9, 9, 9};
        ReorderColor(rgb, c.order, out);
        EXPECT_EQ(out[0], c.out[0]) << c.order;
        EXPECT_EQ(out[1], c.out[1]) << c.order;
        EXPECT_EQ(out[2], c.out[2]) << c.order;
    }
    EXPECT_EQ(rgb[0], 1);  // input untouched
}

TEST(ColorProcessing, TablesMatchTheSteps) {
    ColorSettings calibrated = {int(ColorOrder::RGB), {100, 37, 250}, {3, 0, 200}};
    calibrated.gamma[0] = 2.2;
    calibrated.white[2] = 90;
    for (const ColorSettings& settings :
         {ColorSettings{int(ColorOrder::RGB), {100, 37, 250}, {3, 0, 200}}, calibrated}) {
        SetColorSettings(settings);
        uint8_t tables[3][256];
        ProgramChannelTables(tables);
        for (int v = 0; v < 256; ++v) {
            uint8_t rgb[3] = {uint8_t(v), uint8_t(v), uint8_t(v)};
            ApplyBlackLevel(rgb);
            ApplyBrightness(rgb);
            ApplyCalibration(rgb);
            for (int c = 0; c < 3; ++c) ASSERT_EQ(tables[c][v], rgb[c]) << c << " " << v;
        }
    }
    ResetColorSettings();
}

// Gamma 1 with white 100 % is no calibration: the tables are byte for byte
// those of the same settings without calibration, for any brightness and
// black level. Checked through the formula too, not only the shortcut.
TEST(ColorCalibration, NeutralSettingsKeepTheUncalibratedBytes) {
    SetColorSettings({int(ColorOrder::GRB), {100, 37, 250}, {3, 0, 200}});
    uint8_t plain[3][256];
    ProgramChannelTables(plain);
    ColorSettings neutral = {int(ColorOrder::GRB), {100, 37, 250}, {3, 0, 200}};
    for (int c = 0; c < 3; ++c) {
        neutral.gamma[c] = 1.0;
        neutral.white[c] = 100.0;
    }
    EXPECT_TRUE(CalibrationIsIdentity(neutral));
    SetColorSettings(neutral);
    uint8_t tables[3][256];
    ProgramChannelTables(tables);
    EXPECT_EQ(std::memcmp(plain, tables, sizeof plain), 0);
    for (int v = 0; v < 256; ++v) {
        // Just off the shortcut: the formula itself rounds back to v.
        EXPECT_EQ(CalibratedValue(uint8_t(v), 1.0 + 1e-12, 100.0), v) << v;
        EXPECT_EQ(CalibratedValue(uint8_t(v), 1.0, 100.0 - 1e-12), v) << v;
    }
    ResetColorSettings();
}

// out = floor(255 * (v / 255)^gamma * white / 100 + 0.5), held at 255.
TEST(ColorCalibration, KnownValuesForGamma22And28) {
    struct Case {
        uint8_t value;
        double gamma, white;
        uint8_t expected;
    } cases[] = {
        {0, 2.2, 100, 0},
        {1, 2.2, 100, 0},
        {16, 2.2, 100, 1},
        {32, 2.2, 100, 3},
        {64, 2.2, 100, 12},
        {128, 2.2, 100, 56},
        {192, 2.2, 100, 137},
        {254, 2.2, 100, 253},
        {255, 2.2, 100, 255},
        {255, 2.2, 50, 128},
        {128, 2.2, 80, 45},
        {200, 2.2, 100, 149},
        {0, 2.8, 100, 0},
        {16, 2.8, 100, 0},
        {32, 2.8, 100, 1},
        {64, 2.8, 100, 5},
        {128, 2.8, 100, 37},
        {192, 2.8, 100, 115},
        {254, 2.8, 100, 252},
        {255, 2.8, 100, 255},
        {255, 2.8, 50, 128},
        {128, 2.8, 80, 30},
        {200, 2.8, 100, 129},
        // White point alone, and a gamma below 1.
        {200, 1.0, 50, 100},
        {255, 1.0, 0, 0},
        {64, 0.5, 100, 128},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CalibratedValue(c.value, c.gamma, c.white), c.expected)
            << int(c.value) << " gamma " << c.gamma << " white " << c.white;

    // Per channel, after black level and brightness, before the colour order.
    ColorSettings settings = {int(ColorOrder::BGR), {100, 100, 200}, {0, 0, 28}};
    settings.gamma[0] = 2.2;
    settings.gamma[1] = 2.8;
    settings.white[2] = 50;
    SetColorSettings(settings);
    uint8_t rgb[3] = {128, 128, 128};
    ApplyBlackLevel(rgb);
    ApplyBrightness(rgb);
    ApplyCalibration(rgb);
    uint8_t out[3];
    ReorderColor(rgb, int(ColorOrder::BGR), out);
    // Blue: 128 - 28 = 100, 200 % = 200, white 50 % = 100.
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[1], 37);
    EXPECT_EQ(out[2], 56);
    ResetColorSettings();
}

TEST(ColorCalibration, OptionTexts) {
    struct Case {
        const char* text;
        bool gamma;  // else white
        bool ok;
        double values[3];
    } cases[] = {
        {"2.2", true, true, {2.2, 2.2, 2.2}},
        {"1", true, true, {1, 1, 1}},
        {"2.8,2.2,1.8", true, true, {2.8, 2.2, 1.8}},
        {"10", true, true, {10, 10, 10}},
        {".5", true, true, {0.5, 0.5, 0.5}},
        {"0", true, false, {}},
        {"0.0", true, false, {}},
        {"10.01", true, false, {}},
        {"-1", true, false, {}},
        {"2,2", true, false, {}},
        {"1,2,3,4", true, false, {}},
        {"1e0", true, false, {}},
        {"", true, false, {}},
        {"2..2", true, false, {}},
        {"nan", true, false, {}},
        {"100,90,80", false, true, {100, 90, 80}},
        {"0,0,0", false, true, {0, 0, 0}},
        {"95.5,100,100", false, true, {95.5, 100, 100}},
        {"100", false, false, {}},
        {"101,0,0", false, false, {}},
        {"100,,100", false, false, {}},
        {"100,90,80,", false, false, {}},
        {" 100,90,80", false, false, {}},
    };
    for (const Case& c : cases) {
        double out[3] = {7, 7, 7};
        const bool ok = c.gamma ? ParseGammaText(c.text, out) : ParseWhiteText(c.text, out);
        EXPECT_EQ(ok, c.ok) << c.text;
        for (int k = 0; k < 3; ++k)
            EXPECT_DOUBLE_EQ(out[k], c.ok ? c.values[k] : 7.0) << c.text << " " << k;
    }
}

}  // namespace
