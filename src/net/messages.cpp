// The three status messages to the control program. Each begins with 0x00
// and its tag byte; the fields after it keep the byte orders the control
// program reads: little-endian geometry, big-endian port and frame counts.
// Every message is one SendToControl call whose result nobody looks at.
#include "net/messages.h"

#include <cmath>

#include "common/common.h"
#include "net/server.h"
#include "render/settings.h"

void BuildWindowGeometryMessage(const WindowRect& rect, uint8_t out[kWindowGeometryMessageSize]) {
    out[0] = 0x00;
    out[1] = kWindowGeometryTag;
    WriteLE32(out + kGeometryXOffset, uint32_t(rect.x));
    WriteLE32(out + kGeometryYOffset, uint32_t(rect.y));
    WriteLE32(out + kGeometryWidthOffset, uint32_t(rect.width));
    WriteLE32(out + kGeometryHeightOffset, uint32_t(rect.height));
}

void BuildPortLoadedMessage(uint16_t port, uint8_t out[kPortLoadedMessageSize]) {
    out[0] = 0x00;
    out[1] = kPortLoadedTag;
    WriteBE16(out + kPortLoadedPortOffset, port);
}

void BuildVideoProgressMessage(uint32_t frameNumber, uint32_t frameCount,
                               uint8_t out[kVideoProgressMessageSize]) {
    // (frame / total) * 100.0 in double, truncated; a frame number beyond the
    // total wraps in the byte as the integer conversion of the value does.
    uint8_t percent = 0;
    if (frameCount != 0) {
        double share = std::trunc(double(frameNumber) / double(frameCount) * 100.0);
        percent = uint8_t(int64_t(share));
    }
    out[0] = 0x00;
    out[1] = kVideoProgressTag;
    out[2] = 0x00;
    out[kProgressPercentOffset] = percent;
    WriteBE32(out + kProgressCountOffset, frameCount);
    WriteBE32(out + kProgressFrameOffset, frameNumber);
}

void SendWindowGeometryMessage() {
    uint8_t message[kWindowGeometryMessageSize];
    BuildWindowGeometryMessage(TrackWindowGeometry(), message);
    SendToControl(message, kWindowGeometryMessageSize);
}

void SendPortLoadedMessage(uint16_t port) {
    uint8_t message[kPortLoadedMessageSize];
    BuildPortLoadedMessage(port, message);
    SendToControl(message, kPortLoadedMessageSize);
}

void SendVideoProgressMessage(uint32_t frameNumber, uint32_t frameCount) {
    uint8_t message[kVideoProgressMessageSize];
    BuildVideoProgressMessage(frameNumber, frameCount, message);
    SendToControl(message, kVideoProgressMessageSize);
}
