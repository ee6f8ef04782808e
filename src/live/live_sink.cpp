// The live output sink; see live_sink.h.
#include "live/live_sink.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
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
    PacerClock clock;  // the caller's; the pacer's own sends keep-alives while it waits
    // The last frame sent, kept for the keep-alives; lastPacket is when the
    // frame or its last keep-alive went out.
    std::vector<uint8_t> lastValues;
    FrameLeds lastLeds;
    bool haveLast;
    uint64_t lastPacket;
    // Above kMaxLiveRate (no --fps), frames that fall into one slot of that
    // rate after the first are held back.
    double capRate;
    int64_t cappedSlot;
    // On the monotonic clock a thread sends the keep-alives while no frame
    // comes (a decoder stall); `lock` keeps it and the frames apart.
    std::thread keepAliveThread;
    mutable std::mutex lock;
    std::atomic<bool> quit;
    double rateOverride;
    double rate;
    // One socket per local interface (0: the system's choice), Art-Net's
    // apart (bound to its source port); each output's index into them.
    struct Socket {
        uint32_t local;
        bool artNet;
        SysSocket socket;
    };
    std::vector<Socket> sockets;
    uint8_t outputSocket[kPortCount];
    std::vector<uint8_t> datagramSocket;  // per planned packet
    // sACN universe discovery: the pages for every sACN destination, sent
    // with the first frame and every kLiveDiscoveryNs after.
    std::vector<uint8_t> discoveryBuffers;
    std::vector<SysDatagram> discovery;
    std::vector<uint8_t> discoverySocket;
    uint64_t lastDiscovery;
    bool discovered;
    bool begun;
    // The packets leave in three runs (see OrderForDeadline): [0, earlyCount)
    // as soon as the frame is there when dataEarly, then syncCount syncs at
    // the deadline, then the rest.
    size_t earlyCount;
    size_t syncCount;
    bool dataEarly;
    PacingRecord pacing;
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

void CloseSockets(LiveSink* sink) {
    for (const LiveSink::Socket& s : sink->sockets) Sys_CloseSocket(s.socket);
    sink->sockets.clear();
}

// The sockets the outputs send through, each bound and set up for its
// interface, and each output with an interface checked for a route to its
// destination; false with a message naming the output before anything is sent.
bool OpenSockets(LiveSink* sink) {
    CloseSockets(sink);
    const LiveConfig& config = sink->config;
    for (int o = 0; o < config.outputCount; ++o) {
        const LiveOutput& out = config.outputs[o];
        const bool artNet = out.protocol == LiveArtNet;
        char who[96];
        DescribeLiveOutput(config, o, who, sizeof who);
        const std::string local = Dotted(out.interfaceAddress);
        size_t index = 0;
        while (index < sink->sockets.size() &&
               (sink->sockets[index].local != out.interfaceAddress ||
                sink->sockets[index].artNet != artNet))
            ++index;
        if (index == sink->sockets.size()) {
            SysSocket socket = Sys_UdpSocket();
            if (socket == kSysInvalidSocket) {
                snprintf(sink->error, sizeof sink->error, "cannot open a UDP socket: %s",
                         strerror(Sys_LastSocketError()));
                return false;
            }
            sink->sockets.push_back({out.interfaceAddress, artNet, socket});
            const uint16_t port = artNet ? config.artnetSourcePort : 0;
            if ((artNet || out.interfaceAddress != 0) &&
                !Sys_UdpBind(socket, out.interfaceAddress, port, nullptr)) {
                const int code = Sys_LastSocketError();
                if (code == EADDRINUSE)
                    snprintf(sink->error, sizeof sink->error,
                             "%s: cannot send from UDP port %u, another program holds it (an "
                             "Art-Net node or controller program?); \"artnet_source_port\": 0 "
                             "sends from any port",
                             who, unsigned(port));
                else if (out.interfaceAddress != 0)
                    snprintf(sink->error, sizeof sink->error,
                             "%s: interface %s is not an address of this machine (%s)", who,
                             local.c_str(), strerror(code));
                else
                    snprintf(sink->error, sizeof sink->error,
                             "%s: cannot send from UDP port %u: %s", who, unsigned(port),
                             strerror(code));
                return false;
            }
            if (artNet) Sys_UdpAllowBroadcast(socket);
            if (out.interfaceAddress != 0 &&
                !Sys_UdpSetMulticastInterface(socket, out.interfaceAddress)) {
                snprintf(sink->error, sizeof sink->error,
                         "%s: multicast cannot leave through interface %s: %s", who, local.c_str(),
                         strerror(Sys_LastSocketError()));
                return false;
            }
        }
        sink->outputSocket[o] = uint8_t(index);
        if (out.interfaceAddress != 0 && !out.multicast) {
            const int code = Sys_UdpRouteError(out.interfaceAddress, out.address, out.udpPort);
            if (code != 0) {
                snprintf(sink->error, sizeof sink->error,
                         "%s: no route to %s from interface %s: %s", who,
                         Dotted(out.address).c_str(), local.c_str(), strerror(code));
                return false;
            }
        }
    }
    return true;
}

