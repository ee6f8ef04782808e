// The shared options of the command-line programs and their progress line.
#include "tools/tool_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/core/utils/logger.hpp>

namespace {

const char* const kOrderNames[6] = {"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"};
const char* const kMethodNames[5] = {"nearest", "linear", "cubic", "area", "lanczos"};

bool ParseResize(const std::string& text, ResizeSettings* out);

// Decimal digits only (at most nine), no more than `maximum`.
bool ParseNumber(const std::string& text, long maximum, long* out) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    *out = std::strtol(text.c_str(), nullptr, 10);
    return *out <= maximum;
}

CLI::Validator Check(bool (*parse)(const std::string&), const char* description) {
    return CLI::Validator(
        [parse, description](std::string& text) -> std::string {
            return parse(text) ? std::string() : std::string("expected ") + description;
        },
        "");
}

bool IsOrder(const std::string& text) {
    int order;
    return ParseColorOrder(text, &order);
}
bool IsTriple(const std::string& text) {
    uint8_t values[3];
    return ParseColorTriple(text, values);
}
bool IsGamma(const std::string& text) {
    double values[3];
    return ParseGammaText(text.c_str(), values);
}
bool IsWhite(const std::string& text) {
    double values[3];
    return ParseWhiteText(text.c_str(), values);
}
bool IsResize(const std::string& text) {
    ResizeSettings resize;
    return ParseResize(text, &resize);
}
bool IsSample(const std::string& text) {
    return text == "point" || text == "area";
}
bool IsProgress(const std::string& text) {
    return text == "auto" || text == "bar" || text == "plain" || text == "none";
}

void FormatTime(double seconds, char* out, size_t size) {
    const long total = long(seconds + 0.5);
    if (total >= 3600)
        std::snprintf(out, size, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(out, size, "%ld:%02ld", total / 60, total % 60);
}

}  // namespace

bool ParseColorOrder(const std::string& text, int* order) {
    for (int k = 0; k < 6; ++k)
        if (text == kOrderNames[k]) {
            *order = k;
            return true;
        }
    return false;
}

bool ParseColorTriple(const std::string& text, uint8_t out[3]) {
    size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t comma = k < 2 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return false;
        long value;
        if (!ParseNumber(text.substr(start, comma - start), 255, &value)) return false;
        out[k] = uint8_t(value);
        start = comma + 1;
    }
    return true;
}

namespace {

// "WxH[:nearest|linear|cubic|area|lanczos]", sizes above 0, above 2048 cut
// to 2048 as the resize command does; linear when no method is named; false
// when the text is malformed.
bool ParseResize(const std::string& text, ResizeSettings* out) {
    const size_t cross = text.find('x');
    if (cross == std::string::npos) return false;
    const size_t colon = text.find(':', cross);
    long width, height;
    if (!ParseNumber(text.substr(0, cross), 999999999, &width) ||
        !ParseNumber(text.substr(cross + 1, colon == std::string::npos ? std::string::npos
                                                                       : colon - cross - 1),
                     999999999, &height) ||
        width <= 0 || height <= 0)
        return false;
    int method = 1;
    if (colon != std::string::npos) {
        method = -1;
        for (int k = 0; k < 5; ++k)
            if (text.compare(colon + 1, std::string::npos, kMethodNames[k]) == 0) method = k;
        if (method < 0) return false;
    }
    out->width = int32_t(std::min(width, 2048L));
    out->height = int32_t(std::min(height, 2048L));
    out->enabled = true;
    out->interpolation = uint8_t(method);
    return true;
}

}  // namespace

void AddColorOptions(CLI::App& app, ToolOptionTexts* texts) {
    app.add_option("--order", texts->order, "byte order of the LEDs: RGB RBG GRB GBR BRG BGR")
        ->check(Check(IsOrder, "one of RGB RBG GRB GBR BRG BGR"))
        ->capture_default_str();
    app.add_option("--brightness", texts->brightness, "R,G,B brightness in percent, 0..255 each")
        ->check(Check(IsTriple, "R,G,B with each 0..255"))
        ->capture_default_str();
    app.add_option("--black", texts->black, "R,G,B black level subtracted, 0..255 each")
        ->check(Check(IsTriple, "R,G,B with each 0..255"))
        ->capture_default_str();
    app.add_option("--gamma", texts->gamma,
                   "gamma curve after black level and brightness: G, or R,G,B per channel; "
                   "above 0, at most 10 (none by default)")
        ->check(Check(IsGamma, "G or R,G,B with each above 0 and at most 10"));
    app.add_option("--white", texts->white,
                   "white point after the gamma: R,G,B in percent, 0..100 each (none by default)")
        ->check(Check(IsWhite, "R,G,B with each 0..100"));
    app.add_option("--resize", texts->resize,
                   "resize every frame first: WxH[:nearest|linear|cubic|area|lanczos]")
        ->check(Check(IsResize, "WxH[:nearest|linear|cubic|area|lanczos] with sizes above 0"));
    app.add_option("--sample", texts->sample,
                   "point: each LED takes the pixel under it; area: the mean, in linear light, "
                   "of a square around it as wide as the distance to its nearest other LED")
        ->type_name("point|area")
        ->check(Check(IsSample, "point or area"))
        ->capture_default_str();
}

