// The live output sink; see live_sink.h.
#include "live/live_sink.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "live/live_map.h"
#include "live/packets.h"
#include "platform/sys.h"

struct LiveSink {
    LiveConfig config;
    SacnSource source;
    LiveMap map;
    std::vector<uint8_t> buffers;  // kLivePacketCapacity bytes per planned packet
    std::vector<uint8_t> streams;  // the DDP outputs' RGB streams of the frame
    std::vector<SysDatagram> datagrams;
    uint8_t ddpSequence[kPortCount];  // per DDP output, 1..15
    uint16_t ledCount[kPortCount];
    Pacer pacer;
    PacerClock clock;
    double rateOverride;
    double rate;
    SysSocket socket;
    bool begun;
    LiveStats stats;
    char error[512];
};

namespace {

uint8_t NextWrapping(uint8_t value, uint8_t first, uint8_t last) {
    return value >= last || value < first ? first : uint8_t(value + 1);
}

void MakeCid(uint8_t cid[16]) {
    // A version 4 UUID from the clock and the process id: fixed for the run,
    // different between runs, and no two senders on one machine share it.
    uint64_t a = Sys_MonotonicNanoseconds() ^ (uint64_t(getpid()) << 32);
    uint64_t b = uint64_t(time(nullptr)) * 0x9e3779b97f4a7c15ull ^ uintptr_t(cid);
    for (int i = 0; i < 8; ++i) {
        a = a * 6364136223846793005ull + 1442695040888963407ull;
        b = b * 6364136223846793005ull + 1442695040888963407ull;
        cid[i] = uint8_t(a >> 56);
        cid[8 + i] = uint8_t(b >> 56);
    }
    cid[6] = uint8_t((cid[6] & 0x0f) | 0x40);
    cid[8] = uint8_t((cid[8] & 0x3f) | 0x80);
}

bool Fail(LiveSink* sink, const char* format, const char* detail) {
    snprintf(sink->error, sizeof sink->error, format, detail);
    return false;
}

bool Begin(void* state, const ConversionInfo& info) {
    auto* sink = static_cast<LiveSink*>(state);
    if (sink->begun) return true;
    sink->rate = sink->rateOverride > 0 ? sink->rateOverride : info.framesPerSecond;
    if (!(sink->rate > 0))
        return Fail(sink, "%s: the video gives no frame rate; give one with --fps", info.videoPath);
    memcpy(sink->ledCount, info.ledCount, sizeof sink->ledCount);
    if (!BuildLiveMap(sink->config, sink->ledCount, &sink->map, sink->error, sizeof sink->error))
        return false;
    size_t count = sink->map.packets.size();
    sink->buffers.assign(count * kLivePacketCapacity, 0);
    sink->streams.assign(sink->map.streamTotal, 0);
    sink->datagrams.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const LivePacketPlan& plan = sink->map.packets[i];
        sink->datagrams[i] =
            SysDatagram{&sink->buffers[i * kLivePacketCapacity], 0, plan.address, plan.udpPort};
    }
    sink->socket = Sys_UdpSocket();
    if (sink->socket == kSysInvalidSocket)
        return Fail(sink, "cannot open a UDP socket: %s", strerror(Sys_LastSocketError()));
    PacerStart(&sink->pacer, sink->clock, sink->rate);
    sink->begun = true;
    return true;
}

bool SendAll(LiveSink* sink) {
    int count = int(sink->datagrams.size());
    int sent = Sys_UdpSendBatch(sink->socket, sink->datagrams.data(), count);
    sink->stats.packetsSent += sent;
    if (sent == count) return true;
    int code = Sys_LastSocketError();
    const SysDatagram& failed = sink->datagrams[size_t(sent)];
    in_addr address;
    address.s_addr = htonl(failed.address);
    char dotted[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    snprintf(sink->error, sizeof sink->error, "send to %s:%u failed: %s", dotted,
             unsigned(failed.port), strerror(code));
    return false;
}

bool Frame(void* state, const FrameLeds& leds) {
    auto* sink = static_cast<LiveSink*>(state);
    if (!PacerWaitForSlot(&sink->pacer)) {
        ++sink->stats.framesDropped;
        return true;
    }
    LiveSinkFillFrame(sink, leds, 0);
    bool ok = SendAll(sink);
    uint64_t now = sink->clock.now(sink->clock.state);
    if (sink->stats.framesSent == 0) sink->stats.firstSend = now;
    sink->stats.lastSend = now;
    ++sink->stats.framesSent;
    sink->stats.restarts = sink->pacer.restarts;
    return ok;
}

bool Finish(void*, int32_t) {
    return true;
}
void Abort(void*) {}
const char* Error(const void* state) {
    return static_cast<const LiveSink*>(state)->error;
}

}  // namespace

