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

// Sends the frame's datagrams; after a failed one the rest still go out.
// False when any failed (the first failure of the run is kept).
bool SendAll(LiveSink* sink) {
    const int count = int(sink->datagrams.size());
    bool whole = true;
    for (int from = 0; from < count;) {
        const int sent =
            Sys_UdpSendBatch(sink->socket, sink->datagrams.data() + from, count - from);
        sink->stats.packetsSent += sent;
        from += sent;
        if (from == count) break;
        const int code = Sys_LastSocketError();
        if (whole && sink->stats.framesNotSent == 0) {
            const SysDatagram& failed = sink->datagrams[size_t(from)];
            in_addr address;
            address.s_addr = htonl(failed.address);
            char dotted[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &address, dotted, sizeof dotted);
            snprintf(sink->stats.firstSendError, sizeof sink->stats.firstSendError,
                     "send to %s:%u failed: %s", dotted, unsigned(failed.port), strerror(code));
        }
        whole = false;
        ++from;
    }
    return whole;
}

bool Frame(void* state, const FrameLeds& leds) {
    auto* sink = static_cast<LiveSink*>(state);
    if (!PacerWaitForSlot(&sink->pacer)) {
        ++sink->stats.framesDropped;
        return true;
    }
    LiveSinkFillFrame(sink, leds, 0);
    const bool whole = SendAll(sink);
    uint64_t now = sink->clock.now(sink->clock.state);
    sink->stats.restarts = sink->pacer.restarts;
    if (!whole) {
        ++sink->stats.framesNotSent;
        return true;
    }
    if (sink->stats.framesSent == 0) sink->stats.firstSend = now;
    sink->stats.lastSend = now;
    ++sink->stats.framesSent;
    return true;
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
                plan.sequence = plan.lead == uint32_t(i) ? uint8_t(plan.sequence + 1)
                                                         : sink->map.packets[plan.lead].sequence;
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

void DeriveSourceCid(const char* machineId, const char* sourceName, uint8_t cid[16]) {
    // Two FNV-1a hashes of "machine id NUL source name" with different
    // offsets, each run through a final mix.
    uint64_t halves[2] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull};
    for (uint64_t& h : halves) {
        for (const char* text : {machineId, "", sourceName}) {
            for (const char* c = text; *c != 0; ++c) h = (h ^ uint8_t(*c)) * 0x100000001b3ull;
            h = (h ^ 0xff) * 0x100000001b3ull;
        }
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
    }
    for (int i = 0; i < 8; ++i) {
        cid[i] = uint8_t(halves[0] >> (56 - 8 * i));
        cid[8 + i] = uint8_t(halves[1] >> (56 - 8 * i));
    }
    cid[6] = uint8_t((cid[6] & 0x0f) | 0x80);
    cid[8] = uint8_t((cid[8] & 0x3f) | 0x80);
}

void LiveSourceCid(const LiveConfig& config, uint8_t cid[16]) {
    if (config.cidGiven) {
        memcpy(cid, config.cid, 16);
        return;
    }
    char machine[256];
    if (!Sys_MachineId(machine, sizeof machine)) snprintf(machine, sizeof machine, "unknown");
    DeriveSourceCid(machine, config.sourceName, cid);
}

LiveSink* LiveSinkCreate(const LiveConfig& config, const PacerClock& clock,
                         double framesPerSecond) {
    auto* sink = new LiveSink{};
    sink->config = config;
    LiveSourceCid(config, sink->source.cid);
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
