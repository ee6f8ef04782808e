// The "Video" window over OpenCV's HighGUI. HighGUI paints only while its
// event pump runs, so each show and close lets it run once. OpenCV errors
// are caught here: a window that cannot be shown leaves the playback as it is.
#include "app/video_window.h"

#include <opencv2/core.hpp>
#include <opencv2/highgui.hpp>

#include "video/video.h"

namespace {

const char kVideoWindow[] = "Video";

void OpenVideoWindow() {
    try {
        cv::namedWindow(kVideoWindow, cv::WINDOW_AUTOSIZE);
    } catch (const cv::Exception&) {
    }
}

void ShowVideoFrame(const cv::Mat& frame) {
    try {
        cv::imshow(kVideoWindow, frame);
        cv::waitKey(1);
    } catch (const cv::Exception&) {
    }
}

void CloseVideoWindow() {
    try {
        cv::destroyWindow(kVideoWindow);
        cv::waitKey(1);
    } catch (const cv::Exception&) {
    }
}

}  // namespace

void InstallVideoWindow() {
    SetVideoDisplay({OpenVideoWindow, ShowVideoFrame, CloseVideoWindow});
}
