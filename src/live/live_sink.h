// The live output: a conversion sink that sends every frame over the network
// as the OUTPUTS file says, paced to the frame rate. Packet buffers and the
// socket are made once at the first `begin` and reused for every frame; a
// later `begin` (the next pass of a looped video) keeps the slots, sequence
// numbers and counts running. When no new frame is due for a second (a low
// frame rate, a decoder stall) the last frame is sent again. A packet that cannot be sent does not
// stop playback: the packets after it still go out, the frame is counted as not sent whole and the
// first failure is kept for the summary. LiveSinkEnd closes the run: the sACN universes get their
// stream-terminated packets and the socket is closed.
//
// Where receivers hold a frame's data until its sync, the data goes out as
// soon as the frame is there (after the sync before it) and the syncs at
// the frame's deadline, so what receivers show keeps the clock however
// long the data takes; data shown on arrival starts at the deadline.
#pragma once

#include <cstdint>

#include "convert/sink.h"
#include "live/outputs.h"
#include "live/pacer.h"

struct LiveStats {
    int64_t framesSent;  // frames whose packets all went out
    int64_t framesDropped;
    int64_t framesNotSent;  // frames of which a packet could not be sent
    int64_t packetsSent;
    char firstSendError[160];  // "send to 10.0.0.5:5568 failed: ..." of the first such frame
    uint64_t firstSend;        // clock time of the first and the last frame sent
    uint64_t lastSend;
    int32_t restarts;        // times the pacer restarted its slots (source too slow)
    int64_t keepAlives;      // times the last frame went out again
    int64_t framesHeldBack;  // frames left out to stay within kMaxLiveRate
    int64_t discoveries;     // rounds of sACN universe discovery sent
    // How late frames were shown: when their sync (sACN sync, ArtSync, the
    // DDP push) left, or without one their last packet, against the deadline.
    PacingSummary pacing;
};

// sACN universe discovery goes out with the first frame and then this often.
constexpr uint64_t kLiveDiscoveryNs = 10000000000ull;

// When no new frame is due for this long, the last one goes out again
// (sACN receivers give a source up after 2.5 s of silence).
constexpr uint64_t kLiveKeepAliveNs = 1000000000;
// The highest frame rate sent unless --fps asks for more: E1.31 and DMX
// receivers expect no more than 44 frames per second. Frames of a faster
// video are held back evenly so it keeps its speed.
constexpr double kMaxLiveRate = 44.0;

struct LiveSink;

// The CID of the run: the OUTPUTS file's "cid", else a UUID derived from
// the machine's identity and the source name, the same on every run.
void LiveSourceCid(const LiveConfig& config, uint8_t cid[16]);
// The derivation: a name-based UUID (version 8) of the two texts.
void DeriveSourceCid(const char* machineId, const char* sourceName, uint8_t cid[16]);

// `framesPerSecond` > 0 overrides the video's rate.
LiveSink* LiveSinkCreate(const LiveConfig& config, const PacerClock& clock, double framesPerSecond);
OutputSink LiveSinkOutput(LiveSink* sink);
LiveStats LiveSinkStatsOf(const LiveSink* sink);
// The frame rate in use (after the first `begin`).
double LiveSinkRate(const LiveSink* sink);
// Terminates the sACN streams (three packets per universe) and closes the socket.
void LiveSinkEnd(LiveSink* sink);
void LiveSinkDestroy(LiveSink* sink);

// Fills every packet of the frame into the sink's buffers without sending:
// for the benchmark and tests. Returns the packet count.
int LiveSinkFillFrame(LiveSink* sink, const FrameLeds& leds, uint8_t options);