void AddPowerOptions(CLI::App& app, ToolOptionTexts* texts) {
    app.add_option("--power-report", texts->powerReport,
                   "write the current drawn per port (peak, its frame, mean) as CSV to FILE")
        ->type_name("FILE");
    app.add_option("--ma-per-channel", texts->maPerChannel,
                   "mA one colour channel of an LED draws at full value")
        ->check(CLI::Range(0.001, 10000.0))
        ->capture_default_str();
    app.add_option("--volts", texts->volts, "supply voltage, for the watts of the report")
        ->check(CLI::Range(0.001, 10000.0))
        ->capture_default_str();
    app.add_option("--limit-amps", texts->limitAmps,
                   "per port: dim a frame's port by one factor where it would draw more")
        ->check(CLI::Range(0.001, 1e6));
}

void AddProgressOption(CLI::App& app, ToolOptionTexts* texts) {
    app.add_option("--progress", texts->progress,
                   "auto: a bar on a terminal, else a line every 5 %; bar; plain; none")
        ->check(Check(IsProgress, "auto, bar, plain or none"))
        ->capture_default_str();
}

ConversionSettings SettingsFromOptions(const ToolOptionTexts& texts) {
    ConversionSettings settings = {};
    ParseColorOrder(texts.order, &settings.color.order);
    ParseColorTriple(texts.brightness, settings.color.brightness);
    ParseColorTriple(texts.black, settings.color.blackLevel);
    if (!texts.gamma.empty()) ParseGammaText(texts.gamma.c_str(), settings.color.gamma);
    if (!texts.white.empty()) ParseWhiteText(texts.white.c_str(), settings.color.white);
    if (!texts.resize.empty()) ParseResize(texts.resize, &settings.resize);
    settings.sample = texts.sample == "area" ? SampleMode::Area : SampleMode::Point;
    return settings;
}

bool PowerMeterWanted(const ToolOptionTexts& texts) {
    return !texts.powerReport.empty() || texts.limitAmps > 0;
}

PowerSettings PowerSettingsFromOptions(const ToolOptionTexts& texts) {
    return {texts.maPerChannel, texts.volts, texts.limitAmps};
}

std::string PowerSummary(const PowerMeter& meter) {
    const double peak = PowerAmps(meter, meter.show.peakSum);
    const double mean =
        PowerAmps(meter, meter.show.totalSum) / double(std::max<int64_t>(meter.frames, 1));
    char line[200];
    std::snprintf(line, sizeof line, "peak %.3f A (%.2f W) at frame %d, mean %.3f A", peak,
                  peak * meter.settings.volts, meter.show.peakFrame, mean);
    std::string text = line;
    if (meter.settings.limitAmps > 0)
        text += ", " + std::to_string(meter.show.limitedFrames) + " frames limited";
    return text;
}

ProgressStyle ProgressStyleFromOptions(const ToolOptionTexts& texts, bool terminal) {
    if (texts.progress == "bar") return ProgressStyle::Bar;
    if (texts.progress == "plain") return ProgressStyle::Plain;
    if (texts.progress == "none") return ProgressStyle::None;
    return terminal ? ProgressStyle::Bar : ProgressStyle::Plain;
}

void BeginProgressLine(ProgressLine* line, ProgressStyle style, const char* program) {
    line->style = style;
    line->program = program;
    line->lastStep = 0;
    line->drawn = false;
    line->start = std::chrono::steady_clock::now();
    line->lastDraw = line->start;
}

void UpdateProgressLine(ProgressLine* line, int32_t done, int32_t count) {
    if (line->style == ProgressStyle::None || count <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - line->start).count();
    const double fps = seconds > 0 ? done / seconds : 0.0;
    const int percent = int(int64_t(done) * 100 / count);
    if (line->style == ProgressStyle::Plain) {
        const int step = percent / 5;
        if (step <= line->lastStep) return;
        line->lastStep = step;
        std::fprintf(stderr, "%s: %d%% (%d of %d frames, %.1f fps)\n", line->program, step * 5,
                     done, count, fps);
        return;
    }
    if (done < count && line->drawn && now - line->lastDraw < std::chrono::milliseconds(100))
        return;
    line->lastDraw = now;
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    const int filled = int(int64_t(done) * kWidth / count);
    for (int k = 0; k < kWidth; ++k) bar[k] = k < filled ? '#' : '-';
    bar[kWidth] = '\0';
    char left[32] = "--:--";
    if (fps > 0) FormatTime((count - done) / fps, left, sizeof left);
    std::fprintf(stderr, "\r[%s] %3d%% %d/%d frames %.1f fps %s left\x1b[K", bar, percent, done,
                 count, fps, left);
    std::fflush(stderr);
    line->drawn = true;
}

void EndProgressLine(ProgressLine* line) {
    if (line->drawn) std::fputc('\n', stderr);
    line->drawn = false;
}

int ParseToolCommandLine(CLI::App& app, int argc, char** argv, const char* program) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, e.what(),
                     program);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 2;
    }
    return -1;
}

void SilenceVideoLibraries() {
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
}

int ToolError(const char* program, const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", program, line.c_str());
    return 1;
}
