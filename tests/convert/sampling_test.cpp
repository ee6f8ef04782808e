// Area sampling against the pixel under each LED and against the sRGB
// formulas: dense LEDs keep their pixel exactly, a one-cell checkerboard
// averages to mid-grey in linear light, cells outside the frame are black,
// and a thin line moving across spaced LEDs lights each LED it passes at
// one steady level instead of strobing; every path of the per-frame pass
// gives the bytes of the cell-by-cell reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "convert/color.h"
#include "convert/led_footprint.h"
#include "convert/led_map.h"
#include "model/layout.h"
#include "support/edits.h"
#include "support/reference_area.h"
#include "support/test_support.h"

namespace {

// An LED of `port` on picture pixel (x, y), y from the top.
void AddPictureLed(int port, int x, int y) {
    AddLed(port, {uint16_t(x), uint16_t(kGridMax - y)});
}

// Each channel's value unchanged, in RGB order.
void IdentityParts(LedParts parts) {
    for (uint32_t v = 0; v < 256; ++v) {
        parts[0][v] = v;
        parts[1][v] = v << 8;
        parts[2][v] = v << 16;
    }
}

// The bytes of `port` for `frame`, `positions` LEDs long.
std::vector<uint8_t> Sample(const cv::Mat& frame, SampleMode mode, int port, uint32_t positions) {
    std::unique_ptr<LedMap> map(new LedMap());
    std::unique_ptr<LedFootprints> footprints(new LedFootprints());
    LedParts parts;
    IdentityParts(parts);
    std::vector<uint8_t> bytes(size_t(positions) * 3, 0xEE);
    uint8_t* values[kPortCount] = {};
    values[port] = bytes.data();
    UpdateLedMap(map.get(), frame.cols, frame.rows);
    if (mode == SampleMode::Point) {
        MapFrameLeds(*map, frame.ptr<uint8_t>(0), parts, positions, values);
    } else {
        EXPECT_TRUE(UpdateLedFootprints(footprints.get(), *map));
        EXPECT_FALSE(UpdateLedFootprints(footprints.get(), *map));  // kept while nothing changes
        AreaFrameLeds(*footprints, frame.ptr<uint8_t>(0), parts, positions, values);
    }
    return bytes;
}

// sRGB encoding of linear light 0..1, rounded to 8 bits.
int Encoded(double linear) {
    const double c =
        linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return int(std::lround(c * 255.0));
}

// The transfer to linear light and back as the area mean shows it:
// footprints of one colour keep every 8-bit value exactly, and footprints
// half white, half black are 0.5 in linear light, encoded exactly.
TEST(AreaSampling, TransferRoundTripsEveryValue) {
    ResetRunState();
    for (int k = 0; k < 4; ++k) AddPictureLed(0, 4 + 3 * k, 4);   // footprints of 3 x 3 cells
    for (int k = 0; k < 4; ++k) AddPictureLed(1, 4 + 2 * k, 10);  // of 2 x 2 cells
    cv::Mat frame(14, 20, CV_8UC3);
    for (int v = 0; v < 256; ++v) {
        frame.setTo(cv::Scalar(v, 255 - v, (v * 37) % 256));
        EXPECT_EQ(Sample(frame, SampleMode::Area, 0, 4), Sample(frame, SampleMode::Point, 0, 4))
            << v;
    }
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x)
            frame.at<cv::Vec3b>(y, x) = (x + y) % 2 == 0 ? cv::Vec3b(255, 255, 255) : cv::Vec3b();
    EXPECT_EQ(Sample(frame, SampleMode::Area, 1, 4), std::vector<uint8_t>(12, Encoded(0.5)));
    ResetLayoutModel();
}

