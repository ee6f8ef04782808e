// The conversion loop: reader, LED map, colour tables and one sink.
#include "convert/conversion.h"

#include <memory>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "convert/color.h"
#include "convert/frame_reader.h"
#include "convert/led_footprint.h"
#include "convert/led_map.h"
#include "model/layout.h"

const cv::Mat* FrameForLeds(const cv::Mat& frame, const ResizeSettings& resize, cv::Mat* work) {
    if (frame.empty() || frame.depth() != CV_8U) return nullptr;
    const cv::Mat* bgr = &frame;
    cv::Mat converted;
    try {
        if (frame.channels() == 1)
            cv::cvtColor(frame, converted, cv::COLOR_GRAY2BGR);
        else if (frame.channels() == 4)
            cv::cvtColor(frame, converted, cv::COLOR_BGRA2BGR);
        else if (frame.channels() != 3)
            return nullptr;
    } catch (const cv::Exception&) {
        return nullptr;
    }
    if (!converted.empty()) bgr = &converted;
    if (resize.enabled) {
        try {
            cv::Mat resized;
            cv::resize(*bgr, resized, cv::Size(resize.width, resize.height), 0, 0,
                       resize.interpolation);
            *work = resized;
            return work;
        } catch (const cv::Exception&) {
        }
    }
    if (bgr == &converted) {
        *work = converted;
        return work;
    }
    if (frame.isContinuous()) return &frame;
    *work = frame.clone();
    return work;
}

uint16_t LayOutFrameLeds(ConversionInfo* info, std::vector<uint8_t>* values,
                         uint8_t* out[kPortCount], FrameLeds* leds) {
    uint16_t longest = 0;
    for (int port = 0; port < kPortCount; ++port) {
        info->ledCount[port] = ChainLength(port);
        longest = std::max(longest, info->ledCount[port]);
    }
    // Every port's values are 3 x the longest chain, as the controller files
    // store them.
    const size_t width = size_t(longest) * 3;
    values->assign(size_t(kPortCount) * width, 0);
    for (int port = 0; port < kPortCount; ++port) {
        out[port] = info->ledCount[port] != 0 ? values->data() + size_t(port) * width : nullptr;
        leds->values[port] = out[port];
    }
    return longest;
}

bool RunConversion(const char* videoPath, const ConversionSettings& settings, OutputSink& sink,
                   ConversionProgress progress, void* progressContext,
                   const std::atomic<bool>* stop, std::string* error, int32_t* framesDone) {
    if (framesDone != nullptr) *framesDone = 0;
    std::string cause;
    FrameReader* reader =
        OpenFrameReader(videoPath, &cause, settings.readerPriority, settings.loop);
    if (reader == nullptr) {
        *error = std::string(videoPath) + ": " + cause;
        return false;
    }
    const FrameReaderInfo& video = FrameReaderInfoOf(reader);
    if (video.frameCount <= 0) {
        *error =
            std::string(videoPath) + ": the video reports no frames, so it cannot be converted";
        CloseFrameReader(reader);
        return false;
    }
    ConversionInfo info = {};
    info.videoPath = videoPath;
    info.frameCount = video.frameCount;
    if (settings.frameLimit > 0 && settings.frameLimit < info.frameCount)
        info.frameCount = settings.frameLimit;
    info.framesPerSecond = video.framesPerSecond;
    info.colorOrder = uint8_t(settings.color.order);
    std::vector<uint8_t> values;
    uint8_t* out[kPortCount];
    FrameLeds leds = {};
    const uint16_t longest = LayOutFrameLeds(&info, &values, out, &leds);
    if (longest == 0) {
        *error = std::string(videoPath) + ": the layout has no LEDs";
        CloseFrameReader(reader);
        return false;
    }

    LedParts parts;
    BuildLedParts(settings.color, parts);
    std::unique_ptr<LedMap> map(new LedMap());
    std::unique_ptr<LedFootprints> footprints;
    if (settings.sample == SampleMode::Area) footprints.reset(new LedFootprints());

    if (!sink.begin(sink.state, info)) {
        *error = sink.error(sink.state);
        sink.abort(sink.state);
        CloseFrameReader(reader);
        return false;
    }
    int32_t done = 0;
    int32_t passFrame = 0;  // of the current pass
    bool ok = true;
    cv::Mat frame, work;
    const int32_t limit = settings.loop ? settings.frameLimit : info.frameCount;
    while (limit <= 0 || done < limit) {
        if (stop != nullptr && stop->load()) {
            *error = std::string(videoPath) + ": stopped";
            ok = false;
            break;
        }
        bool passStart = false;
        if (!NextFrame(reader, &frame, &passStart)) break;
        if (passStart) passFrame = 0;
        // Each pass as a run of its own: frames past the reported count are not converted.
        if (passFrame >= video.frameCount) continue;
        const cv::Mat* bgr = FrameForLeds(frame, settings.resize, &work);
        leds.frameIndex = passFrame;
        if (bgr != nullptr) {
            UpdateLedMap(map.get(), bgr->cols, bgr->rows);
            if (footprints) {
                UpdateLedFootprints(footprints.get(), *map);
                AreaFrameLeds(*footprints, bgr->ptr<uint8_t>(0), parts, longest, out);
            } else {
                MapFrameLeds(*map, bgr->ptr<uint8_t>(0), parts, longest, out);
            }
        } else {
            std::fill(values.begin(), values.end(), 0);
        }
        if (settings.power != nullptr)
            MeterFrameLeds(settings.power, info.ledCount, out, longest, passFrame);
        if (!sink.frame(sink.state, leds)) {
            *error = sink.error(sink.state);
            ok = false;
            break;
        }
        ++done;
        ++passFrame;
        if (progress != nullptr) progress(progressContext, done, info.frameCount);
    }
    CloseFrameReader(reader);
    if (ok && done == 0) {
        *error = std::string(videoPath) + ": no frame of the video could be read";
        ok = false;
    }
    if (ok && !sink.finish(sink.state, done)) {
        *error = sink.error(sink.state);
        ok = false;
    }
    if (!ok) sink.abort(sink.state);
    if (framesDone != nullptr) *framesDone = done;
    return ok;
}

void ResetConvertState() {
    ResetColorSettings();
    ResetLedCells();
    AllowWideAreaPass(true);
}
