// One LED at a time into the export buffers: black level, brightness,
// calibration and colour order applied through the colour module's own steps.
#include "support/store_led_value.h"

#include "convert/color.h"
#include "model/layout.h"
#include "support/reference_color.h"
#include "support/whole_video_export.h"

void StoreLedValue(int port, int32_t frameIndex, int position, const uint8_t rgb[3]) {
    const ExportState& state = CurrentExport();
    if (port < 0 || port >= kPortCount || !state.prepared[port]) return;
    if (frameIndex < 0 || frameIndex >= state.frameCount) return;
    if (position < 0 || uint32_t(position) * 3 + 3 > state.frameLength) return;
    uint8_t* target = state.buffer[port] + kControllerHeaderSize +
                      size_t(frameIndex) * state.frameStride + size_t(position) * 3;
    if (ActiveFlags(port)[position] != 1) {
        target[0] = target[1] = target[2] = 0;
        return;
    }
    uint8_t processed[3] = {rgb[0], rgb[1], rgb[2]};
    ApplyBlackLevel(processed);
    ApplyBrightness(processed);
    ApplyCalibration(processed);
    ReorderColor(processed, CurrentColorSettings().order, target);
}
