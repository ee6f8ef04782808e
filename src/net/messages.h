// The status messages to the control program: window geometry before every
// command, a port's chain loaded, and video progress. Each is one send.
#pragma once

#include <cstdint>

#include "common/protocol.h"
#include "render/window.h"

void BuildWindowGeometryMessage(const WindowRect& rect, uint8_t out[kWindowGeometryMessageSize]);
void BuildPortLoadedMessage(uint16_t port, uint8_t out[kPortLoadedMessageSize]);
void BuildVideoProgressMessage(uint32_t frameNumber, uint32_t frameCount,
                               uint8_t out[kVideoProgressMessageSize]);

// Runs TrackWindowGeometry and sends the 18-byte message.
void SendWindowGeometryMessage();
void SendPortLoadedMessage(uint16_t port);
void SendVideoProgressMessage(uint32_t frameNumber, uint32_t frameCount);
