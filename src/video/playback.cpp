// Video playback: commands 164, 170 and 185, one frame per redraw mapped
// onto the grid and, in the convert modes, streamed into the controller
// files, a progress message per frame, and the end of a playback with its
// summary. Frames come from the decode-ahead reader, so decoding overlaps
// the pause between redraws. The "Video" window is the display the app installed (none in
// tests). OpenCV errors are caught here and end in the same paths as a
// video that cannot be read.
#include "video/playback.h"

#include <cstdio>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "common/report.h"
#include "convert/color.h"
#include "convert/frame_reader.h"
#include "convert/led_map.h"
#include "model/layout.h"
#include "platform/boxes.h"
#include "platform/sys.h"
#include "video/export_target.h"
#include "video/mapping.h"
#include "video/window_export.h"

namespace {

struct VideoPlayback {
    char videoPath[kPathBufferSize];
    FrameReader* reader;
    int32_t frameCount;
    int32_t frameIndex;
    VideoModeKind mode;
    cv::Mat currentFrame;
    cv::Mat resizedFrame;
    bool windowOpen;
};

VideoPlayback g_playback = {};
ResizeSettings g_resize = {0, 0, false, 0};
VideoDisplay g_display = {nullptr, nullptr, nullptr};
bool g_paused = false;
bool g_frameImageRequest = false;

bool IsConvertMode(VideoModeKind mode) {
    return mode == VideoModeKind::Convert || mode == VideoModeKind::ConvertHidden;
}

// The next frame from the reader; false when none came (end, no video,
// error).
bool QueryFrame(cv::Mat& frame) {
    if (g_playback.reader != nullptr && NextFrame(g_playback.reader, &frame)) return true;
    frame.release();
    return false;
}

void CloseReader() {
    CloseFrameReader(g_playback.reader);
    g_playback.reader = nullptr;
}

void ShowFrame(const cv::Mat& frame) {
    if (g_display.show != nullptr) g_display.show(frame);
    g_playback.windowOpen = true;
}

void DestroyVideoWindow() {
    if (g_display.close != nullptr) g_display.close();
    g_playback.windowOpen = false;
}

void FinishVideo() {
    DestroyVideoWindow();
    std::string summary = g_playback.mode == VideoModeKind::Preview
                              ? "Video playback successful execution "
                              : "video capture is successful ";
    summary += std::to_string(g_playback.frameIndex);
    summary += " video frames ";
    if (FinishWindowExport(g_playback.frameIndex))
        Sys_MessageBox(summary.c_str(), "Information ", kMbSystemModal | kMbIconInformation);
    else
        ShowErrorBox("Error saving file ");
}

void EndPlayback() {
    FinishVideo();
    g_playback.mode = VideoModeKind::Idle;
}

// The frame to walk: the resized copy while resizing is on (and works),
// otherwise the frame as read.
const cv::Mat& FrameToWalk() {
    g_playback.resizedFrame.release();
    if (!g_resize.enabled) return g_playback.currentFrame;
    try {
        cv::resize(g_playback.currentFrame, g_playback.resizedFrame,
                   cv::Size(g_resize.width, g_resize.height), 0, 0, g_resize.interpolation);
        return g_playback.resizedFrame;
    } catch (const cv::Exception&) {
        // An interpolation code OpenCV does not know: the frame is used as read.
        g_playback.resizedFrame.release();
        return g_playback.currentFrame;
    }
}

void SendProgress() {
    const uint32_t frameNumber = uint32_t(g_playback.frameIndex);
    const uint32_t frameCount = uint32_t(g_playback.frameCount);
    ReportFrameDone(frameNumber, frameCount);
}

}  // namespace

VideoModeKind VideoMode() {
    return g_playback.mode;
}
void SetVideoModeIdle() {
    g_playback.mode = VideoModeKind::Idle;
    AbortWindowExport();
}

void SetVideoPaused(bool paused) {
    g_paused = paused;
}
void ToggleVideoPause() {
    g_paused = !g_paused;
}
bool FrameImageRequested() {
    return g_frameImageRequest;
}
void RequestFrameImage() {
    g_frameImageRequest = true;
}
void ClearFrameImageRequest() {
    g_frameImageRequest = false;
}

void SetVideoDisplay(const VideoDisplay& display) {
    g_display = display;
}

const cv::Mat& CurrentVideoFrame() {
    return g_playback.currentFrame;
}

