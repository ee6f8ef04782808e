// The window's streaming export: one controller-file sink, the LED map and
// one frame of LED values per port, kept between frames of a playback.
#include "video/window_export.h"

#include <memory>
#include <vector>

#include "common/common.h"
#include "convert/color.h"
#include "convert/controller_sink.h"
#include "convert/conversion.h"
#include "convert/led_map.h"
#include "model/layout.h"
#include "video/export_target.h"

namespace {

struct WindowExport {
    bool active;  // begun and not yet finished or aborted
    bool failed;  // a file could not be created or written
    uint32_t positions;
    std::unique_ptr<ControllerFileSink> files;
    OutputSink sink;
    std::unique_ptr<LedMap> map;
    std::vector<uint8_t> values;
    uint8_t* out[kPortCount];
    FrameLeds leds;
    LedParts parts;  // the colour steps of this export's settings
    cv::Mat work;
};

WindowExport g_window;

void Fail() {
    if (!g_window.failed) g_window.sink.abort(g_window.sink.state);
    g_window.failed = true;
}

}  // namespace

bool BeginWindowExport(int32_t frameCount) {
    AbortWindowExport();
    if (!ChooseAndCheckExport(frameCount)) return false;
    const ExportTarget& target = CurrentExportTarget();
    if (!g_window.files) g_window.files.reset(new ControllerFileSink());
    if (!g_window.map) g_window.map.reset(new LedMap());
    SetControllerFileTarget(g_window.files.get(), JoinPath(target.directory, target.name).c_str());
    g_window.sink = ControllerFileOutput(g_window.files.get());
    ConversionInfo info = {};
    info.videoPath = "";
    info.frameCount = frameCount;
    info.colorOrder = uint8_t(CurrentColorSettings().order);
    g_window.leds = {};
    g_window.positions = LayOutFrameLeds(&info, &g_window.values, g_window.out, &g_window.leds);
    BuildLedParts(CurrentColorSettings(), g_window.parts);
    g_window.active = true;
    g_window.failed = false;
    if (!g_window.sink.begin(g_window.sink.state, info)) Fail();
    return true;
}

void StoreWindowExportFrame(const cv::Mat& walked, int32_t frameIndex) {
    if (!g_window.active || g_window.failed) return;
    const ResizeSettings asIs = {0, 0, false, 0};
    const cv::Mat* bgr = FrameForLeds(walked, asIs, &g_window.work);
    if (bgr != nullptr) {
        UpdateLedMap(g_window.map.get(), bgr->cols, bgr->rows);
        MapFrameLeds(*g_window.map, bgr->ptr<uint8_t>(0), g_window.parts, g_window.positions,
                     g_window.out);
    } else {
        std::fill(g_window.values.begin(), g_window.values.end(), 0);
    }
    g_window.leds.frameIndex = frameIndex;
    if (!g_window.sink.frame(g_window.sink.state, g_window.leds)) Fail();
}

bool FinishWindowExport(int32_t framesDone) {
    if (!g_window.active) return true;
    g_window.active = false;
    if (g_window.failed) return false;
    if (g_window.sink.finish(g_window.sink.state, framesDone)) return true;
    g_window.sink.abort(g_window.sink.state);
    return false;
}

void AbortWindowExport() {
    if (g_window.active && !g_window.failed) g_window.sink.abort(g_window.sink.state);
    g_window.active = false;
    g_window.failed = false;
    g_window.work.release();
}