TEST(AreaSampling, FootprintSideIsTheDistanceToTheNearestOtherLed) {
    ResetRunState();
    // Port 0: a lone LED; port 1: a row 3 apart; port 2: a diagonal pair;
    // port 3: one LED 5 from another LED.
    AddPictureLed(0, 100, 100);
    for (int k = 0; k < 4; ++k) AddPictureLed(1, 300 + 3 * k, 10);
    AddPictureLed(2, 500, 500);
    AddPictureLed(2, 502, 502);
    AddPictureLed(4, 705, 700);
    AddPictureLed(3, 700, 700);
    const struct {
        int x, y, side;
    } cases[] = {
        {100, 100, kMaxFootprintSide}, {300, 10, 3}, {306, 10, 3}, {500, 500, 3}, {700, 700, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(FootprintSide(c.x, kGridMax - c.y), c.side) << c.x << "," << c.y;
    ResetLayoutModel();
}

// LEDs on neighbouring cells have one-cell footprints: the area mean is the
// pixel itself, so the bytes are the LED map's.
TEST(AreaSampling, DenseLedsGiveTheBytesOfThePixelUnderThem) {
    ResetRunState();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) AddPictureLed(0, x + 3, y + 2);
    AddPictureLed(0, 40, 2);  // outside the frame
    SetActiveRange(0, 10, 12, 0);
    cv::Mat frame(9, 12, CV_8UC3);
    cv::randu(frame, 0, 256);
    const uint32_t positions = ChainLength(0) + 2;
    EXPECT_EQ(Sample(frame, SampleMode::Area, 0, positions),
              Sample(frame, SampleMode::Point, 0, positions));
    ResetLayoutModel();
}

TEST(AreaSampling, OneCellCheckerboardIsMidGreyInLinearLight) {
    ResetRunState();
    // Port 0: LEDs 2 apart; port 1: 4 apart; port 2: 2 apart in the frame's
    // corner, its footprint one cell in the frame and three outside.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) AddPictureLed(0, 10 + 2 * x, 10 + 2 * y);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) AddPictureLed(1, 30 + 4 * x, 30 + 4 * y);
    AddPictureLed(2, 0, 0);
    AddPictureLed(2, 2, 0);
    cv::Mat frame(48, 48, CV_8UC3);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x)
            frame.at<cv::Vec3b>(y, x) = (x + y) % 2 == 0 ? cv::Vec3b(255, 255, 255) : cv::Vec3b();
    const struct {
        int port;
        int expected;  // every channel of the first LED
    } cases[] = {{0, Encoded(0.5)}, {1, Encoded(0.5)}, {2, Encoded(0.25)}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes =
            Sample(frame, SampleMode::Area, c.port, ChainLength(c.port));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(bytes[k], c.expected, 1) << "port " << c.port;
        if (c.port == 2) continue;
        for (uint8_t b : bytes) EXPECT_EQ(b, bytes[0]) << "port " << c.port;
    }
    EXPECT_EQ(Encoded(0.5), 188);
    ResetLayoutModel();
}

// A one-pixel white column stepping one cell per frame across a row of LEDs
// `spacing` apart: with area sampling every frame lights exactly one LED,
// always at the level of a line covering 1/spacing of its footprint, and
// every LED it passes gets lit.
TEST(AreaSampling, MovingThinLineLightsEveryLedItPassesSteadily) {
    for (const int spacing : {2, 3, 4, 5, 8}) {
        ResetRunState();
        constexpr int kLeds = 8, kLeft = 9, kRow = 12;
        for (int k = 0; k < kLeds; ++k) AddPictureLed(0, kLeft + k * spacing, kRow);
        const int expected = Encoded(1.0 / spacing);
        std::vector<int> litFrames(kLeds, 0);
        const int first = kLeft - spacing / 2, last = first + kLeds * spacing;
        for (int column = first; column < last; ++column) {
            cv::Mat frame(kRow + 40, kLeft + kLeds * spacing + 40, CV_8UC3, cv::Scalar::all(0));
            frame.col(column).setTo(cv::Scalar::all(255));
            const std::vector<uint8_t> bytes = Sample(frame, SampleMode::Area, 0, kLeds);
            int lit = 0;
            for (int k = 0; k < kLeds; ++k) {
                if (bytes[3 * k] == 0) continue;
                ++lit;
                ++litFrames[k];
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(bytes[3 * k + c], expected, 1)
                        << "spacing " << spacing << ", column " << column;
            }
            EXPECT_EQ(lit, 1) << "spacing " << spacing << ", column " << column;
        }
        for (int k = 0; k < kLeds; ++k)
            EXPECT_EQ(litFrames[k], spacing) << "spacing " << spacing << ", LED " << k;
        ResetLayoutModel();
    }
}

