// Raw frames to video: command 208 names a file of headerless RGB frames,
// command 209 gives the frame size and the output name and runs the whole
// conversion at once on the GUI thread: the checks, then frame by frame
// reading from the file, the red/blue swap and writing at 25 frames per
// second. Only one frame is in memory at a time, so a raw file of any size
// converts.
//
// The video is an AVI of uncompressed frames ("DIB ": 24-bit BI_RGB
// bitmaps) at exactly the given size, from 1 x 1 to 2048 x 2048, written
// with FFmpeg's own libraries. Any failure of the writer ends in an error
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

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
}

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

// The AVI writer: one stream of raw BGR24 frames.
struct AviWriter {
    AVFormatContext* format;
    AVCodecContext* codec;
    AVStream* stream;
    AVFrame* frame;
    AVPacket* packet;
    int64_t nextPts;
    std::string name;
    bool created;  // the file exists (truncated or new) and is ours to remove
};

AviWriter g_avi = {};

void FreeAviWriter() {
    if (g_avi.format != nullptr && g_avi.format->pb != nullptr) avio_closep(&g_avi.format->pb);
    avformat_free_context(g_avi.format);
    avcodec_free_context(&g_avi.codec);
    av_frame_free(&g_avi.frame);
    av_packet_free(&g_avi.packet);
    g_avi = {};
}

// Moves every packet the encoder has ready into the file.
bool DrainEncoder() {
    for (;;) {
        const int got = avcodec_receive_packet(g_avi.codec, g_avi.packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        av_packet_rescale_ts(g_avi.packet, g_avi.codec->time_base, g_avi.stream->time_base);
        g_avi.packet->stream_index = g_avi.stream->index;
        if (av_interleaved_write_frame(g_avi.format, g_avi.packet) < 0) return false;
    }
}

bool OpenAviWriter(const char* name, int width, int height, double framesPerSecond) {
    FreeAviWriter();
    g_avi.name = name;
    const AVCodec* rawVideo = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    if (rawVideo == nullptr ||
        avformat_alloc_output_context2(&g_avi.format, nullptr, "avi", nullptr) < 0)
        return false;
    g_avi.stream = avformat_new_stream(g_avi.format, nullptr);
    g_avi.codec = avcodec_alloc_context3(rawVideo);
    g_avi.frame = av_frame_alloc();
    g_avi.packet = av_packet_alloc();
    if (!g_avi.stream || !g_avi.codec || !g_avi.frame || !g_avi.packet) return false;

    const AVRational rate = av_d2q(framesPerSecond, 1000);
    g_avi.codec->width = width;
    g_avi.codec->height = height;
    g_avi.codec->pix_fmt = AV_PIX_FMT_BGR24;
    g_avi.codec->time_base = av_inv_q(rate);
    g_avi.codec->framerate = rate;
    g_avi.codec->codec_tag = 0;  // BI_RGB
    if (avcodec_open2(g_avi.codec, rawVideo, nullptr) < 0 ||
        avcodec_parameters_from_context(g_avi.stream->codecpar, g_avi.codec) < 0)
        return false;
    g_avi.stream->time_base = g_avi.codec->time_base;
    g_avi.stream->avg_frame_rate = rate;

    g_avi.frame->format = AV_PIX_FMT_BGR24;
    g_avi.frame->width = width;
    g_avi.frame->height = height;
    if (av_frame_get_buffer(g_avi.frame, 0) < 0) return false;

    // The output is opened here, non-blocking and only as a regular file
    // (never a FIFO or device), and handed to the library by its descriptor
    // name with the file protocol, so no name is taken for a URL.
    const int fd = OpenRegularFileForWriting(name);
    if (fd < 0) return false;
    g_avi.created = true;
    const std::string url = "file:" + DescriptorPath(fd);
    const bool opened = avio_open(&g_avi.format->pb, url.c_str(), AVIO_FLAG_WRITE) >= 0;
    ::close(fd);
    if (!opened) return false;

    // Frames are given bottom row first and stored as they come: the
    // classic bottom-up bitmap with a positive height.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    const bool started = avformat_write_header(g_avi.format, &options) >= 0 &&
                         av_dict_count(options) == 0;  // the option was taken
    av_dict_free(&options);
    g_avi.nextPts = 0;
    return started;
}

bool WriteAviFrame(const uint8_t* bgr) {
    if (g_avi.format == nullptr || av_frame_make_writable(g_avi.frame) < 0) return false;
    const int width = g_avi.frame->width;
    const int height = g_avi.frame->height;
    const size_t row = size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        uint8_t* line = g_avi.frame->data[0] + size_t(height - 1 - y) * g_avi.frame->linesize[0];
        std::memcpy(line, bgr + size_t(y) * row, row);
    }
    g_avi.frame->pts = g_avi.nextPts++;
    return avcodec_send_frame(g_avi.codec, g_avi.frame) >= 0 && DrainEncoder();
}

bool CloseAviWriter(bool keep) {
    bool complete = false;
    if (keep && g_avi.format != nullptr && g_avi.format->pb != nullptr) {
        complete = avcodec_send_frame(g_avi.codec, nullptr) >= 0 && DrainEncoder() &&
                   av_write_trailer(g_avi.format) == 0;
        avio_flush(g_avi.format->pb);
        complete = complete && g_avi.format->pb->error == 0;
        complete = avio_closep(&g_avi.format->pb) == 0 && complete;
    }
    const bool created = g_avi.created;
    const std::string name = g_avi.name;
    FreeAviWriter();
    if (!complete && created) std::remove(name.c_str());
    return complete;
}

const RawVideoWriterCalls kAviWriter = {OpenAviWriter, WriteAviFrame, CloseAviWriter};
RawVideoWriterCalls g_writerCalls = kAviWriter;

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
    bool written = !OutputIsTheRawFile() &&
                   g_writerCalls.open(g_raw.outputName, g_raw.sizeX, g_raw.sizeY, kFramesPerSecond);
    for (uint64_t f = 0; written && f < g_raw.frameCount; ++f) {
        if (std::fread(frame, 1, g_raw.frameLength, g_raw.file) != g_raw.frameLength) {
            read = false;  // the file shrank or failed under us
            break;
        }
        for (size_t i = 0; i < g_raw.frameLength; i += 3) std::swap(frame[i], frame[i + 2]);
        written = g_writerCalls.write(frame);
    }
    CloseRawFile();
    std::free(frame);
    written = g_writerCalls.close(read && written) && read && written;
    if (!read)
        ShowErrorBox("Error reading");
    else if (!written)
        ShowErrorBox("Error saving file ");
    else
        Sys_MessageBox("Video file was successfully saved!", "", kMbSystemModal);
}

}  // namespace

RawVideoWriterCalls& CurrentRawVideoWriter() {
    return g_writerCalls;
}
void ResetRawVideoWriter() {
    g_writerCalls = kAviWriter;
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
    CloseRawFile();
    FreeAviWriter();
    ResetRawVideoWriter();
    g_raw = {};
}
