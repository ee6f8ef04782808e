// The video library opens files by name and gives some names other
// meanings: a URL connects out, a FIFO blocks the open for good, a name with
// %d is read as a numbered image sequence. So the file is opened here first,
// checked to be a regular file, and the library opens that very file through
// the descriptor's /proc name, which has none of those meanings.
#include "convert/video_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/file_io.h"

bool OpenVideoFile(cv::VideoCapture& capture, const char* path) {
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return false;
    bool opened = false;
    try {
        capture.release();
        opened = capture.open(DescriptorPath(fd), cv::CAP_FFMPEG) && capture.isOpened();
    } catch (const cv::Exception&) {
        opened = false;
    }
    ::close(fd);  // the library holds its own descriptor from here
    return opened;
}
