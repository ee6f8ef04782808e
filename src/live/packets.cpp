// Byte layouts of the live protocols. All multi-byte fields are big-endian
// except the Art-Net op code and the 15-bit port-address, which Art-Net sends
// low byte first.
#include "live/packets.h"

#include <cstring>

#include "common/common.h"

namespace {

// Flags (0x7) and the 12-bit length of a PDU that runs to the packet's end.
void PutFlagsLength(uint8_t* p, size_t length) {
    WriteBE16(p, 0x7000u | unsigned(length));
}

const uint8_t kAcnIdentifier[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
const uint8_t kArtNetId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};

constexpr uint32_t kVectorRootData = 0x00000004;
constexpr uint32_t kVectorRootExtended = 0x00000008;
constexpr uint32_t kVectorFramingData = 0x00000002;
constexpr uint32_t kVectorFramingSync = 0x00000001;
constexpr uint32_t kVectorFramingDiscovery = 0x00000002;
constexpr uint32_t kVectorDiscoveryList = 0x00000001;
constexpr uint8_t kVectorDmpSetProperty = 0x02;

// The root layer up to and including the CID (38 bytes).
void PutRootLayer(uint8_t* out, size_t total, uint32_t vector, const uint8_t cid[16]) {
    WriteBE16(out + 0, 0x0010);  // preamble size
    WriteBE16(out + 2, 0x0000);  // post-amble size
    memcpy(out + 4, kAcnIdentifier, 12);
    PutFlagsLength(out + 16, total - 16);
    WriteBE32(out + 18, vector);
    memcpy(out + 22, cid, 16);
}

}  // namespace

size_t BuildSacnData(uint8_t* out, const SacnSource& source, uint16_t universe, uint8_t sequence,
                     uint16_t syncUniverse, uint8_t options, const uint8_t* slots, int count) {
    size_t total = size_t(kSacnHeaderSize + count);
    PutRootLayer(out, total, kVectorRootData, source.cid);
    PutFlagsLength(out + 38, total - 38);
    WriteBE32(out + 40, kVectorFramingData);
    size_t nameLength = strnlen(source.name, 63);
    memcpy(out + 44, source.name, nameLength);
    memset(out + 44 + nameLength, 0, 64 - nameLength);
    out[108] = source.priority;
    WriteBE16(out + 109, syncUniverse);
    out[111] = sequence;
    out[112] = options;
    WriteBE16(out + 113, universe);
    PutFlagsLength(out + 115, total - 115);
    out[117] = kVectorDmpSetProperty;
    out[118] = 0xa1;                            // address and data type
    WriteBE16(out + 119, 0);                    // first property address
    WriteBE16(out + 121, 1);                    // address increment
    WriteBE16(out + 123, unsigned(count + 1));  // start code and slots
    out[125] = 0;                               // start code: dimmer data
    memcpy(out + kSacnHeaderSize, slots, size_t(count));
    return total;
}

size_t BuildSacnDiscovery(uint8_t* out, const SacnSource& source, uint8_t page, uint8_t lastPage,
                          const uint16_t* universes, int count) {
    const size_t total = size_t(kSacnDiscoveryHeaderSize + 2 * count);
    PutRootLayer(out, total, kVectorRootExtended, source.cid);
    PutFlagsLength(out + 38, total - 38);
    WriteBE32(out + 40, kVectorFramingDiscovery);
    const size_t nameLength = strnlen(source.name, 63);
    memcpy(out + 44, source.name, nameLength);
    memset(out + 44 + nameLength, 0, 64 - nameLength);
    WriteBE32(out + 108, 0);  // reserved
    PutFlagsLength(out + 112, total - 112);
    WriteBE32(out + 114, kVectorDiscoveryList);
    out[118] = page;
    out[119] = lastPage;
    for (int i = 0; i < count; ++i) WriteBE16(out + 120 + 2 * i, universes[i]);
    return total;
}

