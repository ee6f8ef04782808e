// Works out the packets of a frame; see live_map.h.
#include "live/live_map.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

#include "live/packets.h"

namespace {

bool MapUniverses(const LiveConfig& config, int index, const uint16_t ledCount[kPortCount],
                  LiveMap* map, char* error, size_t errorSize) {
    const LiveOutput& out = config.outputs[index];
    bool sacn = out.protocol == LiveSacn;
    long last = sacn ? kSacnMaxUniverse : kArtNetMaxPortAddress;
    long universe = out.universe;
    for (int i = 0; i < out.portCount; ++i) {
        int port = out.ports[i];
        for (int first = 0; first < ledCount[port]; first += out.pixelsPerUniverse) {
            char who[96];
            DescribeLiveOutput(config, index, who, sizeof who);
            if (universe > last) {
                snprintf(error, errorSize, "%s: port %d needs universe %ld, past the last one, %ld",
                         who, port + 1, universe, last);
                return false;
            }
            if (sacn && universe == out.syncUniverse) {
                snprintf(error, errorSize,
                         "%s: sync_universe %d is also the data universe of port %d", who,
                         out.syncUniverse, port + 1);
                return false;
            }
            LivePacketPlan packet{};
            packet.kind = sacn ? LivePacketSacnData : LivePacketArtDmx;
            packet.output = uint8_t(index);
            packet.port = uint8_t(port);
            packet.universe = uint16_t(universe);
            packet.firstLed = uint16_t(first);
            int remaining = ledCount[port] - first;
            packet.ledCount =
                uint16_t(remaining < out.pixelsPerUniverse ? remaining : out.pixelsPerUniverse);
            packet.address = out.multicast ? SacnMulticastAddress(uint16_t(universe)) : out.address;
            packet.udpPort = out.udpPort;
            map->packets.push_back(packet);
            ++universe;
        }
    }
    return true;
}

void MapStream(const LiveConfig& config, int index, const uint16_t ledCount[kPortCount],
               LiveMap* map) {
    const LiveOutput& out = config.outputs[index];
    uint32_t bytes = 0;
    for (int i = 0; i < out.portCount; ++i) bytes += 3u * ledCount[out.ports[i]];
    map->streamBytes[index] = bytes;
    map->streamStart[index] = map->streamTotal;
    map->streamTotal += bytes;
    for (uint32_t offset = 0; offset < bytes; offset += kDdpMaxData) {
        LivePacketPlan packet{};
        packet.kind = LivePacketDdp;
        packet.output = uint8_t(index);
        packet.offset = offset;
        packet.byteCount =
            uint16_t(bytes - offset < uint32_t(kDdpMaxData) ? bytes - offset : kDdpMaxData);
        packet.push = offset + packet.byteCount == bytes;
        packet.address = out.address;
        packet.udpPort = out.udpPort;
        map->packets.push_back(packet);
    }
}

}  // namespace

bool BuildLiveMap(const LiveConfig& config, const uint16_t ledCount[kPortCount], LiveMap* map,
                  char* error, size_t errorSize) {
    map->packets.clear();
    memset(map->streamBytes, 0, sizeof map->streamBytes);
    memset(map->streamStart, 0, sizeof map->streamStart);
    map->streamTotal = 0;
    for (int i = 0; i < config.outputCount; ++i) {
        if (config.outputs[i].protocol == LiveDdp) {
            MapStream(config, i, ledCount, map);
        } else if (!MapUniverses(config, i, ledCount, map, error, errorSize)) {
            return false;
        }
    }
    // What each destination receives: data universes (kinds with their
    // protocol), DDP streams, sync universes.
    using Key = std::tuple<int, uint32_t, uint16_t, uint16_t>;  // kind, address, port, universe
    std::map<Key, int> taken;
    for (const LivePacketPlan& packet : map->packets) {
        if (packet.kind == LivePacketDdp && packet.offset != 0) continue;
        const Key key{packet.kind, packet.address, packet.udpPort, packet.universe};
        auto [it, added] = taken.emplace(key, packet.output);
        if (added || it->second == packet.output) continue;
        char first[96], second[96];
        DescribeLiveOutput(config, it->second, first, sizeof first);
        DescribeLiveOutput(config, packet.output, second, sizeof second);
        if (packet.kind == LivePacketDdp)
            snprintf(error, errorSize, "%s: sends to the same DDP receiver and port as %s", second,
                     first);
        else
            snprintf(error, errorSize, "%s: universe %d is also sent by %s to the same %s", second,
                     packet.universe, first,
                     config.outputs[packet.output].multicast ? "multicast group" : "destination");
        return false;
    }
    std::map<uint16_t, uint32_t> syncLead;  // sACN sync universe: its first packet
    std::map<Key, int> syncs;
    for (int i = 0; i < config.outputCount; ++i) {
        const LiveOutput& out = config.outputs[i];
        LivePacketPlan packet{};
        packet.output = uint8_t(i);
        packet.udpPort = out.udpPort;
        packet.address = out.address;
        if (out.protocol == LiveSacn && out.syncUniverse != 0) {
            packet.kind = LivePacketSacnSync;
            packet.universe = out.syncUniverse;
            if (out.multicast) packet.address = SacnMulticastAddress(out.syncUniverse);
        } else if (out.protocol == LiveArtNet && out.artSync) {
            packet.kind = LivePacketArtSync;
        } else {
            continue;
        }
        const bool sacn = packet.kind == LivePacketSacnSync;
        const Key data{LivePacketSacnData, packet.address, packet.udpPort, packet.universe};
        if (sacn && taken.count(data) != 0) {
            char who[96], other[96];
            DescribeLiveOutput(config, i, who, sizeof who);
            DescribeLiveOutput(config, taken[data], other, sizeof other);
            snprintf(error, errorSize,
                     "%s: sync_universe %d is a data universe of %s at the same destination", who,
                     packet.universe, other);
            return false;
        }
        const Key key{packet.kind, packet.address, packet.udpPort, sacn ? packet.universe : 0};
        if (!syncs.emplace(key, i).second) continue;  // that destination has its sync
        const uint32_t index = uint32_t(map->packets.size());
        packet.lead = sacn ? syncLead.emplace(packet.universe, index).first->second : index;
        map->packets.push_back(packet);
    }
    return true;
}
