// The power meter on frames of known values: the amps, peaks, frames of the
// peaks and means of the report, and the limit, under which no port ever
// draws more than allowed, a frame within it keeps its bytes, and a frame
// above it loses no more than the rounding of one factor.
#include "convert/power.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct Frame {
    std::vector<uint8_t> bytes[kPortCount];
    uint8_t* values[kPortCount] = {};
};

void Fill(Frame* frame, int port, uint32_t positions, uint8_t value) {
    frame->bytes[port].assign(size_t(positions) * 3, value);
    frame->values[port] = frame->bytes[port].data();
}

uint64_t Sum(const uint8_t* bytes, size_t size) {
    uint64_t sum = 0;
    for (size_t k = 0; k < size; ++k) sum += bytes[k];
    return sum;
}

TEST(PowerMeter, KnownFramesGiveKnownAmps) {
    constexpr uint32_t kPositions = 10;
    uint16_t ledCount[kPortCount] = {};
    ledCount[0] = 10;
    ledCount[2] = 4;  // its positions 4..9 are not its LEDs
    static PowerMeter meter;
    StartPowerMeter(&meter, {20.0, 5.0, 0.0});
    const uint8_t port0[3] = {255, 51, 0}, port2[3] = {0, 255, 0};
    for (int f = 0; f < 3; ++f) {
        Frame frame;
        Fill(&frame, 0, kPositions, port0[f]);
        Fill(&frame, 2, kPositions, port2[f]);
        frame.bytes[2][3 * 4] = 255;  // past the chain: not counted
        MeterFrameLeds(&meter, ledCount, frame.values, kPositions, f);
    }
    // Port 1: 30 channels at 20 mA, then a fifth of that. Port 3: 12
    // channels in frame 1. The show: 0.6 A, 0.36 A, 0.
    EXPECT_EQ(PowerReportText(meter),
              "port,leds,peak_amps,peak_frame,mean_amps,peak_watts,mean_watts,limited_frames\n"
              "1,10,0.600,0,0.240,3.00,1.20,0\n"
              "3,4,0.240,1,0.080,1.20,0.40,0\n"
              "all,14,0.600,0,0.320,3.00,1.60,0\n");
    EXPECT_DOUBLE_EQ(PowerAmps(meter, meter.show.peakSum), 0.6);

    StartPowerMeter(&meter, {12.5, 12.0, 0.0});
    Frame frame;
    Fill(&frame, 0, kPositions, 255);
    Fill(&frame, 2, kPositions, 0);
    MeterFrameLeds(&meter, ledCount, frame.values, kPositions, 0);
    EXPECT_EQ(PowerReportText(meter),
              "port,leds,peak_amps,peak_frame,mean_amps,peak_watts,mean_watts,limited_frames\n"
              "1,10,0.375,0,0.375,4.50,4.50,0\n"
              "3,4,0.000,0,0.000,0.00,0.00,0\n"
              "all,14,0.375,0,0.375,4.50,4.50,0\n");
}

TEST(PowerMeter, LimitKeepsEveryPortWithinItAndFramesUnderItUnchanged) {
    constexpr uint32_t kPositions = 50;
    uint16_t ledCount[kPortCount] = {};
    ledCount[0] = 50;
    ledCount[7] = 20;
    ledCount[255] = 1;
    const struct {
        double ma, limit;
    } cases[] = {{20.0, 0.5}, {20.0, 0.05}, {12.5, 1.3}, {60.0, 0.001}, {20.0, 100.0}};
    for (const auto& c : cases) {
        static PowerMeter meter;
        StartPowerMeter(&meter, {c.ma, 5.0, c.limit});
        cv::RNG rng(7);
        int64_t over[kPortCount] = {};
        for (int f = 0; f < 40; ++f) {
            Frame frame;
            for (const int port : {0, 7, 255}) {
                Fill(&frame, port, kPositions, 0);
                // Dark, dim and bright frames.
                const int top = f % 4 == 0 ? 1 : f % 4 == 1 ? 40 : 256;
                for (uint8_t& b : frame.bytes[port]) b = uint8_t(rng.uniform(0, top));
            }
            Frame before = frame;
            MeterFrameLeds(&meter, ledCount, frame.values, kPositions, f);
            for (const int port : {0, 7, 255}) {
                const std::vector<uint8_t>& was = before.bytes[port];
                const std::vector<uint8_t>& now = frame.bytes[port];
                const size_t own = size_t(ledCount[port]) * 3;
                const uint64_t wanted = Sum(was.data(), own), drawn = Sum(now.data(), own);
                const std::string where =
                    "port " + std::to_string(port) + ", frame " + std::to_string(f);
                EXPECT_LE(PowerAmps(meter, drawn), c.limit) << where;
                if (PowerAmps(meter, wanted) <= c.limit) {
                    EXPECT_EQ(now, was) << where;
                    continue;
                }
                ++over[port];
                // One factor for all channels: never brighter, and no more
                // than one step lost to rounding per channel of the port.
                size_t lit = 0;
                for (size_t k = 0; k < was.size(); ++k) {
                    EXPECT_LE(now[k], was[k]) << where;
                    lit += was[k] != 0;
                }
                EXPECT_GE(drawn + lit, meter.limitSum) << where;
            }
        }
        for (const int port : {0, 7, 255})
            EXPECT_EQ(meter.port[port].limitedFrames, over[port]) << "port " << port;
        EXPECT_LE(PowerAmps(meter, meter.port[0].peakSum), c.limit);
    }
}

}  // namespace
