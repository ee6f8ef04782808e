// Reads Quorvane's status messages out of the byte stream of the control
// connection. The connection has no framing: one read may hold part of a
// message or several messages, so the parser keeps the unfinished tail and
// cuts messages by their fixed lengths (0x00 0xB1: 18 bytes, 0x00 0xB0: 4,
// 0x00 0xB2: 12).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/protocol.h"

enum class StatusKind : uint8_t { WindowGeometry, PortLoaded, VideoProgress };

struct StatusMessage {
    StatusKind kind;
    // WindowGeometry: Quorvane's drawing area on the screen.
    int32_t x, y, width, height;
    // PortLoaded: the port index 0..255.
    uint16_t port;
    // VideoProgress.
    uint8_t percent;
    uint32_t total, frame;
};

// The unfinished tail of the stream; at most one message long.
struct StatusStream {
    uint8_t pending[kWindowGeometryMessageSize];
    size_t length;
    size_t skippedBytes;  // bytes dropped because they began no known message
};

void ResetStatusStream(StatusStream& stream);

// Appends `size` received bytes and returns every message they complete, in
// order. A byte that cannot begin a message is dropped (and counted) so the
// parser finds the next message start again.
std::vector<StatusMessage> FeedStatusStream(StatusStream& stream, const uint8_t* data, size_t size);
