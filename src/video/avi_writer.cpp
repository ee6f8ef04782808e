// The video writer of raw frames to video, as a table of calls: by default
// FFmpeg's libavformat and libavcodec writing an AVI of uncompressed frames.
// The conversion (raw_video.cpp) always writes through the table; tests put
// a recorder in its place.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
}

#include "common/file_io.h"
#include "video/raw_video.h"

namespace {

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

}  // namespace

RawVideoWriterCalls& CurrentRawVideoWriter() {
    return g_writerCalls;
}

void ResetRawVideoWriter() {
    FreeAviWriter();
    g_writerCalls = kAviWriter;
}
