// Opening a video for playback or conversion through the video library,
// safely: only a regular file is opened, and the library never sees a name
// it could take for something else.
#pragma once

#include <opencv2/videoio.hpp>

// Opens `path` in `capture` with the FFmpeg backend. A path that is not a
// regular file (FIFO, socket, device, directory, missing, or a URL such as
// tcp://host:port) is refused at once, as is anything the library cannot
// read. Library errors are caught. Returns whether the capture is open.
bool OpenVideoFile(cv::VideoCapture& capture, const char* path);
