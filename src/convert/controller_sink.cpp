// The controller-file output: temporary files beside the targets, written
// with positioned writes, renamed over the targets at the end.
#include "convert/controller_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/common.h"
#include "common/file_io.h"
#include "convert/controller_format.h"

namespace {

// Frames gathered per port before they are written as one piece; the
// write-back of each piece is started at once, so the writing overlaps the
// decoding instead of all of it waiting for the final flush.
constexpr int32_t kBatchFrames = 8;

ControllerFileSink* Of(void* state) {
    return static_cast<ControllerFileSink*>(state);
}

bool Fail(ControllerFileSink* sink, const std::string& path, const char* what, int code) {
    sink->error = path + ": " + what;
    if (code != 0) sink->error += std::string(" (") + OpenFailureText(code) + ")";
    return false;
}

// The name of port index `port`'s file for the target name `name`.
std::string ControllerFileName(int port, const char* name) {
    return "PORT-" + std::to_string(port + 1) + "-" + name;
}

void CloseAndRemove(ControllerFileSink* sink) {
    sink->batch = std::vector<uint8_t>();
    sink->batchCount = 0;
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] >= 0) CurrentFileSyscalls().close(sink->file[port]);
        sink->file[port] = -1;
        if (!sink->temporary[port].empty())
            CurrentFileSyscalls().unlink(sink->temporary[port].c_str());
        sink->temporary[port].clear();
    }
}

bool Begin(void* state, const ConversionInfo& info) {
    ControllerFileSink* sink = Of(state);
    for (int port = 0; port < kPortCount; ++port) {
        sink->file[port] = -1;
        sink->target[port].clear();
        sink->temporary[port].clear();
    }
    uint32_t longest = 0;
    for (int port = 0; port < kPortCount; ++port)
        longest = std::max<uint32_t>(longest, info.ledCount[port]);
    sink->frameLength = longest * 3;
    sink->frameStride = FrameStrideFor(sink->frameLength);
    sink->frameCount = info.frameCount;
    sink->batchStart = 0;
    sink->batchCount = 0;
    sink->batch.assign(size_t(kPortCount) * kBatchFrames * sink->frameStride, 0);
    DrawControllerKeys(&sink->keyA, &sink->keyB);
    std::memset(sink->stream, 0, sizeof sink->stream);
    ScrambleBytes(sink->stream, sink->frameLength, sink->keyA, sink->keyB);

    uint8_t header[kControllerHeaderSize];
    WriteControllerHeader(header, sink->frameLength, sink->keyA, sink->keyB);
    const off_t size =
        off_t(kControllerHeaderSize) + off_t(info.frameCount) * off_t(sink->frameStride);
    FileSyscalls& calls = CurrentFileSyscalls();
    for (int port = 0; port < kPortCount; ++port) {
        if (info.ledCount[port] == 0) continue;
        const std::string named = JoinPath(sink->directory, ControllerFileName(port, sink->name));
        // Saved as every file is: a link is written through, the old file's
        // permission bits are kept.
        mode_t mode = 0;
        if (!SaveTargetOf(named.c_str(), &sink->target[port], &mode)) {
            const int code = errno;
            sink->target[port].clear();
            return Fail(sink, named, "cannot write the file", code);
        }
        const std::string temporary = sink->target[port] + ".part";
        const int file = calls.open(temporary.c_str(),
                                    O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file < 0) return Fail(sink, named, "cannot create the file", errno);
        sink->file[port] = file;
        sink->temporary[port] = temporary;
        if ((mode != 0 && calls.fchmod(file, mode) != 0) || calls.ftruncate(file, size) != 0 ||
            !WriteFully(file, header, sizeof header, 0))
            return Fail(sink, named, "cannot write the file", errno);
    }
    return true;
}

// Writes the gathered frames of every port at their place and starts
// their write-back.
bool Flush(ControllerFileSink* sink) {
    if (sink->batchCount == 0) return true;
    const size_t stride = sink->frameStride;
    const size_t bytes = size_t(sink->batchCount) * stride;
    const off_t offset = off_t(kControllerHeaderSize) + off_t(sink->batchStart) * off_t(stride);
    sink->batchCount = 0;
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] < 0) continue;
        const uint8_t* piece = sink->batch.data() + size_t(port) * kBatchFrames * stride;
        if (!WriteFully(sink->file[port], piece, bytes, offset))
            return Fail(sink, sink->target[port], "cannot write the file", errno);