int LiveSinkFillFrame(LiveSink* sink, const FrameLeds& leds, uint8_t options) {
    static const uint8_t kBlack[kDdpMaxData] = {};
    const LiveConfig& config = sink->config;
    // The DDP streams first: one output's ports back to back.
    for (int o = 0; o < config.outputCount; ++o) {
        const LiveOutput& out = config.outputs[o];
        if (out.protocol != LiveDdp) continue;
        uint8_t* stream = sink->streams.data() + sink->map.streamStart[o];
        for (int i = 0; i < out.portCount; ++i) {
            int port = out.ports[i];
            size_t bytes = 3u * sink->ledCount[port];
            if (leds.values[port]) {
                memcpy(stream, leds.values[port], bytes);
            } else {
                memset(stream, 0, bytes);
            }
            stream += bytes;
        }
    }
    int count = int(sink->map.packets.size());
    for (int i = 0; i < count; ++i) {
        LivePacketPlan& plan = sink->map.packets[size_t(i)];
        const LiveOutput& out = config.outputs[plan.output];
        uint8_t* buffer = &sink->buffers[size_t(i) * kLivePacketCapacity];
        const uint8_t* values = nullptr;
        if (plan.kind == LivePacketSacnData || plan.kind == LivePacketArtDmx) {
            values = leds.values[plan.port] ? leds.values[plan.port] + 3u * plan.firstLed : kBlack;
        }
        size_t size = 0;
        switch (plan.kind) {
            case LivePacketSacnData:
                sink->source.priority = out.priority;
                plan.sequence = uint8_t(plan.sequence + 1);
                size = BuildSacnData(buffer, sink->source, plan.universe, plan.sequence,
                                     out.syncUniverse, options, values, 3 * plan.ledCount);
                break;
            case LivePacketSacnSync:
                plan.sequence = uint8_t(plan.sequence + 1);
                size = BuildSacnSync(buffer, sink->source.cid, plan.universe, plan.sequence);
                break;
            case LivePacketArtDmx:
                plan.sequence = NextWrapping(plan.sequence, 1, 255);
                size = BuildArtDmx(buffer, plan.universe, plan.sequence, values, 3 * plan.ledCount);
                break;
            case LivePacketArtSync:
                size = BuildArtSync(buffer);
                break;
            case LivePacketDdp:
                sink->ddpSequence[plan.output] =
                    NextWrapping(sink->ddpSequence[plan.output], 1, 15);
                size = BuildDdpData(
                    buffer, plan.offset, sink->ddpSequence[plan.output], plan.push,
                    sink->streams.data() + sink->map.streamStart[plan.output] + plan.offset,
                    plan.byteCount);
                break;
        }
        sink->datagrams[size_t(i)].size = uint32_t(size);
    }
    return count;
}

LiveSink* LiveSinkCreate(const LiveConfig& config, const PacerClock& clock,
                         double framesPerSecond) {
    auto* sink = new LiveSink{};
    sink->config = config;
    MakeCid(sink->source.cid);
    memcpy(sink->source.name, config.sourceName, sizeof sink->source.name);
    sink->source.name[63] = 0;
    sink->clock = clock;
    sink->rateOverride = framesPerSecond;
    sink->socket = kSysInvalidSocket;
    return sink;
}

OutputSink LiveSinkOutput(LiveSink* sink) {
    return OutputSink{sink, Begin, Frame, Finish, Abort, Error};
}

LiveStats LiveSinkStatsOf(const LiveSink* sink) {
    return sink->stats;
}
double LiveSinkRate(const LiveSink* sink) {
    return sink->rate;
}

void LiveSinkEnd(LiveSink* sink) {
    if (sink->socket == kSysInvalidSocket) return;
    // Receivers drop a terminated source at once instead of holding its
    // last frame until their timeout. Only the sACN data packets go out.
    std::vector<SysDatagram> terminations;
    FrameLeds black{};
    LiveSinkFillFrame(sink, black, 0x40);
    for (size_t i = 0; i < sink->map.packets.size(); ++i) {
        if (sink->map.packets[i].kind == LivePacketSacnData)
            terminations.push_back(sink->datagrams[i]);
    }
    for (int round = 0; round < 3 && !terminations.empty(); ++round) {
        int sent = Sys_UdpSendBatch(sink->socket, terminations.data(), int(terminations.size()));
        sink->stats.packetsSent += sent;
        if (round < 2) {
            LiveSinkFillFrame(sink, black, 0x40);  // next sequence numbers
        }
    }
    Sys_CloseSocket(sink->socket);
    sink->socket = kSysInvalidSocket;
}

void LiveSinkDestroy(LiveSink* sink) {
    if (!sink) return;
    if (sink->socket != kSysInvalidSocket) Sys_CloseSocket(sink->socket);
    delete sink;
}
