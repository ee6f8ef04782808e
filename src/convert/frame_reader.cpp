// The decode-ahead reader: a producer thread started through the platform
// layer opens the capture and fills a queue of at most
// kFrameReaderQueueDepth frames; the consumer takes them in order. Closing
// raises the stop flag, wakes the producer and waits until it has released
// the capture. The producer opens the capture itself, so for a background
// reader the decoder's own threads inherit its lower priority: on a busy
// machine decoding ahead then yields to the window's drawing. A looping
// reader opens the file again after its last frame, so the next pass is
// decoded ahead like the rest.
#include "convert/frame_reader.h"

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <opencv2/videoio.hpp>

#include "convert/video_file.h"
#include "platform/sys.h"

struct FrameReader {
    std::string path;
    ReaderPriority priority;
    cv::VideoCapture capture;
    FrameReaderInfo info;
    bool openDone;  // the producer tried to open the capture
    bool opened;    // and it opened
    std::mutex lock;
    std::condition_variable changed;
    bool loop;
    struct Queued {
        cv::Mat frame;
        bool passStart;  // the first frame of a later pass
    };
    std::deque<Queued> queue;
    bool ended;    // the producer read its last frame
    bool stop;     // the consumer wants the producer gone
    bool running;  // the producer has not yet returned
};

namespace {

// The frame count as the window reads it: the capture's reported count cut
// to the int32 range (0 when it gives none).
int32_t ReportedFrameCount(double count) {
    if (!std::isfinite(count)) return 0;
    if (count >= 2147483647.0) return 2147483647;
    if (count <= -2147483648.0) return -2147483647 - 1;
    return int32_t(count);
}

// Opens the capture and, the first time, reads what the consumer needs
// before frames.
bool OpenCapture(FrameReader* reader, bool first) {
    try {
        if (!OpenVideoFile(reader->capture, reader->path.c_str())) return false;
        if (!first) return true;
        reader->info.frameCount = ReportedFrameCount(reader->capture.get(cv::CAP_PROP_FRAME_COUNT));
        const double fps = reader->capture.get(cv::CAP_PROP_FPS);
        reader->info.framesPerSecond = std::isfinite(fps) && fps > 0 ? fps : 0.0;
        reader->info.width = int32_t(reader->capture.get(cv::CAP_PROP_FRAME_WIDTH));
        reader->info.height = int32_t(reader->capture.get(cv::CAP_PROP_FRAME_HEIGHT));
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

void Produce(void* argument) {
    FrameReader* reader = static_cast<FrameReader*>(argument);
    if (reader->priority == ReaderPriority::Background) Sys_LowerThreadPriority();
    if (reader->priority == ReaderPriority::Normal) Sys_NormalThreadPriority();
    const bool opened = OpenCapture(reader, true);
    {
        std::lock_guard<std::mutex> hold(reader->lock);
        reader->openDone = true;
        reader->opened = opened;
        if (!opened) reader->stop = true;
        reader->changed.notify_all();
    }
    int64_t passFrames = 0;
    bool passStart = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(reader->lock);
            reader->changed.wait(hold, [reader] {
                return reader->stop || int(reader->queue.size()) < kFrameReaderQueueDepth;
            });
            if (reader->stop) break;
        }
        cv::Mat frame;
        bool got = false;
        try {
            got = reader->capture.read(frame) && !frame.empty();
        } catch (const cv::Exception&) {
            got = false;
        }
        if (!got && reader->loop && passFrames > 0) {
            try {
                reader->capture.release();
            } catch (const cv::Exception&) {
            }
            if (!OpenCapture(reader, false)) break;
            passFrames = 0;
            passStart = true;
            continue;
        }
        std::lock_guard<std::mutex> hold(reader->lock);
        if (!got) break;
        reader->queue.push_back({std::move(frame), passStart});
        passStart = false;
        ++passFrames;
        reader->changed.notify_all();
    }
    try {
        reader->capture.release();
    } catch (const cv::Exception&) {
    }
    std::lock_guard<std::mutex> hold(reader->lock);
    reader->ended = true;
    reader->running = false;
    reader->changed.notify_all();
}

}  // namespace

FrameReader* OpenFrameReader(const char* path, std::string* error, ReaderPriority priority,
                             bool loop) {
    FrameReader* reader = new FrameReader();
    reader->path = path;
    reader->priority = priority;
    reader->loop = loop;
    reader->running = true;
    if (!Sys_StartThread(Produce, reader)) {
        if (error != nullptr) *error = "cannot start the video reading thread";
        delete reader;
        return nullptr;
    }
    bool opened;
    {
        std::unique_lock<std::mutex> hold(reader->lock);
        reader->changed.wait(hold, [reader] { return reader->openDone; });
        opened = reader->opened;
    }
    if (!opened) {
        if (error != nullptr) *error = "cannot open the video";
        CloseFrameReader(reader);
        return nullptr;
    }
    return reader;
}

const FrameReaderInfo& FrameReaderInfoOf(const FrameReader* reader) {
    return reader->info;
}

bool NextFrame(FrameReader* reader, cv::Mat* frame, bool* passStart) {
    std::unique_lock<std::mutex> hold(reader->lock);
    reader->changed.wait(hold, [reader] { return !reader->queue.empty() || reader->ended; });
    if (reader->queue.empty()) {
        frame->release();
        return false;
    }
    *frame = std::move(reader->queue.front().frame);
    if (passStart != nullptr) *passStart = reader->queue.front().passStart;
    reader->queue.pop_front();
    reader->changed.notify_all();
    return true;
}

void CloseFrameReader(FrameReader* reader) {
    if (reader == nullptr) return;
    {
        std::unique_lock<std::mutex> hold(reader->lock);
        reader->stop = true;
        reader->changed.notify_all();
        reader->changed.wait(hold, [reader] { return !reader->running; });
    }
    delete reader;
}
