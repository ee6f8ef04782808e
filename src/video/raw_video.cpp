// Raw frames to video: command 208 names a file of headerless RGB frames,
// command 209 gives the frame size and the output name and runs the whole
// conversion at once on the GUI thread: checks, reading the file into
// memory, the red/blue swap and writing every frame at 25 frames per second.
//
// The writer asks for uncompressed frames ("DIB ") first. OpenCV's FFmpeg
// backend has no such tag for AVI and refuses it, so the writer then falls
// back to FFV1, a lossless codec that gives back the exact pixels when the
// video is read, and then to lossless PNG frames for containers that do not
// take FFV1. Note that the FFmpeg backend writes only even sizes: an odd
// width or height loses its last column or row, and a size of 1 cannot be
// opened at all (the conversion then ends silently, as for any writer that
// does not open).
#include "video/raw_video.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/videoio.hpp>

#include "common/file_io.h"
#include "common/packet.h"
#include "platform/boxes.h"
#include "platform/sys.h"
#include "video/playback.h"
#include "video/video.h"

namespace {

constexpr int kMaxFrameSide = 2048;
constexpr double kFramesPerSecond = 25.0;

struct RawFrameConversion {
    char rawPath[kPathBufferSize];
    char outputName[kPathBufferSize];
    uint16_t sizeX;
    uint16_t sizeY;
    uint8_t* data;
    size_t rawSize;
    size_t frameLength;
    size_t frameCount;
};

RawFrameConversion g_raw = {};
cv::VideoWriter g_writer;
char g_lastCodec[5] = "";

bool OpenOpenCvWriter(const char* name, const char* code, double framesPerSecond, cv::Size size) {
    try {
        const int fourcc = cv::VideoWriter::fourcc(code[0], code[1], code[2], code[3]);
        return g_writer.open(name, fourcc, framesPerSecond, size, true) && g_writer.isOpened();
    } catch (const cv::Exception&) {
        return false;
    }
}

void WriteOpenCvFrame(const cv::Mat& frame) {
    try {
        g_writer.write(frame);
    } catch (const cv::Exception&) {
    }
}

void ReleaseOpenCvWriter() {
    try {
        g_writer.release();
    } catch (const cv::Exception&) {
    }
}

const RawVideoWriterCalls kOpenCvWriter = {OpenOpenCvWriter, WriteOpenCvFrame, ReleaseOpenCvWriter};
RawVideoWriterCalls g_writerCalls = kOpenCvWriter;

void FreeRawData() {
    std::free(g_raw.data);
    g_raw.data = nullptr;
}

bool LoadRawFrames() {
    if (g_raw.sizeX == 0 || g_raw.sizeX > kMaxFrameSide) {
        ShowErrorBox("Error! Enter integer Size_X in the range: 1...2048 ");
        return false;
    }
    if (g_raw.sizeY == 0 || g_raw.sizeY > kMaxFrameSide) {
        ShowErrorBox("Error! Enter integer Size_Y in the range: 1...2048 ");
        return false;
    }
    const long size = FileSizeOf(g_raw.rawPath);
    if (size < 0) {
        ShowErrorBox(" The file can not be opened ");
        return false;
    }
    g_raw.rawSize = size_t(size);
    if (g_raw.rawSize == 0) {
        ShowErrorBox("File is empty");
        return false;
    }
    g_raw.frameLength = size_t(g_raw.sizeX) * g_raw.sizeY * 3;
    if (g_raw.rawSize % g_raw.frameLength != 0)
        ShowErrorBox("File format is not valid or an error Sixe_X or Sixe_Y!");

    FreeRawData();
    g_raw.data = static_cast<uint8_t*>(std::malloc(g_raw.rawSize));
    if (g_raw.data == nullptr) {
        ShowErrorBox("Not enough memory to read the raw frame file.");
        return false;
    }
    size_t got = 0;
    ReadFileAt(g_raw.rawPath, 0, g_raw.data, g_raw.rawSize, &got);
    if (got < g_raw.rawSize) {
        ShowErrorBox("Error reading");
        FreeRawData();
        return false;
    }
    g_raw.frameCount = g_raw.rawSize / g_raw.frameLength;
    return true;
}

bool OpenWriter() {
    static const char* const kCodecs[] = {"DIB ", "FFV1", "png "};
    const cv::Size size(g_raw.sizeX, g_raw.sizeY);
    for (const char* code : kCodecs) {
        if (g_writerCalls.open(g_raw.outputName, code, kFramesPerSecond, size)) {
            std::memcpy(g_lastCodec, code, 5);
            return true;
        }
    }
    return false;
}

void WriteRawVideo() {
    if (!OpenWriter()) {
        FreeRawData();
        return;
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(g_raw.frameLength, 1));
    if (buffer == nullptr) {
        ShowErrorBox("Not enough memory to read the raw frame file.");
    } else {
        const cv::Mat frame(g_raw.sizeY, g_raw.sizeX, CV_8UC3, buffer, size_t(g_raw.sizeX) * 3);
        for (size_t f = 0; f < g_raw.frameCount; ++f) {
            const uint8_t* source = g_raw.data + f * g_raw.frameLength;
            for (size_t i = 0; i < g_raw.frameLength; i += 3) {
                buffer[i] = source[i + 2];
                buffer[i + 1] = source[i + 1];
                buffer[i + 2] = source[i];
            }
            g_writerCalls.write(frame);
        }
    }
    FreeRawData();
    std::free(buffer);
    g_writerCalls.release();
    if (buffer != nullptr) Sys_MessageBox("Video file was successfully saved!", "", kMbSystemModal);
}

}  // namespace

RawVideoWriterCalls& CurrentRawVideoWriter() {
    return g_writerCalls;
}
void ResetRawVideoWriter() {
    g_writerCalls = kOpenCvWriter;
}
const char* LastRawVideoCodec() {
    return g_lastCodec;
}

void SetRawFramePath(const char* path) {
    // A refused path comes as "" and leaves the path empty; the next
    // conversion then reports that the file cannot be opened.
    std::snprintf(g_raw.rawPath, sizeof g_raw.rawPath, "%s", path);
}

void ConvertRawFrames(const uint8_t* packet) {
    if (!PacketPath(packet, kRawOutputNameOffset, g_raw.outputName)) return;
    g_raw.sizeX = uint16_t(PacketDecimal(packet, 4, 4));
    g_raw.sizeY = uint16_t(PacketDecimal(packet, 8, 4));
    if (LoadRawFrames()) WriteRawVideo();
}

void ResetRawFrames() {
    FreeRawData();
    ReleaseOpenCvWriter();
    ResetRawVideoWriter();
    g_raw = {};
    g_lastCodec[0] = '\0';
}