// Layouts that reach every path of the frame pass (single pixels, 2 x 2
// squares inside the frame and in runs along a row, footprints cut by the
// frame's edges, large and odd sides, dark LEDs) against the reference, on
// noise, where any mix-up of pixels or channels shows; with and without
// the wide instructions.
TEST(AreaSampling, FramePassGivesTheReferenceBytes) {
    const struct {
        int spacingX, spacingY, columns, rows;
    } lattices[] = {{1, 1, 9, 5}, {2, 2, 40, 13}, {2, 3, 11, 7}, {3, 3, 9, 9},
                    {5, 4, 7, 6}, {9, 9, 5, 4},   {2, 2, 3, 1}};
    cv::Mat frame(61, 83, CV_8UC3);
    cv::randu(frame, 0, 256);
    for (const auto& lattice : lattices) {
        ResetRunState();
        // Port 0: the lattice from the frame's top-left corner (footprints
        // cut by the top and left edges); port 1: the same reaching past
        // the right and bottom edges; port 2: a lone LED.
        for (int y = 0; y < lattice.rows; ++y)
            for (int x = 0; x < lattice.columns; ++x) {
                AddPictureLed(0, x * lattice.spacingX, y * lattice.spacingY);
                AddPictureLed(1, frame.cols - 1 - (lattice.columns - 1 - x) * lattice.spacingX,
                              frame.rows + 1 - (lattice.rows - 1 - y) * lattice.spacingY);
            }
        AddPictureLed(2, frame.cols / 2, 200);
        AddPictureLed(2, frame.cols / 2, frame.rows / 2);
        SetActiveRange(0, 3, 5, 0);
        std::unique_ptr<LedMap> map(new LedMap());
        std::unique_ptr<LedFootprints> footprints(new LedFootprints());
        LedParts parts;
        BuildLedParts({int(ColorOrder::BRG), {90, 100, 70}, {4, 0, 2}}, parts);
        UpdateLedMap(map.get(), frame.cols, frame.rows);
        UpdateLedFootprints(footprints.get(), *map);
        const uint32_t positions = uint32_t(lattice.columns * lattice.rows) + 3;
        std::vector<uint8_t> bytes(size_t(kPortCount) * positions * 3, 0xEE);
        std::vector<uint8_t> expected(bytes.size(), 0x11);
        uint8_t* values[kPortCount] = {};
        uint8_t* reference[kPortCount] = {};
        for (int port = 0; port < 3; ++port) {
            values[port] = bytes.data() + size_t(port) * positions * 3;
            reference[port] = expected.data() + size_t(port) * positions * 3;
        }
        ReferenceAreaFrameLeds(*footprints, frame.ptr<uint8_t>(0), parts, positions, reference);
        for (const bool wide : {false, true}) {
            AllowWideAreaPass(wide);
            AreaFrameLeds(*footprints, frame.ptr<uint8_t>(0), parts, positions, values);
            for (int port = 0; port < 3; ++port)
                for (uint32_t k = 0; k < positions * 3; ++k)
                    ASSERT_EQ(int(values[port][k]), int(reference[port][k]))
                        << "spacing " << lattice.spacingX << " x " << lattice.spacingY
                        << (wide ? ", wide" : ", plain") << ", port " << port << ", LED " << k / 3
                        << ", byte " << k % 3;
        }
    }
    ResetLayoutModel();
}

}  // namespace