// ArtSync goes to the directed broadcast of the node's network, where one
// of this machine's interfaces is on it (else to the node itself), once
// per broadcast address (OrderForDeadline then links the sACN sync leads).
void BroadcastArtSync(LiveSink* sink) {
    std::vector<LivePacketPlan>& packets = sink->map.packets;
    std::vector<LivePacketPlan> kept;
    for (LivePacketPlan plan : packets) {
        if (plan.kind == LivePacketArtSync) {
            uint32_t broadcast;
            if (Sys_Ipv4BroadcastFor(plan.address, &broadcast)) plan.address = broadcast;
            bool twice = false;
            for (const LivePacketPlan& k : kept)
                twice = twice || (k.kind == LivePacketArtSync && k.address == plan.address &&
                                  k.udpPort == plan.udpPort &&
                                  sink->config.outputs[k.output].interfaceAddress ==
                                      sink->config.outputs[plan.output].interfaceAddress);
            if (twice) continue;
        }
        kept.push_back(plan);
    }
    packets.swap(kept);
}

// Each sACN sync packet's lead: the first of its universe.
void LinkSyncLeads(std::vector<LivePacketPlan>& packets) {
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].kind != LivePacketSacnSync) continue;
        packets[i].lead = uint32_t(i);
        for (size_t k = 0; k < i; ++k)
            if (packets[k].kind == LivePacketSacnSync &&
                packets[k].universe == packets[i].universe) {
                packets[i].lead = uint32_t(k);
                break;
            }
    }
}

enum PacketTime : uint8_t { SentEarly, SyncAtDeadline, DataAtDeadline };

PacketTime TimeOf(const LiveConfig& config, const LivePacketPlan& plan) {
    const LiveOutput& out = config.outputs[plan.output];
    switch (plan.kind) {
        case LivePacketSacnData:
            return out.syncUniverse != 0 ? SentEarly : DataAtDeadline;
        case LivePacketArtDmx:
            return out.artSync ? SentEarly : DataAtDeadline;
        case LivePacketDdp:
            return plan.push ? SyncAtDeadline : SentEarly;
        case LivePacketSacnSync:
        case LivePacketArtSync:
            return SyncAtDeadline;
    }
    return DataAtDeadline;
}

// The frame's packets in the order they leave: the data receivers hold
// until a sync, then the syncs, then the data shown on arrival; each group
// in the map's order.
void OrderForDeadline(LiveSink* sink) {
    std::vector<LivePacketPlan>& packets = sink->map.packets;
    std::stable_sort(packets.begin(), packets.end(),
                     [sink](const LivePacketPlan& a, const LivePacketPlan& b) {
                         return TimeOf(sink->config, a) < TimeOf(sink->config, b);
                     });
    LinkSyncLeads(packets);
    sink->earlyCount = sink->syncCount = 0;
    for (const LivePacketPlan& plan : packets) {
        const PacketTime time = TimeOf(sink->config, plan);
        sink->earlyCount += time == SentEarly;
        sink->syncCount += time == SyncAtDeadline;
    }
}

uint64_t Now(const LiveSink* sink) {
    return sink->clock.now(sink->clock.state);
}

uint64_t PacerNow(void* state);
void PacerSleepUntil(void* state, uint64_t deadline);
void KeepAliveLoop(LiveSink* sink);
void PlanDiscovery(LiveSink* sink);

