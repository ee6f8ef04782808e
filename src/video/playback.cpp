// Video playback: commands 164, 170 and 185, one frame per redraw mapped
// onto the grid and, in the convert modes, streamed into the controller
// files, a progress message per frame, and the end of a playback with its
// summary. Frames come from the decode-ahead reader, so decoding overlaps
// the pause between redraws. The "Video" window is OpenCV's own. OpenCV
// errors are caught here and end in the same paths as a video that cannot
// be read.
#include "video/playback.h"

#include <cstring>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "common/boxes.h"
#include "net/dispatch.h"
#include "net/messages.h"
#include "platform/sys.h"
#include "video/color.h"
#include "video/export.h"
#include "video/frame_reader.h"
#include "video/led_map.h"
#include "video/mapping.h"
#include "video/window_export.h"

namespace {

const char kVideoWindow[] = "Video";

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
void (*g_progressObserver)(uint32_t, uint32_t) = nullptr;

bool IsConvertMode(VideoModeKind mode) {
    return mode == Convert || mode == ConvertHidden;
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

// Shows a frame and lets the window system paint it (HighGUI paints only
// while its event pump runs).
void ShowFrame(const cv::Mat& frame) {
    try {
        cv::imshow(kVideoWindow, frame);
        g_playback.windowOpen = true;
        cv::waitKey(1);
    } catch (const cv::Exception&) {
    }
}

void DestroyVideoWindow() {
    try {
        cv::destroyWindow(kVideoWindow);
        cv::waitKey(1);
    } catch (const cv::Exception&) {
    }
    g_playback.windowOpen = false;
}

void FinishVideo() {
    DestroyVideoWindow();
    std::string summary = g_playback.mode == Preview ? "Video playback successful execution "
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
    g_playback.mode = Idle;
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
    if (g_progressObserver != nullptr) g_progressObserver(frameNumber, frameCount);
    SendVideoProgressMessage(frameNumber, frameCount);
}

}  // namespace

VideoModeKind VideoMode() {
    return g_playback.mode;
}
void SetVideoModeIdle() {
    g_playback.mode = Idle;
    AbortWindowExport();
}

PlaybackInfo CurrentPlayback() {
    return {g_playback.videoPath, g_playback.frameCount, g_playback.frameIndex, g_playback.mode,
            g_resize};
}

const cv::Mat& CurrentVideoFrame() {
    return g_playback.currentFrame;
}

void SetVideoProgressObserver(void (*observer)(uint32_t, uint32_t)) {
    g_progressObserver = observer;
}

void SetVideoPath(const uint8_t* packet) {
    // A path longer than 511 bytes is refused and leaves the path empty, so
    // the next start cannot open anything.
    PacketPath(packet, kPathOffset, g_playback.videoPath);
}

void StartVideo(const uint8_t* packet) {
    CloseReader();
    g_playback.reader = OpenFrameReader(g_playback.videoPath, nullptr);
    // Silent; a playback still running ends at its next step.
    if (g_playback.reader == nullptr) return;
    g_playback.frameCount = FrameReaderInfoOf(g_playback.reader).frameCount;
    try {
        cv::namedWindow(kVideoWindow, cv::WINDOW_AUTOSIZE);
        g_playback.windowOpen = true;
    } catch (const cv::Exception&) {
    }
    // Files left by a conversion that never reached its end are removed
    // here, so a new playback never writes them.
    AbortWindowExport();

    ColorSettings settings = CurrentColorSettings();
    settings.order = packet[2];
    for (int c = 0; c < 3; ++c) settings.brightness[c] = packet[3 + c];
    switch (packet[6]) {
        case 0:
            g_playback.mode = Preview;
            break;
        case 1:
            g_playback.mode = Convert;
            break;
        case 2:
            g_playback.mode = ConvertHidden;
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
        g_playback.mode = Preview;
    }
}

void StepVideoFrame() {
    if (Values().videoPaused || g_playback.mode == Idle) return;
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
        MapFrameOntoGrid(*walked, g_playback.frameIndex, false);
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
    if (g_resize.width > 2048) g_resize.width = 2048;
    if (g_resize.height > 2048) g_resize.height = 2048;
    g_resize.enabled = packet[14] != 0;
    g_resize.interpolation = packet[15];
}

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
    g_playback.mode = Idle;
    g_playback.currentFrame.release();
    g_playback.resizedFrame.release();
    g_playback.windowOpen = false;
    g_resize = {0, 0, false, 0};
    g_progressObserver = nullptr;
}

void ResetVideoState() {
    ResetPlayback();
    ResetRawFrames();
    ResetExport();
    ResetColorSettings();
    ResetLedCells();
}
