// The current the LEDs of each port draw, frame by frame, from the final
// output values (after every colour step): each channel draws in
// proportion to its value, `maPerChannel` at 255. The meter keeps per port
// and for the whole show the peak with its frame and the mean, and can
// limit each port: a frame that would make a port draw more than the limit
// has all that port's channels scaled by one factor, rounded down, so that
// it draws at most the limit. The report is a CSV file.
#pragma once

#include <cstdint>
#include <string>

#include "model/layout.h"

struct PowerSettings {
    double maPerChannel;  // mA of one channel at value 255, > 0
    double volts;         // supply voltage, for the watts of the report
    double limitAmps;     // per port; 0 = no limit
};

// Current as the sum of channel values of a frame (amps = sum x
// maPerChannel / 255 / 1000).
struct PortPower {
    uint64_t peakSum;
    int32_t peakFrame;  // frame index of the first peak; -1 before any frame
    uint64_t totalSum;  // over all frames, for the mean
    int64_t limitedFrames;
};

struct PowerMeter {
    PowerSettings settings;
    uint64_t limitSum;  // the largest sum a port may draw; UINT64_MAX without a limit
    uint16_t ledCount[kPortCount];
    PortPower port[kPortCount];
    PortPower show;  // all ports together; its limited frames: any port limited
    int64_t frames;
};

// Empties the meter for a run with `settings`.
void StartPowerMeter(PowerMeter* meter, const PowerSettings& settings);

// One frame of the conversion: values[port] (nullptr for a port without
// LEDs) holds 3 x `positions` bytes, of which the port's own `ledCount`
// LEDs are counted; a port above the limit has all its bytes scaled first.
void MeterFrameLeds(PowerMeter* meter, const uint16_t ledCount[kPortCount],
                    uint8_t* const values[kPortCount], uint32_t positions, int32_t frameIndex);

// Amps of a channel sum under the meter's settings.
double PowerAmps(const PowerMeter& meter, uint64_t sum);

// The report: a header line, one row per port with LEDs (port numbered
// 1..256 as in the controller file names), then the row "all".
std::string PowerReportText(const PowerMeter& meter);
// Writes the report to `path` (replacing it whole); false with `error`
// naming the file.
bool WritePowerReport(const PowerMeter& meter, const char* path, std::string* error);
