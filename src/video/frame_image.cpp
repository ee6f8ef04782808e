// Saving the frame the playback holds as an image file (command 183 sets
// the request; the display callback runs the save before the frame step).
#include <opencv2/imgcodecs.hpp>

#include "platform/sys.h"
#include "video/playback.h"
#include "video/video.h"

void SaveHeldFrameImage() {
    // With no frame held there is nothing to save, so no dialog is shown.
    const cv::Mat& frame = CurrentVideoFrame();
    if (!frame.empty()) {
        const SysSaveDialog dialog = {"Image Files", "*.bmp", "bmp", true};
        char path[260] = {0};
        if (Sys_SaveFileDialog(dialog, path, sizeof path)) {
            path[sizeof path - 1] = '\0';
            try {
                cv::imwrite(path, frame);
            } catch (const cv::Exception&) {
            }
        }
    }
}

void SaveFrameImageIfRequested() {
    if (!FrameImageRequested()) return;
    SaveHeldFrameImage();
    ClearFrameImageRequest();
}
