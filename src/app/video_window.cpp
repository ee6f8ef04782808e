// The "Video" window over OpenCV's HighGUI. HighGUI paints only while its
// event pump runs, so each show and close lets it run once. Where HighGUI
// made the window with the program's own toolkit (Qt), the toolkit's pump
// runs instead of HighGUI's, which sleeps at least a millisecond a call and
// far longer on a busy machine. OpenCV errors are caught here: a window that
// cannot be shown leaves the playback as it is.
//
// The window shows what a person watches, not the data converted: a frame
// larger than half the screen is shown reduced by a whole factor until it
// fits (area averaging; halving a 1080p frame on a 1080p screen), which
// costs far less than handing the window system every pixel of every frame
// and leaves the layout window beside it uncovered. The frame itself, as
// mapped and converted, is never touched.
#include "app/video_window.h"

#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/sys.h"
#include "platform/sys_toolkit.h"
#include "video/video.h"

namespace {

const char kVideoWindow[] = "Video";

// The reduced copy shown, kept between frames so it is allocated once.
cv::Mat g_shown;
// The window is the toolkit's: its events are run through the toolkit.
bool g_toolkitWindow = false;

// The whole factor by which a `width` x `height` frame is reduced to fit
// half the screen; 1 when it fits or the screen size is unknown.
int ReductionFactor(int width, int height) {
    int screenWidth = 0, screenHeight = 0;
    Sys_ScreenSize(&screenWidth, &screenHeight);
    if (screenWidth <= 0 || screenHeight <= 0) return 1;
    int factor = 1;
    while (width / factor > screenWidth / 2 || height / factor > screenHeight / 2) ++factor;
    return factor;
}

void OpenVideoWindow() {
    try {
        cv::namedWindow(kVideoWindow, cv::WINDOW_AUTOSIZE);
        g_toolkitWindow = Sys_ToolkitHasWindow(kVideoWindow);
    } catch (const cv::Exception&) {
    }
}

void ShowVideoFrame(const cv::Mat& frame) {
    try {
        const int factor = ReductionFactor(frame.cols, frame.rows);
        if (factor > 1) {
            cv::resize(frame, g_shown, cv::Size(frame.cols / factor, frame.rows / factor), 0, 0,
                       cv::INTER_AREA);
            cv::imshow(kVideoWindow, g_shown);
        } else {
            cv::imshow(kVideoWindow, frame);
        }
        // Runs the event pump once without waiting for a key.
        if (g_toolkitWindow)
            Sys_ProcessToolkitEvents();
        else
            cv::pollKey();
    } catch (const cv::Exception&) {
    }
}

void CloseVideoWindow() {
    try {
        cv::destroyWindow(kVideoWindow);
        cv::waitKey(1);
    } catch (const cv::Exception&) {
    }
    g_shown.release();
    g_toolkitWindow = false;
}

}  // namespace

void InstallVideoWindow() {
    SetVideoDisplay({OpenVideoWindow, ShowVideoFrame, CloseVideoWindow});
}