#if defined(__linux__)
        // Only starts the writing; its errors surface at the final flush.
        sync_file_range(sink->file[port], offset, off_t(bytes), SYNC_FILE_RANGE_WRITE);
#endif
    }
    return true;
}

bool Frame(void* state, const FrameLeds& leds) {
    ControllerFileSink* sink = Of(state);
    if (leds.frameIndex < 0 || leds.frameIndex >= sink->frameCount) return true;
    if (sink->batchCount > 0 && leds.frameIndex != sink->batchStart + sink->batchCount &&
        !Flush(sink))
        return false;
    if (sink->batchCount == 0) sink->batchStart = leds.frameIndex;
    const size_t length = sink->frameLength;
    const size_t stride = sink->frameStride;
    const size_t slot = size_t(sink->batchCount++);
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] < 0) continue;
        // The padding after the frame stays zero from the allocation.
        uint8_t* target = sink->batch.data() + (size_t(port) * kBatchFrames + slot) * stride;
        const uint8_t* values = leds.values[port];
        if (values == nullptr) {
            std::memcpy(target, sink->stream, length);
            continue;
        }
        XorWithStream(target, values, sink->stream, length);
    }
    return sink->batchCount < kBatchFrames || Flush(sink);
}

bool Finish(void* state, int32_t /*framesDone*/) {
    ControllerFileSink* sink = Of(state);
    if (!Flush(sink)) return false;
#if defined(__linux__)
    // All files written out together first: flushed one by one, each flush
    // would wait for its own journal commit.
    for (int port = 0; port < kPortCount; ++port)
        if (sink->file[port] >= 0) sync_file_range(sink->file[port], 0, 0, SYNC_FILE_RANGE_WRITE);
    for (int port = 0; port < kPortCount; ++port)
        if (sink->file[port] >= 0)
            sync_file_range(
                sink->file[port], 0, 0,
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#endif
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] < 0) continue;
        const int file = sink->file[port];
        sink->file[port] = -1;
        const bool synced = CurrentFileSyscalls().fsync(file) == 0;
        const int code = errno;
        if (CurrentFileSyscalls().close(file) != 0 || !synced)
            return Fail(sink, sink->target[port], "cannot write the file", synced ? errno : code);
    }
    // Every file is complete before the first one replaces its target.
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->temporary[port].empty()) continue;
        if (CurrentFileSyscalls().rename(sink->temporary[port].c_str(),
                                         sink->target[port].c_str()) != 0)
            return Fail(sink, sink->target[port], "cannot replace the file", errno);
        sink->temporary[port].clear();
    }
    // The renames made durable (links may lead to other directories).
    std::string synced;
    bool any = false;
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->target[port].empty()) continue;
        const std::string directory = DirectoryOf(sink->target[port].c_str());
        if (any && directory == synced) continue;
        if (!SyncDirectoryOf(sink->target[port].c_str()))
            return Fail(sink, sink->target[port], "cannot sync its directory", errno);
        synced = directory;
        any = true;
    }
    return true;
}

void Abort(void* state) {
    CloseAndRemove(Of(state));
}

const char* Error(const void* state) {
    return static_cast<const ControllerFileSink*>(state)->error.c_str();
}

}  // namespace

void SetControllerFileTarget(ControllerFileSink* sink, const char* targetPath) {
    const std::string name = FileNameOf(targetPath);
    const std::string directory = DirectoryOf(targetPath);
    std::memset(sink->name, 0, sizeof sink->name);
    std::memset(sink->directory, 0, sizeof sink->directory);
    std::strncpy(sink->name, name.c_str(), sizeof sink->name - 1);
    std::strncpy(sink->directory, directory.c_str(), sizeof sink->directory - 1);
    for (int port = 0; port < kPortCount; ++port) sink->file[port] = -1;
}

OutputSink ControllerFileOutput(ControllerFileSink* sink) {
    return {sink, Begin, Frame, Finish, Abort, Error};
}
