// Where each port's LEDs go: the packets of one frame, worked out once from
// the OUTPUTS file and the layout's chain lengths. sACN and Art-Net: every
// listed port starts on a new universe, pixelsPerUniverse LEDs per universe
// (3 channels each, from channel 1), universes counting up from the output's
// first one across its ports in the listed order; a port without LEDs takes
// no universe. DDP: the listed ports' LEDs, in order, as one RGB stream from
// byte 0, cut into packets of at most 1440 bytes. The synchronization packets
// come after all data packets of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "live/outputs.h"

enum LivePacketKind : uint8_t {
    LivePacketSacnData,
    LivePacketSacnSync,
    LivePacketArtDmx,
    LivePacketArtSync,
    LivePacketDdp,
};

struct LivePacketPlan {
    LivePacketKind kind;
    uint8_t output;      // index into LiveConfig::outputs
    uint8_t port;        // sACN / Art-Net data: the port whose LEDs it carries
    uint8_t sequence;    // the sequence number last sent for this universe
    uint16_t universe;   // sACN universe, Art-Net port-address, or the sync universe
    uint16_t firstLed;   // sACN / Art-Net data: the port's first LED in it
    uint16_t ledCount;   // sACN / Art-Net data: LEDs in it
    uint16_t byteCount;  // DDP: bytes in it
    uint32_t offset;     // DDP: its first byte in the output's stream
    uint32_t address;    // destination, IPv4 host byte order
    uint16_t udpPort;
    bool push;  // DDP: the frame's last packet of its output
    // sACN sync: the index of the universe's first sync packet, which counts
    // the sequence; the others (other destinations) send the same number.
    uint32_t lead;
};

struct LiveMap {
    std::vector<LivePacketPlan> packets;
    uint32_t streamBytes[kPortCount];  // DDP: bytes of each output's stream
    uint32_t streamStart[kPortCount];  // DDP: where each output's stream sits in one buffer
    uint32_t streamTotal;
};

// False, with a message naming the entry, when an output's universes run past
// the protocol's last one, or a universe (or a DDP stream) is sent to one
// destination (address and UDP port, or multicast group) by two outputs, or
// a sync universe is also a data universe there. A sync universe shared by
// outputs gets one sync packet per destination and frame, all with one
// sequence number.

bool BuildLiveMap(const LiveConfig& config, const uint16_t ledCount[kPortCount], LiveMap* map,
                  char* error, size_t errorSize);
