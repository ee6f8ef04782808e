// Field access for command packets, bounded by the packet buffer.
#include "common/packet.h"

#include <cstring>

#include "common/common.h"

uint16_t PacketPort(const uint8_t* packet) {
    return ReadBE16(packet + kPortFieldOffset);
}

bool PacketPath(const uint8_t* packet, size_t offset, char out[kPathBufferSize]) {
    out[0] = '\0';
    if (offset >= kPacketSize) return false;
    size_t available = kPacketSize - offset;
    const void* nul = std::memchr(packet + offset, 0, available);
    size_t length = nul ? size_t(static_cast<const uint8_t*>(nul) - (packet + offset)) : available;
    if (length > kPathBufferSize - 1) return false;
    std::memcpy(out, packet + offset, length);
    out[length] = '\0';
    return true;
}

int PacketDecimal(const uint8_t* packet, size_t offset, size_t width) {
    if (offset >= kPacketSize) return 0;
    if (width > kPacketSize - offset) width = kPacketSize - offset;
    const uint8_t* p = packet + offset;
    const uint8_t* end = p + width;
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    long long value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (value < 100000000000LL) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    return static_cast<int>(value);  // wraps like the C conversion on overflow-free inputs
}