bool Begin(void* state, const ConversionInfo& info) {
    auto* sink = static_cast<LiveSink*>(state);
    if (sink->begun) return true;
    sink->rate = sink->rateOverride > 0 ? sink->rateOverride : info.framesPerSecond;
    if (!(sink->rate > 0))
        return Fail(sink, "%s: the video gives no frame rate; give one with --fps", info.videoPath);
    memcpy(sink->ledCount, info.ledCount, sizeof sink->ledCount);
    if (!BuildLiveMap(sink->config, sink->ledCount, &sink->map, sink->error, sizeof sink->error))
        return false;
    BroadcastArtSync(sink);
    OrderForDeadline(sink);
    // Data ahead of its sync only while the wait for the deadline is
    // shorter than the keep-alive interval: a keep-alive in between would
    // overwrite the data receivers hold with the frame before.
    sink->dataEarly = sink->syncCount > 0 && 1e9 / sink->rate < double(kLiveKeepAliveNs) / 2;
    size_t count = sink->map.packets.size();
    sink->buffers.assign(count * kLivePacketCapacity, 0);
    sink->streams.assign(sink->map.streamTotal, 0);
    sink->datagrams.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const LivePacketPlan& plan = sink->map.packets[i];
        sink->datagrams[i] =
            SysDatagram{&sink->buffers[i * kLivePacketCapacity], 0, plan.address, plan.udpPort};
    }
    if (!OpenSockets(sink)) return false;
    sink->datagramSocket.resize(count);
    for (size_t i = 0; i < count; ++i)
        sink->datagramSocket[i] = sink->outputSocket[sink->map.packets[i].output];
    PlanDiscovery(sink);
    sink->capRate = sink->rateOverride <= 0 && sink->rate > kMaxLiveRate ? kMaxLiveRate : 0;
    sink->cappedSlot = -1;
    size_t values = 0;
    for (int port = 0; port < kPortCount; ++port) values += 3u * sink->ledCount[port];
    sink->lastValues.assign(values, 0);
    PacerStart(&sink->pacer, PacerClock{sink, PacerNow, PacerSleepUntil}, sink->rate);
    if (sink->clock.now == MonotonicPacerClock().now) {
        sink->quit.store(false);
        try {
            sink->keepAliveThread = std::thread(KeepAliveLoop, sink);
        } catch (const std::system_error&) {
            // No thread: keep-alives then go out only while the pacer waits.
        }
    }
    sink->begun = true;
    return true;
}

// Sends `count` datagrams, each through its socket, runs of one socket in
// one batch; after a failed one the rest still go out. False when any
// failed; the first failure of the run is kept unless `frameFailed` (the
// frame failed already).
bool SendThrough(LiveSink* sink, const SysDatagram* datagrams, const uint8_t* sockets, int count,
                 bool frameFailed = false) {
    bool whole = !frameFailed;
    for (int from = 0; from < count;) {
        int end = from + 1;
        while (end < count && sockets[end] == sockets[from]) ++end;
        const int sent =
            Sys_UdpSendBatch(sink->sockets[sockets[from]].socket, datagrams + from, end - from);
        sink->stats.packetsSent += sent;
        from += sent;
        if (from == end) continue;
        const int code = Sys_LastSocketError();
        if (whole && sink->stats.framesNotSent == 0) {
            const SysDatagram& failed = datagrams[from];
            snprintf(sink->stats.firstSendError, sizeof sink->stats.firstSendError,
                     "send to %s:%u failed: %s", Dotted(failed.address).c_str(),
                     unsigned(failed.port), strerror(code));
        }
        whole = false;
        ++from;
    }
    return whole;
}

bool SendAll(LiveSink* sink) {
    return SendThrough(sink, sink->datagrams.data(), sink->datagramSocket.data(),
                       int(sink->datagrams.size()));
}

// Packets [from, from + count) of the frame; false when the frame is not
// whole (a packet failed now or before, as `whole` says).
bool SendRun(LiveSink* sink, size_t from, size_t count, bool whole) {
    if (count == 0) return whole;
    return SendThrough(sink, sink->datagrams.data() + from, sink->datagramSocket.data() + from,
                       int(count), !whole);
}