void SetVideoPath(const char* path) {
    // A refused path comes as "" and leaves the path empty, so the next start
    // cannot open anything.
    std::snprintf(g_playback.videoPath, sizeof g_playback.videoPath, "%s", path);
}

void StartVideo(const uint8_t* packet) {
    CloseReader();
    g_playback.reader = OpenFrameReader(g_playback.videoPath, nullptr, ReaderPriority::Background);
    // Silent; a playback still running ends at its next step.
    if (g_playback.reader == nullptr) return;
    g_playback.frameCount = FrameReaderInfoOf(g_playback.reader).frameCount;
    if (g_display.open != nullptr) g_display.open();
    g_playback.windowOpen = true;
    // Files left by a conversion that never reached its end are removed
    // here, so a new playback never writes them.
    AbortWindowExport();

    ColorSettings settings = CurrentColorSettings();
    settings.order = packet[2];
    for (int c = 0; c < 3; ++c) settings.brightness[c] = packet[3 + c];
    switch (packet[6]) {
        case 0:
            g_playback.mode = VideoModeKind::Preview;
            break;
        case 1:
            g_playback.mode = VideoModeKind::Convert;
            break;
        case 2:
            g_playback.mode = VideoModeKind::ConvertHidden;
            break;
        default:
            break;
    }
    for (int c = 0; c < 3; ++c) settings.blackLevel[c] = packet[7 + c];
    SetColorSettings(settings);
    g_playback.frameIndex = 0;

    if (IsConvertMode(g_playback.mode) && !BeginWindowExport(g_playback.frameCount)) {
        Sys_MessageBox("Preview mode is used as the file name is not specified!", "A warning",
                       kMbSystemModal | kMbIconInformation);
        g_playback.mode = VideoModeKind::Preview;
    }
}

void StepVideoFrame() {
    if (g_paused || g_playback.mode == VideoModeKind::Idle) return;
    // The first frame is shown once on its own before it is played (the
    // capture used to be rewound to it).
    if (g_playback.frameIndex == 0) {
        if (!QueryFrame(g_playback.currentFrame)) {
            EndPlayback();
            return;
        }
        ShowFrame(g_playback.currentFrame);
    } else if (!QueryFrame(g_playback.currentFrame)) {
        EndPlayback();
        return;
    }
    const bool convert = IsConvertMode(g_playback.mode);
    const cv::Mat* walked = nullptr;
    try {
        walked = &FrameToWalk();
        ShowFrame(g_playback.currentFrame);
        MapFrameOntoGrid(*walked);
    } catch (const cv::Exception&) {
    }
    if (convert)
        StoreWindowExportFrame(walked != nullptr ? *walked : cv::Mat(), g_playback.frameIndex);
    g_playback.resizedFrame.release();
    ++g_playback.frameIndex;
    if (g_playback.frameIndex == g_playback.frameCount) EndPlayback();
    SendProgress();
}

void SetVideoResize(const uint8_t* packet) {
    // Read as atoi reads: a width text without its end runs on into the height.
    g_resize.width = PacketDecimal(packet, 4, kPacketSize);
    g_resize.height = PacketDecimal(packet, 9, kPacketSize);
    if (g_resize.width <= 0 || g_resize.height <= 0) {
        ShowErrorBox("Video resizing error");
        g_resize.enabled = false;
        return;
    }
    if (g_resize.width > kGridSide) g_resize.width = kGridSide;
    if (g_resize.height > kGridSide) g_resize.height = kGridSide;
    g_resize.enabled = packet[14] != 0;
    g_resize.interpolation = packet[15];
}

namespace {

void ResetPlayback() {
    CloseReader();
    AbortWindowExport();
    try {
        if (g_playback.windowOpen) DestroyVideoWindow();
    } catch (const cv::Exception&) {
    }
    std::memset(g_playback.videoPath, 0, sizeof g_playback.videoPath);
    g_playback.frameCount = 0;
    g_playback.frameIndex = 0;
    g_playback.mode = VideoModeKind::Idle;
    g_playback.currentFrame.release();
    g_playback.resizedFrame.release();
    g_playback.windowOpen = false;
    g_resize = {0, 0, false, 0};
    g_paused = false;
    g_frameImageRequest = false;
}

}  // namespace

void ResetVideoState() {
    ResetPlayback();
    ResetRawFrames();
    ResetExportTarget();
    ResetConvertState();
    g_display = {nullptr, nullptr, nullptr};
}
