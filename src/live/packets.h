// The datagrams of the three live protocols: E1.31 (sACN) data and
// synchronization packets, Art-Net ArtDmx and ArtSync, and DDP. Each builder
// writes one whole packet into a caller's buffer, which the sender reuses
// frame after frame, and returns its length in bytes. Pure functions: the
// sequence numbers and everything else come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kSacnUdpPort = 5568;
constexpr uint16_t kArtNetUdpPort = 6454;
constexpr uint16_t kDdpUdpPort = 4048;

constexpr int kDmxSlots = 512;        // channels of one universe
constexpr int kSacnHeaderSize = 126;  // root, framing and DMP layers with start code
constexpr int kSacnSyncSize = 49;
constexpr int kArtDmxHeaderSize = 18;
constexpr int kArtSyncSize = 14;
constexpr int kDdpHeaderSize = 10;
constexpr int kDdpMaxData = 1440;  // 480 RGB LEDs, fits one Ethernet frame
// Room for any of the packets (a full DDP packet is the largest).
constexpr int kLivePacketCapacity = kDdpHeaderSize + kDdpMaxData;
static_assert(kLivePacketCapacity >= kSacnHeaderSize + kDmxSlots);

constexpr uint16_t kSacnMaxUniverse = 63999;
constexpr uint16_t kArtNetMaxPortAddress = 32767;

// What identifies this sender in every E1.31 packet of a run.
struct SacnSource {
    uint8_t cid[16];
    char name[64];     // UTF-8, NUL-terminated; sent NUL-padded to 64 bytes
    uint8_t priority;  // 0..200
};

// E1.31 data packet for `universe` with `count` (1..512) DMX slots after the
// start code 0. `syncUniverse` 0 means the receiver shows it at once;
// `options` carries the preview (0x80), stream-terminated (0x40) and
// force-synchronization (0x20) bits.
size_t BuildSacnData(uint8_t* out, const SacnSource& source, uint16_t universe, uint8_t sequence,
                     uint16_t syncUniverse, uint8_t options, const uint8_t* slots, int count);
// E1.31 synchronization packet: the receivers waiting on `syncUniverse` show
// what they hold.
size_t BuildSacnSync(uint8_t* out, const uint8_t cid[16], uint16_t syncUniverse, uint8_t sequence);

// E1.31 universe discovery: a source lists the universes it sends, at
// least every 10 s, on this universe, at most 512 per page.
constexpr uint16_t kSacnDiscoveryUniverse = 64214;
constexpr int kSacnDiscoveryPageSize = 512;
constexpr int kSacnDiscoveryHeaderSize = 120;
static_assert(kLivePacketCapacity >= kSacnDiscoveryHeaderSize + 2 * kSacnDiscoveryPageSize);
// Page `page` of `lastPage` (both from 0) listing `count` (0..512) universes
// in ascending order.
size_t BuildSacnDiscovery(uint8_t* out, const SacnSource& source, uint8_t page, uint8_t lastPage,
                          const uint16_t* universes, int count);

// The multicast group of an E1.31 universe, 239.255.hi.lo, host byte order.
uint32_t SacnMulticastAddress(uint16_t universe);

// ArtDmx for the 15-bit `portAddress` (net, sub-net, universe). `count`
// channels (1..512) are copied; an odd count is padded with one zero channel,
// as the length must be even. `sequence` 1..255 (0 turns reordering off).
size_t BuildArtDmx(uint8_t* out, uint16_t portAddress, uint8_t sequence, const uint8_t* channels,
                   int count);
size_t BuildArtSync(uint8_t* out);

// ArtPoll: asks every node to answer with an ArtPollReply.
constexpr int kArtPollSize = 14;
size_t BuildArtPoll(uint8_t* out);
// What a node tells of itself in its ArtPollReply.
struct ArtNode {
    uint32_t address;    // IPv4, host byte order
    char shortName[18];  // NUL-terminated
    int portCount;
    uint16_t portAddress[4];  // 15-bit port-address of each port
    bool output[4];           // the port can output (receives ArtDmx)
    bool input[4];
};
// False when `data` is not an ArtPollReply.
bool ParseArtPollReply(const uint8_t* data, size_t size, ArtNode* node);

// One DDP packet of an RGB stream: `count` (0..1440) bytes at byte `offset`
// of the display; `push` on the frame's last packet; `sequence` 1..15.
size_t BuildDdpData(uint8_t* out, uint32_t offset, uint8_t sequence, bool push, const uint8_t* data,
                    int count);
