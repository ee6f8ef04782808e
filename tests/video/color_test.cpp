// Colour processing: brightness truncation, black levels and colour orders.
#include "video/color.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint8_t Bright(uint8_t value, uint8_t percent) {
    SetColorSettings({int(ColorOrder::RGB), {percent, percent, percent}, {0, 0, 0}});
    uint8_t rgb[3] = {value, value, value};
    ApplyBrightness(rgb);
    return rgb[0];
}

TEST(ColorProcessing, BrightnessDividesFirstAndKeepsLowByte) {
    std::vector<int> lower;
    for (int v = 0; v < 256; ++v) {
        const uint8_t out = Bright(uint8_t(v), 100);
        EXPECT_TRUE(out == v || out == v - 1) << v;
        if (out != v) lower.push_back(v);
    }
    EXPECT_EQ(lower, (std::vector<int>{29, 57, 58, 113, 114, 115, 116, 201, 203, 205, 207, 226, 228,
                                       230, 232, 251, 253, 255}));
    EXPECT_EQ(Bright(255, 200), 253);
    EXPECT_EQ(Bright(200, 50), 100);
    EXPECT_EQ(Bright(77, 0), 0);
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

TEST(ColorProcessing, TablesMatchTheThreeSteps) {
    SetColorSettings({int(ColorOrder::RGB), {100, 37, 250}, {3, 0, 200}});
    const uint8_t(*tables)[256] = ChannelTables();
    for (int v = 0; v < 256; ++v) {
        uint8_t rgb[3] = {uint8_t(v), uint8_t(v), uint8_t(v)};
        ApplyBlackLevel(rgb);
        ApplyBrightness(rgb);
        for (int c = 0; c < 3; ++c) ASSERT_EQ(tables[c][v], rgb[c]) << c << " " << v;
    }
    ResetColorSettings();
}

}  // namespace