size_t BuildSacnSync(uint8_t* out, const uint8_t cid[16], uint16_t syncUniverse, uint8_t sequence) {
    PutRootLayer(out, kSacnSyncSize, kVectorRootExtended, cid);
    PutFlagsLength(out + 38, kSacnSyncSize - 38);
    WriteBE32(out + 40, kVectorFramingSync);
    out[44] = sequence;
    WriteBE16(out + 45, syncUniverse);
    WriteBE16(out + 47, 0);  // reserved
    return kSacnSyncSize;
}

uint32_t SacnMulticastAddress(uint16_t universe) {
    return 0xefff0000u | universe;
}

size_t BuildArtDmx(uint8_t* out, uint16_t portAddress, uint8_t sequence, const uint8_t* channels,
                   int count) {
    int length = count + (count & 1);
    memcpy(out, kArtNetId, 8);
    out[8] = 0x00;  // OpDmx 0x5000, low byte first
    out[9] = 0x50;
    out[10] = 0;  // protocol version 14
    out[11] = 14;
    out[12] = sequence;
    out[13] = 0;                                   // physical input port
    out[14] = uint8_t(portAddress & 0xff);         // sub-net and universe
    out[15] = uint8_t((portAddress >> 8) & 0x7f);  // net
    WriteBE16(out + 16, unsigned(length));
    memcpy(out + kArtDmxHeaderSize, channels, size_t(count));
    if (length != count) out[kArtDmxHeaderSize + count] = 0;
    return size_t(kArtDmxHeaderSize + length);
}

size_t BuildArtSync(uint8_t* out) {
    memcpy(out, kArtNetId, 8);
    out[8] = 0x00;  // OpSync 0x5200, low byte first
    out[9] = 0x52;
    out[10] = 0;
    out[11] = 14;
    out[12] = 0;  // aux
    out[13] = 0;
    return kArtSyncSize;
}

size_t BuildDdpData(uint8_t* out, uint32_t offset, uint8_t sequence, bool push, const uint8_t* data,
                    int count) {
    out[0] = uint8_t(0x40 | (push ? 0x01 : 0x00));  // version 1
    out[1] = uint8_t(sequence & 0x0f);
    out[2] = 0x0b;  // RGB, 8 bits per channel
    out[3] = 0x01;  // the default output device
    WriteBE32(out + 4, offset);
    WriteBE16(out + 8, unsigned(count));
    memcpy(out + kDdpHeaderSize, data, size_t(count));
    return size_t(kDdpHeaderSize + count);
}

size_t BuildArtPoll(uint8_t* out) {
    memcpy(out, kArtNetId, 8);
    out[8] = 0x00;  // OpArtPoll 0x2000, low byte first
    out[9] = 0x20;
    out[10] = 0;  // protocol version 14
    out[11] = 14;
    out[12] = 0;  // flags: replies only when polled
    out[13] = 0;  // diagnostics priority
    return kArtPollSize;
}

bool ParseArtPollReply(const uint8_t* data, size_t size, ArtNode* node) {
    // Up to the output port switches (byte 193); later fields are optional.
    if (size < 194 || memcmp(data, kArtNetId, 8) != 0 || data[8] != 0x00 || data[9] != 0x21)
        return false;
    *node = ArtNode{};
    node->address =
        uint32_t(data[10]) << 24 | uint32_t(data[11]) << 16 | uint32_t(data[12]) << 8 | data[13];
    memcpy(node->shortName, data + 26, 17);
    node->shortName[17] = 0;
    const int ports = data[173];
    node->portCount = ports < 4 ? ports : 4;
    for (int i = 0; i < node->portCount; ++i) {
        node->output[i] = (data[174 + i] & 0x80) != 0;
        node->input[i] = (data[174 + i] & 0x40) != 0;
        const uint8_t low = node->output[i] ? data[190 + i] : data[186 + i];
        node->portAddress[i] =
            uint16_t((data[18] & 0x7F) << 8 | (data[19] & 0x0F) << 4 | (low & 0x0F));
    }
    return true;
}