// The discovery pages of the run's sACN universes, one set per sACN
// destination: each unicast address and port, or the discovery universe's
// group through each multicast output's socket.
void PlanDiscovery(LiveSink* sink) {
    std::vector<uint16_t> universes;
    for (const LivePacketPlan& plan : sink->map.packets)
        if (plan.kind == LivePacketSacnData) universes.push_back(plan.universe);
    std::sort(universes.begin(), universes.end());
    universes.erase(std::unique(universes.begin(), universes.end()), universes.end());
    sink->discovery.clear();
    sink->discoverySocket.clear();
    if (universes.empty()) return;
    const int pages = int((universes.size() + kSacnDiscoveryPageSize - 1) / kSacnDiscoveryPageSize);
    std::vector<std::pair<uint8_t, SysDatagram>> targets;
    for (int o = 0; o < sink->config.outputCount; ++o) {
        const LiveOutput& out = sink->config.outputs[o];
        if (out.protocol != LiveSacn) continue;
        const uint32_t address =
            out.multicast ? SacnMulticastAddress(kSacnDiscoveryUniverse) : out.address;
        bool known = false;
        for (const auto& [socket, d] : targets)
            known = known || (socket == sink->outputSocket[o] && d.address == address &&
                              d.port == out.udpPort);
        if (!known)
            targets.push_back(
                {sink->outputSocket[o], SysDatagram{nullptr, 0, address, out.udpPort}});
    }
    sink->discoveryBuffers.assign(size_t(pages) * kLivePacketCapacity, 0);
    for (int page = 0; page < pages; ++page) {
        const size_t first = size_t(page) * kSacnDiscoveryPageSize;
        const int count = int(std::min<size_t>(kSacnDiscoveryPageSize, universes.size() - first));
        uint8_t* buffer = &sink->discoveryBuffers[size_t(page) * kLivePacketCapacity];
        const size_t size = BuildSacnDiscovery(buffer, sink->source, uint8_t(page),
                                               uint8_t(pages - 1), &universes[first], count);
        for (const auto& [socket, d] : targets) {
            sink->discovery.push_back(SysDatagram{buffer, uint32_t(size), d.address, d.port});
            sink->discoverySocket.push_back(socket);
        }
    }
}

void DiscoverIfDue(LiveSink* sink, uint64_t now) {
    if (sink->discovery.empty() ||
        (sink->discovered && now < sink->lastDiscovery + kLiveDiscoveryNs))
        return;
    sink->discovered = true;
    sink->lastDiscovery = now;
    // Failures here are not a frame's; they count when frames fail too.
    const int64_t notSent = sink->stats.framesNotSent;
    SendThrough(sink, sink->discovery.data(), sink->discoverySocket.data(),
                int(sink->discovery.size()));
    sink->stats.framesNotSent = notSent;
    ++sink->stats.discoveries;
}

// The last frame again, with the next sequence numbers.
void KeepAlive(LiveSink* sink) {
    LiveSinkFillFrame(sink, sink->lastLeds, 0);
    SendAll(sink);
    sink->lastPacket = Now(sink);
    ++sink->stats.keepAlives;
    DiscoverIfDue(sink, sink->lastPacket);
}

uint64_t PacerNow(void* state) {
    return Now(static_cast<const LiveSink*>(state));
}

// The pacer's wait for a slot, broken up so the last frame goes out again
// at least every kLiveKeepAliveNs.
void PacerSleepUntil(void* state, uint64_t deadline) {
    LiveSink* sink = static_cast<LiveSink*>(state);
    while (sink->haveLast && sink->lastPacket + kLiveKeepAliveNs < deadline) {
        const uint64_t due = sink->lastPacket + kLiveKeepAliveNs;
        sink->clock.sleepUntil(sink->clock.state, due);
        // A clock that stands still (the benchmark's) never makes one due.
        if (Now(sink) < due) break;
        KeepAlive(sink);
    }
    sink->clock.sleepUntil(sink->clock.state, deadline);
}

void KeepAliveLoop(LiveSink* sink) {
    while (!sink->quit.load()) {
        Sys_Sleep(50);
        std::lock_guard<std::mutex> hold(sink->lock);
        if (sink->haveLast && Sys_MonotonicNanoseconds() >= sink->lastPacket + kLiveKeepAliveNs)
            KeepAlive(sink);
    }
}

void StopKeepAlive(LiveSink* sink) {
    sink->quit.store(true);
    if (sink->keepAliveThread.joinable()) sink->keepAliveThread.join();
}

void KeepLast(LiveSink* sink, const FrameLeds& leds) {
    uint8_t* at = sink->lastValues.data();
    for (int port = 0; port < kPortCount; ++port) {
        const size_t bytes = 3u * sink->ledCount[port];
        sink->lastLeds.values[port] = nullptr;
        if (bytes == 0) continue;
        if (leds.values[port])
            memcpy(at, leds.values[port], bytes);
        else
            memset(at, 0, bytes);
        sink->lastLeds.values[port] = at;
        at += bytes;
    }
    sink->haveLast = true;
}

