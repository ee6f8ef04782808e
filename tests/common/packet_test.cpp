// Path and decimal fields read out of a command packet, bounded by the
// packet buffer.
#include "common/packet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Packet {
    uint8_t bytes[kPacketSize];
    Packet() { std::memset(bytes, 0, sizeof bytes); }
    void Put(size_t offset, const std::string& text) {
        std::memcpy(bytes + offset, text.data(), text.size());
    }
};

TEST(PacketPathTest, CopiesUpToTheNulOrTheBufferEnd) {
    Packet packet;
    packet.Put(kPathOffset, "C:\\shows\\a.quor");
    char out[kPathBufferSize];
    ASSERT_TRUE(PacketPath(packet.bytes, kPathOffset, out));
    EXPECT_STREQ(out, "C:\\shows\\a.quor");

    // No NUL before the end of the buffer: the path ends with the buffer.
    Packet tail;
    std::memset(tail.bytes, 'x', kPacketSize);
    ASSERT_TRUE(PacketPath(tail.bytes, kPacketSize - 10, out));
    EXPECT_EQ(std::string(out), std::string(10, 'x'));
}

TEST(PacketPathTest, TakesAt511BytesAndRefuses512) {
    char out[kPathBufferSize];
    Packet fits;
    fits.Put(kPathOffset, std::string(511, 'p'));
    ASSERT_TRUE(PacketPath(fits.bytes, kPathOffset, out));
    EXPECT_EQ(std::strlen(out), 511u);

    Packet tooLong;
    tooLong.Put(kPathOffset, std::string(512, 'p'));
    std::memset(out, 'z', sizeof out);
    EXPECT_FALSE(PacketPath(tooLong.bytes, kPathOffset, out));
    EXPECT_STREQ(out, "");

    // A whole packet without any NUL is far too long, and an offset past
    // the buffer reads nothing.
    Packet full;
    std::memset(full.bytes, 'q', kPacketSize);
    EXPECT_FALSE(PacketPath(full.bytes, kPathOffset, out));
    EXPECT_FALSE(PacketPath(full.bytes, kPacketSize, out));
    EXPECT_STREQ(out, "");
}

TEST(PacketDecimalTest, ReadsLikeAtoi) {
    // Fields whose text ends inside the field read as the C library reads them.
    for (const char* text : {"-1", "  12x", "+7", "0", "abc", "", " \t\n42", "- 5", "+-3", "007",
                             "-0", "2147483647", "12 34"}) {
        SCOPED_TRACE(text);
        Packet packet;
        packet.Put(8, text);
        EXPECT_EQ(PacketDecimal(packet.bytes, 8, 16), std::atoi(text));
    }
}

TEST(PacketDecimalTest, StopsAtTheFieldAndTheBufferEnd) {
    Packet packet;
    packet.Put(8, "12345");
    EXPECT_EQ(PacketDecimal(packet.bytes, 8, 3), 123);
    EXPECT_EQ(PacketDecimal(packet.bytes, 8, 0), 0);

    Packet tail;
    tail.Put(kPacketSize - 2, "99");  // digits run into the end of the buffer
    EXPECT_EQ(PacketDecimal(tail.bytes, kPacketSize - 2, 16), 99);
    EXPECT_EQ(PacketDecimal(tail.bytes, kPacketSize, 16), 0);
}

}  // namespace
