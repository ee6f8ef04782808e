// The controller-file output: temporary files beside the targets, written
// with positioned writes, renamed over the targets at the end.
#include "video/controller_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/common.h"
#include "video/export.h"

namespace {

ControllerFileSink* Of(void* state) {
    return static_cast<ControllerFileSink*>(state);
}

bool Fail(ControllerFileSink* sink, const std::string& path, const char* what, int code) {
    sink->error = path + ": " + what;
    if (code != 0) sink->error += std::string(" (") + std::strerror(code) + ")";
    return false;
}

// Writes all `size` bytes at `offset`; false with errno set on failure.
bool WriteAt(int file, const uint8_t* data, size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t done = pwrite(file, data, size, offset);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (done == 0) {
            errno = EIO;
            return false;
        }
        data += done;
        size -= size_t(done);
        offset += done;
    }
    return true;
}

void CloseAndRemove(ControllerFileSink* sink) {
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] >= 0) close(sink->file[port]);
        sink->file[port] = -1;
        if (!sink->temporary[port].empty()) unlink(sink->temporary[port].c_str());
        sink->temporary[port].clear();
    }
}

bool Begin(void* state, const ConversionInfo& info) {
    ControllerFileSink* sink = Of(state);
    for (int port = 0; port < kPortCount; ++port) sink->file[port] = -1;
    uint32_t longest = 0;
    for (int port = 0; port < kPortCount; ++port)
        longest = std::max<uint32_t>(longest, info.ledCount[port]);
    sink->frameLength = longest * 3;
    sink->frameStride = FrameStrideFor(sink->frameLength);
    sink->frameCount = info.frameCount;
    DrawControllerKeys(&sink->keyA, &sink->keyB);
    std::memset(sink->stream, 0, sizeof sink->stream);
    ScrambleBytes(sink->stream, sink->frameLength, sink->keyA, sink->keyB);

    uint8_t header[kControllerHeaderSize];
    WriteControllerHeader(header, sink->frameLength, sink->keyA, sink->keyB);
    const off_t size =
        off_t(kControllerHeaderSize) + off_t(info.frameCount) * off_t(sink->frameStride);
    const std::string suffix = "." + std::to_string(getpid()) + ".tmp";
    for (int port = 0; port < kPortCount; ++port) {
        if (info.ledCount[port] == 0) continue;
        const std::string fileName = ControllerFileName(port, sink->name);
        sink->target[port] = JoinPath(sink->directory, fileName);
        const std::string temporary = JoinPath(sink->directory, "." + fileName + suffix);
        const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0) return Fail(sink, sink->target[port], "cannot create the file", errno);
        sink->file[port] = file;
        sink->temporary[port] = temporary;
        if (ftruncate(file, size) != 0 || !WriteAt(file, header, sizeof header, 0))
            return Fail(sink, sink->target[port], "cannot write the file", errno);
    }
    return true;
}

bool Frame(void* state, const FrameLeds& leds) {
    ControllerFileSink* sink = Of(state);
    if (leds.frameIndex < 0 || leds.frameIndex >= sink->frameCount) return true;
    const size_t length = sink->frameLength;
    const off_t offset =
        off_t(kControllerHeaderSize) + off_t(leds.frameIndex) * off_t(sink->frameStride);
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] < 0 || leds.values[port] == nullptr) continue;
        const uint8_t* values = leds.values[port];
        // Eight bytes at a time: the values and the stream may not be aligned.
        size_t k = 0;
        for (; k + 8 <= length; k += 8) {
            uint64_t data, stream;
            std::memcpy(&data, values + k, 8);
            std::memcpy(&stream, sink->stream + k, 8);
            data ^= stream;
            std::memcpy(sink->scratch + k, &data, 8);
        }
        for (; k < length; ++k) sink->scratch[k] = values[k] ^ sink->stream[k];
        if (!WriteAt(sink->file[port], sink->scratch, length, offset))
            return Fail(sink, sink->target[port], "cannot write the file", errno);
    }
    return true;
}

bool Finish(void* state, int32_t /*framesDone*/) {
    ControllerFileSink* sink = Of(state);
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->file[port] < 0) continue;
        const int file = sink->file[port];
        sink->file[port] = -1;
        const bool synced = fsync(file) == 0;
        const int code = errno;
        if (close(file) != 0 || !synced)
            return Fail(sink, sink->target[port], "cannot write the file", synced ? errno : code);
    }
    // Every file is complete before the first one replaces its target.
    for (int port = 0; port < kPortCount; ++port) {
        if (sink->temporary[port].empty()) continue;
        if (rename(sink->temporary[port].c_str(), sink->target[port].c_str()) != 0)
            return Fail(sink, sink->target[port], "cannot replace the file", errno);
        sink->temporary[port].clear();
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

std::string ControllerFileName(int port, const char* name) {
    return "PORT-" + std::to_string(port + 1) + "-" + name;
}

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
