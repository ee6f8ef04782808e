// The status stream parser: each message kind with its byte orders, and the
// same stream cut at every place or joined, with noise between messages.
#include "status.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ByteList = std::vector<uint8_t>;

// Geometry x -8, y 20, 640 x 480; port 300 loaded; frame 2 of 3 (66 %).
const ByteList kGeometry = {0x00, 0xB1, 0xF8, 0xFF, 0xFF, 0xFF, 20,   0, 0,
                            0,    0x80, 0x02, 0,    0,    0xE0, 0x01, 0, 0};
const ByteList kPortLoaded = {0x00, 0xB0, 0x01, 0x2C};
const ByteList kProgress = {0x00, 0xB2, 0x00, 66, 0, 0, 0x01, 0x03, 0, 0, 0x01, 0x02};

ByteList Joined() {
    ByteList all = kGeometry;
    all.insert(all.end(), kPortLoaded.begin(), kPortLoaded.end());
    all.insert(all.end(), kProgress.begin(), kProgress.end());
    return all;
}

void ExpectTheThree(const std::vector<StatusMessage>& messages) {
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].kind, StatusKind::WindowGeometry);
    EXPECT_EQ(messages[0].x, -8);
    EXPECT_EQ(messages[0].y, 20);
    EXPECT_EQ(messages[0].width, 640);
    EXPECT_EQ(messages[0].height, 480);
    EXPECT_EQ(messages[1].kind, StatusKind::PortLoaded);
    EXPECT_EQ(messages[1].port, 300);
    EXPECT_EQ(messages[2].kind, StatusKind::VideoProgress);
    EXPECT_EQ(messages[2].percent, 66);
    EXPECT_EQ(messages[2].total, 259u);
    EXPECT_EQ(messages[2].frame, 258u);
}

TEST(StatusStream, JoinedMessagesInOneRead) {
    StatusStream stream;
    ResetStatusStream(stream);
    ByteList all = Joined();
    ExpectTheThree(FeedStatusStream(stream, all.data(), all.size()));
    EXPECT_EQ(stream.length, 0u);
}

TEST(StatusStream, EveryCutPointGivesTheSameMessages) {
    ByteList all = Joined();
    for (size_t cut = 0; cut <= all.size(); ++cut) {
        StatusStream stream;
        ResetStatusStream(stream);
        std::vector<StatusMessage> messages = FeedStatusStream(stream, all.data(), cut);
        std::vector<StatusMessage> rest =
            FeedStatusStream(stream, all.data() + cut, all.size() - cut);
        messages.insert(messages.end(), rest.begin(), rest.end());
        SCOPED_TRACE(cut);
        ExpectTheThree(messages);
    }
    StatusStream stream;
    ResetStatusStream(stream);
    std::vector<StatusMessage> messages;
    for (uint8_t byte : all) {
        std::vector<StatusMessage> got = FeedStatusStream(stream, &byte, 1);
        messages.insert(messages.end(), got.begin(), got.end());
    }
    ExpectTheThree(messages);
}

TEST(StatusStream, SkipsBytesThatBeginNoMessage) {
    ByteList noisy = {0x41, 0x00, 0x99};
    ByteList all = Joined();
    noisy.insert(noisy.end(), all.begin(), all.end());
    StatusStream stream;
    ResetStatusStream(stream);
    ExpectTheThree(FeedStatusStream(stream, noisy.data(), noisy.size()));
    EXPECT_EQ(stream.skippedBytes, 3u);
}

}  // namespace