// Above kMaxLiveRate, true for a frame that falls into the slot of that
// rate its predecessor took.
bool HeldBack(LiveSink* sink) {
    if (sink->capRate <= 0) return false;
    const int64_t slot =
        int64_t(std::floor(double(sink->pacer.next - 1) * sink->capRate / sink->rate));
    if (slot == sink->cappedSlot) return true;
    sink->cappedSlot = slot;
    return false;
}

bool Frame(void* state, const FrameLeds& leds) {
    auto* sink = static_cast<LiveSink*>(state);
    std::lock_guard<std::mutex> hold(sink->lock);
    // The first frame of a run with early data starts the slots once its
    // data is out, so that its sync is on time too.
    const bool startsSlots = sink->dataEarly && !sink->pacer.started;
    uint64_t deadline = 0;
    if (!startsSlots) {
        if (!PacerClaimSlot(&sink->pacer, &deadline)) {
            ++sink->stats.framesDropped;
            return true;
        }
        if (HeldBack(sink)) {
            ++sink->stats.framesHeldBack;
            return true;
        }
    }
    bool whole = true;
    size_t from = 0;
    if (sink->dataEarly) {
        LiveSinkFillFrame(sink, leds, 0);
        whole = SendRun(sink, 0, sink->earlyCount, whole);
        from = sink->earlyCount;
        // Receivers saw traffic: no keep-alive is due while this frame waits.
        sink->lastPacket = Now(sink);
        if (startsSlots) {
            // The first frame is never dropped nor held back; the cap's
            // first slot is now taken.
            PacerClaimSlot(&sink->pacer, &deadline);
            HeldBack(sink);
        }
    }
    // Without early data the wait may send keep-alives, which fill the
    // buffers with the frame before: this frame is filled after it.
    if (Now(sink) < deadline) sink->pacer.clock.sleepUntil(sink->pacer.clock.state, deadline);
    if (!sink->dataEarly) LiveSinkFillFrame(sink, leds, 0);
    whole = SendRun(sink, from, sink->syncCount, whole);
    uint64_t shown = Now(sink);
    from += sink->syncCount;
    whole = SendRun(sink, from, sink->datagrams.size() - from, whole);
    const uint64_t now = Now(sink);
    if (sink->syncCount == 0) shown = now;
    RecordPacingError(&sink->pacing, shown > deadline ? shown - deadline : 0);
    KeepLast(sink, leds);
    sink->lastPacket = now;
    DiscoverIfDue(sink, now);
    sink->stats.restarts = sink->pacer.restarts;
    if (!whole) {
        ++sink->stats.framesNotSent;
        return true;
    }
    if (sink->stats.framesSent == 0) sink->stats.firstSend = shown;
    sink->stats.lastSend = shown;
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
    return sink;
}

OutputSink LiveSinkOutput(LiveSink* sink) {
    return OutputSink{sink, Begin, Frame, Finish, Abort, Error};
}

LiveStats LiveSinkStatsOf(const LiveSink* sink) {
    std::lock_guard<std::mutex> hold(sink->lock);
    LiveStats stats = sink->stats;
    stats.pacing = SummarizePacing(sink->pacing);
    return stats;
}
double LiveSinkRate(const LiveSink* sink) {
    return sink->rate;
}

void LiveSinkEnd(LiveSink* sink) {
    StopKeepAlive(sink);
    if (sink->sockets.empty()) return;
    // Receivers drop a terminated source at once instead of holding its
    // last frame until their timeout. Only the sACN data packets go out.
    std::vector<SysDatagram> terminations;
    std::vector<uint8_t> sockets;
    FrameLeds black{};
    LiveSinkFillFrame(sink, black, 0x40);
    for (size_t i = 0; i < sink->map.packets.size(); ++i) {
        if (sink->map.packets[i].kind != LivePacketSacnData) continue;
        terminations.push_back(sink->datagrams[i]);
        sockets.push_back(sink->datagramSocket[i]);
    }
    const int64_t notSent = sink->stats.framesNotSent;
    for (int round = 0; round < 3 && !terminations.empty(); ++round) {
        SendThrough(sink, terminations.data(), sockets.data(), int(terminations.size()));
        if (round < 2) {
            LiveSinkFillFrame(sink, black, 0x40);  // next sequence numbers
        }
    }
    sink->stats.framesNotSent = notSent;
    CloseSockets(sink);
}

void LiveSinkDestroy(LiveSink* sink) {
    if (!sink) return;
    StopKeepAlive(sink);
    CloseSockets(sink);
    delete sink;
}
