// Per-port current of the output values, its limit, and the CSV report.
#include "convert/power.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/file_io.h"

namespace {

void Count(PortPower* power, uint64_t sum, int32_t frameIndex) {
    if (power->peakFrame < 0 || sum > power->peakSum) {
        power->peakSum = sum;
        power->peakFrame = frameIndex;
    }
    power->totalSum += sum;
}

uint64_t ByteSum(const uint8_t* bytes, size_t size) {
    uint64_t sum = 0;
    for (size_t k = 0; k < size; ++k) sum += bytes[k];
    return sum;
}

// Scales `size` bytes by limit / sum (limit < sum), each rounded down, so
// that bytes summing to `sum` sum to at most `limit` after.
void ScaleDown(uint8_t* bytes, size_t size, uint64_t sum, uint64_t limit) {
    uint8_t scaled[256];
    for (uint64_t v = 0; v < 256; ++v) scaled[v] = uint8_t(v * limit / sum);
    for (size_t k = 0; k < size; ++k) bytes[k] = scaled[bytes[k]];
}

void Row(std::string* text, const PowerMeter& meter, const char* name, uint32_t leds,
         const PortPower& power) {
    const double frames = double(std::max<int64_t>(meter.frames, 1));
    const double peak = PowerAmps(meter, power.peakSum);
    const double mean = PowerAmps(meter, power.totalSum) / frames;
    char line[256];
    std::snprintf(line, sizeof line, "%s,%u,%.3f,%d,%.3f,%.2f,%.2f,%lld\n", name, leds, peak,
                  power.peakFrame, mean, peak * meter.settings.volts, mean * meter.settings.volts,
                  (long long)power.limitedFrames);
    *text += line;
}

}  // namespace

double PowerAmps(const PowerMeter& meter, uint64_t sum) {
    return double(sum) * meter.settings.maPerChannel / 255.0 / 1000.0;
}

void StartPowerMeter(PowerMeter* meter, const PowerSettings& settings) {
    std::memset(meter, 0, sizeof *meter);
    meter->settings = settings;
    for (int port = 0; port < kPortCount; ++port) meter->port[port].peakFrame = -1;
    meter->show.peakFrame = -1;
    meter->limitSum = UINT64_MAX;
    if (settings.limitAmps > 0 && settings.maPerChannel > 0) {
        // The largest sum whose amps, computed as the report computes them,
        // stay within the limit.
        uint64_t sum = uint64_t(settings.limitAmps * 255000.0 / settings.maPerChannel);
        while (sum > 0 && PowerAmps(*meter, sum) > settings.limitAmps) --sum;
        while (PowerAmps(*meter, sum + 1) <= settings.limitAmps) ++sum;
        meter->limitSum = sum;
    }
}

void MeterFrameLeds(PowerMeter* meter, const uint16_t ledCount[kPortCount],
                    uint8_t* const values[kPortCount], uint32_t positions, int32_t frameIndex) {
    uint64_t show = 0;
    bool limited = false;
    for (int port = 0; port < kPortCount; ++port) {
        meter->ledCount[port] = ledCount[port];
        uint8_t* bytes = values[port];
        if (bytes == nullptr || ledCount[port] == 0) continue;
        const size_t counted = size_t(std::min<uint32_t>(ledCount[port], positions)) * 3;
        uint64_t sum = ByteSum(bytes, counted);
        if (sum > meter->limitSum) {
            // The bytes the controller files carry past the chain take the
            // same factor.
            ScaleDown(bytes, size_t(positions) * 3, sum, meter->limitSum);
            sum = ByteSum(bytes, counted);
            ++meter->port[port].limitedFrames;
            limited = true;
        }
        Count(&meter->port[port], sum, frameIndex);
        show += sum;
    }
    Count(&meter->show, show, frameIndex);
    if (limited) ++meter->show.limitedFrames;
    ++meter->frames;
}

std::string PowerReportText(const PowerMeter& meter) {
    std::string text =
        "port,leds,peak_amps,peak_frame,mean_amps,peak_watts,mean_watts,limited_frames\n";
    uint32_t leds = 0;
    for (int port = 0; port < kPortCount; ++port) {
        if (meter.ledCount[port] == 0) continue;
        leds += meter.ledCount[port];
        Row(&text, meter, std::to_string(port + 1).c_str(), meter.ledCount[port], meter.port[port]);
    }
    Row(&text, meter, "all", leds, meter.show);
    return text;
}

bool WritePowerReport(const PowerMeter& meter, const char* path, std::string* error) {
    const std::string text = PowerReportText(meter);
    errno = 0;
    if (SaveFileReplacing(path, text.data(), text.size())) return true;
    *error = std::string(path) + ": cannot write the power report" +
             (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    return false;
}
