// The OUTPUTS file of live playback: where the LEDs of which ports go, over
// which protocol. A JSON object:
//
//   {"source_name": "Quorvane", "cid": "6f1c0e2a-4b7d-4e59-9a31-2c8d5f0b7e14",
//    "interface": "192.168.1.10", "artnet_source_port": 6454,
//    "outputs": [{"protocol": "sacn", "address": "192.168.1.50", "ports": [1, 2],
//                 "universe": 1, "pixels_per_universe": 170, "priority": 100,
//                 "sync_universe": 7000, "udp_port": 5568, "interface": "192.168.1.10"},
//                ...]}
//
// Everything is checked before the first packet is sent; the first fault
// refuses the whole file with a message naming the entry. Addresses are
// numeric IPv4 only: nothing here ever asks a name resolver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/layout.h"

enum LiveProtocol : uint8_t { LiveSacn = 0, LiveArtNet = 1, LiveDdp = 2 };

constexpr int kDefaultPixelsPerUniverse = 170;
constexpr int kMaxPixelsPerUniverse = 170;  // 510 of a universe's 512 channels
constexpr int kDefaultSacnPriority = 100;
constexpr int kMaxSacnPriority = 200;
constexpr size_t kMaxOutputsFileSize = 1 << 20;

struct LiveOutput {
    LiveProtocol protocol;
    bool multicast;             // sACN to each universe's group 239.255.hi.lo
    bool artSync;               // Art-Net: one ArtSync after each frame
    uint8_t priority;           // sACN 0..200
    uint32_t address;           // IPv4, host byte order; unused when multicast
    uint32_t interfaceAddress;  // local IPv4 the packets leave from; 0 = the system's choice
    uint16_t udpPort;
    uint16_t universe;           // first universe: sACN 1.., Art-Net port-address 0..
    uint16_t pixelsPerUniverse;  // sACN and Art-Net, 1..170
    uint16_t syncUniverse;       // sACN; 0 = every universe shows at once
    uint16_t portCount;
    uint8_t ports[kPortCount];  // port indexes 0..255, in the listed order
};

struct LiveConfig {
    char sourceName[64];  // UTF-8, at most 63 bytes
    bool cidGiven;        // "cid": the sACN source's UUID, else one derived by the sink
    uint8_t cid[16];
    uint32_t interfaceAddress;  // "interface": every output's unless it names its own
    uint16_t artnetSourcePort;  // Art-Net leaves from this UDP port (6454); 0 = any
    int outputCount;
    LiveOutput outputs[kPortCount];  // each port appears once, so at most 256
};

// Reads `text` into `config`; false with a one-line message in `error`
// (without a file name) when anything in it is refused.
bool ParseLiveOutputs(const char* text, size_t size, LiveConfig* config, char* error,
                      size_t errorSize);
// The same for a file; the message then starts with the path.
bool ReadLiveOutputs(const char* path, LiveConfig* config, char* error, size_t errorSize);

// "outputs[2] (artnet 10.0.0.20)": how messages name an entry.
void DescribeLiveOutput(const LiveConfig& config, int index, char* text, size_t size);
// An IPv4 address (host byte order) as "192.0.2.1".
std::string Dotted(uint32_t address);
