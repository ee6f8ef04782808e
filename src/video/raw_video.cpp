// Raw frames to video: command 208 names a file of headerless RGB frames,
// command 209 gives the frame size and the output name and runs the whole
// conversion at once on the GUI thread: the checks, then frame by frame
// reading from the file, the red/blue swap and writing at 25 frames per
// second. Only one frame is in memory at a time, so a raw file of any size
// converts.
//
// The video is an AVI of uncompressed frames ("DIB ": 24-bit BI_RGB
// bitmaps) at exactly the given size, from 1 x 1 to 2048 x 2048, written
// through the writer calls of avi_writer.cpp. Any failure of the writer ends in an error
// box and removes the unfinished file; only a complete file is reported as
// saved.
#include "video/raw_video.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

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
    FILE* file;  // the raw file, open from the checks to the end of the writing
    uint64_t rawSize;
    size_t frameLength;
    uint64_t frameCount;
};

RawFrameConversion g_raw = {};

void CloseRawFile() {
    if (g_raw.file != nullptr) std::fclose(g_raw.file);
    g_raw.file = nullptr;
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
    CloseRawFile();
    long size = 0;
    g_raw.file = OpenRegularFileForReading(g_raw.rawPath, &size);
    if (g_raw.file == nullptr) {
        ShowErrorBox(" The file can not be opened ");
        return false;
    }
    g_raw.rawSize = uint64_t(size);
    if (g_raw.rawSize == 0) {
        CloseRawFile();
        ShowErrorBox("File is empty");
        return false;
    }
    g_raw.frameLength = size_t(g_raw.sizeX) * g_raw.sizeY * 3;
    if (g_raw.rawSize % g_raw.frameLength != 0)
        ShowErrorBox("File format is not valid or an error Sixe_X or Sixe_Y!");
    g_raw.frameCount = g_raw.rawSize / g_raw.frameLength;
    return true;
}

bool OutputIsTheRawFile() {
    struct stat raw, output;
    return ::fstat(fileno(g_raw.file), &raw) == 0 && ::stat(g_raw.outputName, &output) == 0 &&
           raw.st_dev == output.st_dev && raw.st_ino == output.st_ino;
}

void WriteRawVideo() {
    uint8_t* frame = static_cast<uint8_t*>(std::calloc(g_raw.frameLength, 1));
    if (frame == nullptr) {
        CloseRawFile();
        ShowErrorBox("Not enough memory to read the raw frame file.");
        return;
    }
    bool read = true;
    // Writing the video over the raw file would destroy the frames still to
    // be read: refused.
    bool written =
        !OutputIsTheRawFile() &&
        CurrentRawVideoWriter().open(g_raw.outputName, g_raw.sizeX, g_raw.sizeY, kFramesPerSecond);
    for (uint64_t f = 0; written && f < g_raw.frameCount; ++f) {
        if (std::fread(frame, 1, g_raw.frameLength, g_raw.file) != g_raw.frameLength) {
            read = false;  // the file shrank or failed under us
            break;
        }
        for (size_t i = 0; i < g_raw.frameLength; i += 3) std::swap(frame[i], frame[i + 2]);
        written = CurrentRawVideoWriter().write(frame);
    }
    CloseRawFile();
    std::free(frame);
    written = CurrentRawVideoWriter().close(read && written) && read && written;
    if (!read)
        ShowErrorBox("Error reading");
    else if (!written)
        ShowErrorBox("Error saving file ");
    else
        Sys_MessageBox("Video file was successfully saved!", "", kMbSystemModal);
}

}  // namespace

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
    CloseRawFile();
    ResetRawVideoWriter();
    g_raw = {};
}
