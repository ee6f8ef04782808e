// Status message parsing: the tail buffer, the message lengths by tag, and
// the field byte orders (geometry little-endian, port and progress counts
// big-endian).
#include "status.h"

#include <cstring>

#include "common/common.h"

namespace {

// The length of the message whose tag is `tag`, or 0 for an unknown tag.
size_t MessageLength(uint8_t tag) {
    switch (tag) {
        case kWindowGeometryTag:
            return kWindowGeometryMessageSize;
        case kPortLoadedTag:
            return kPortLoadedMessageSize;
        case kVideoProgressTag:
            return kVideoProgressMessageSize;
        default:
            return 0;
    }
}

StatusMessage Decode(const uint8_t* bytes) {
    StatusMessage message = {};
    switch (bytes[1]) {
        case kWindowGeometryTag:
            message.kind = StatusKind::WindowGeometry;
            message.x = int32_t(ReadLE32(bytes + kGeometryXOffset));
            message.y = int32_t(ReadLE32(bytes + kGeometryYOffset));
            message.width = int32_t(ReadLE32(bytes + kGeometryWidthOffset));
            message.height = int32_t(ReadLE32(bytes + kGeometryHeightOffset));
            break;
        case kPortLoadedTag:
            message.kind = StatusKind::PortLoaded;
            message.port = ReadBE16(bytes + kPortLoadedPortOffset);
            break;
        default:
            message.kind = StatusKind::VideoProgress;
            message.percent = bytes[kProgressPercentOffset];
            message.total = ReadBE32(bytes + kProgressCountOffset);
            message.frame = ReadBE32(bytes + kProgressFrameOffset);
            break;
    }
    return message;
}

void DropFirst(StatusStream& stream) {
    std::memmove(stream.pending, stream.pending + 1, stream.length - 1);
    --stream.length;
    ++stream.skippedBytes;
}

}  // namespace

void ResetStatusStream(StatusStream& stream) {
    stream = StatusStream{};
}

std::vector<StatusMessage> FeedStatusStream(StatusStream& stream, const uint8_t* data,
                                            size_t size) {
    std::vector<StatusMessage> messages;
    size_t used = 0;
    while (used < size || stream.length > 0) {
        // Fill the tail up to what the current message needs.
        size_t need = 2;
        if (stream.length >= 1 && stream.pending[0] != 0) {
            DropFirst(stream);
            continue;
        }
        if (stream.length >= 2) {
            need = MessageLength(stream.pending[1]);
            if (need == 0) {
                DropFirst(stream);
                continue;
            }
        }
        if (stream.length < need) {
            if (used == size) break;
            size_t take = need - stream.length;
            if (take > size - used) take = size - used;
            std::memcpy(stream.pending + stream.length, data + used, take);
            stream.length += take;
            used += take;
            continue;
        }
        messages.push_back(Decode(stream.pending));
        stream.length = 0;
    }
    return messages;
}
