// Every packet layout against bytes written out by hand from the public
// descriptions of E1.31, Art-Net 4 and DDP.
#include "live/packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) {
    return std::vector<uint8_t>(data, data + size);
}

SacnSource TestSource() {
    SacnSource source{};
    for (int i = 0; i < 16; ++i) source.cid[i] = uint8_t(0xa0 + i);
    strcpy(source.name, "Qv");
    source.priority = 150;
    return source;
}

TEST(LivePackets, SacnDataMatchesE131Layout) {
    uint8_t slots[3] = {0x11, 0x22, 0x33};
    uint8_t out[kLivePacketCapacity];
    memset(out, 0xee, sizeof out);
    size_t size = BuildSacnData(out, TestSource(), 0x0102, 7, 7000, 0x40, slots, 3);

    // clang-format off
    std::vector<uint8_t> expected = {
        0x00, 0x10, 0x00, 0x00,                                            // preamble, post-amble
        'A',  'S',  'C',  '-',  'E',  '1',  '.',  '1',  '7',  0,    0, 0,  // ACN packet identifier
        0x70, 0x71,                                                        // flags, length 129 - 16
        0x00, 0x00, 0x00, 0x04,                                            // VECTOR_ROOT_E131_DATA
        0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,                    // CID
        0xa8, 0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf,
        0x70, 0x5b,                                                        // flags, length 129 - 38
        0x00, 0x00, 0x00, 0x02,                                            // VECTOR_E131_DATA_PACKET
    };
    // clang-format on
    std::vector<uint8_t> name(64, 0);
    name[0] = 'Q';
    name[1] = 'v';
    expected.insert(expected.end(), name.begin(), name.end());
    // clang-format off
    std::vector<uint8_t> rest = {
        150,         // priority
        0x1b, 0x58,  // sync address 7000
        7,           // sequence
        0x40,        // options: terminated
        0x01, 0x02,  // universe
        0x70, 0x0e,  // flags, length 129 - 115
        0x02,        // VECTOR_DMP_SET_PROPERTY
        0xa1,        // address and data type
        0x00, 0x00,  // first property address
        0x00, 0x01,  // address increment
        0x00, 0x04,  // start code + 3 slots
        0x00,        // start code
        0x11, 0x22, 0x33,
    };
    // clang-format on
    expected.insert(expected.end(), rest.begin(), rest.end());
    ASSERT_EQ(size, 129u);
    EXPECT_EQ(Bytes(out, size), expected);
}

TEST(LivePackets, SacnFullUniverseLengths) {
    uint8_t slots[512] = {};
    uint8_t out[kLivePacketCapacity];
    ASSERT_EQ(BuildSacnData(out, TestSource(), 1, 0, 0, 0, slots, 512), 638u);
    EXPECT_EQ(out[16], 0x72);  // 638 - 16 = 622 = 0x26e
    EXPECT_EQ(out[17], 0x6e);
    EXPECT_EQ(out[123], 0x02);  // 513 values
    EXPECT_EQ(out[124], 0x01);
    // A name of 63 bytes keeps its terminating zero.
    SacnSource source = TestSource();
    memset(source.name, 'x', 63);
    source.name[63] = 0;
    BuildSacnData(out, source, 1, 0, 0, 0, slots, 1);
    EXPECT_EQ(out[44 + 62], 'x');
    EXPECT_EQ(out[44 + 63], 0);
}

TEST(LivePackets, SacnSyncMatchesE131Layout) {
    uint8_t out[kLivePacketCapacity];
    size_t size = BuildSacnSync(out, TestSource().cid, 7000, 200);
    // clang-format off
    std::vector<uint8_t> expected = {
        0x00, 0x10, 0x00, 0x00,
        'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0,
        0x70, 0x21,                                      // flags, length 49 - 16
        0x00, 0x00, 0x00, 0x08,                          // VECTOR_ROOT_E131_EXTENDED
        0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,  // CID
        0xa8, 0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf,
        0x70, 0x0b,                                      // flags, length 49 - 38
        0x00, 0x00, 0x00, 0x01,                          // VECTOR_E131_EXTENDED_SYNCHRONIZATION
        200,                                             // sequence
        0x1b, 0x58,                                      // sync address
        0x00, 0x00,                                      // reserved
    };
    // clang-format on
    ASSERT_EQ(size, 49u);
    EXPECT_EQ(Bytes(out, size), expected);
    EXPECT_EQ(SacnMulticastAddress(0x1234), 0xefff1234u);  // 239.255.18.52
}

TEST(LivePackets, ArtDmxAndArtSyncMatchArtNet4) {
    uint8_t channels[3] = {0x11, 0x22, 0x33};
    uint8_t out[kLivePacketCapacity];
    memset(out, 0xee, sizeof out);
    size_t size = BuildArtDmx(out, 0x7234, 5, channels, 3);
    // clang-format off
    std::vector<uint8_t> expected = {
        'A',  'r',  't',  '-',  'N', 'e', 't', 0, 0x00, 0x50,  // OpDmx, low byte first
        0x00, 14,                                              // protocol version
        5,                                                     // sequence
        0,                                                     // physical
        0x34,                                                  // SubUni: sub-net 3, universe 4
        0x72,                                                  // Net
        0x00, 0x04,                                            // length, padded to even
        0x11, 0x22, 0x33, 0x00,
    };
    // clang-format on
    EXPECT_EQ(Bytes(out, size), expected);

    size = BuildArtSync(out);
    expected = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x52, 0x00, 14, 0, 0};
    EXPECT_EQ(Bytes(out, size), expected);
}

TEST(LivePackets, DdpMatchesPublicHeader) {
    uint8_t data[3] = {0x11, 0x22, 0x33};
    uint8_t out[kLivePacketCapacity];
    size_t size = BuildDdpData(out, 0x000105a0, 15, true, data, 3);
    // clang-format off
    std::vector<uint8_t> expected = {
        0x41,                    // version 1, push
        0x0f,                    // sequence
        0x0b,                    // RGB, 8 bits per channel
        0x01,                    // default output device
        0x00, 0x01, 0x05, 0xa0,  // offset
        0x00, 0x03,              // length
        0x11, 0x22, 0x33,
    };
    // clang-format on
    EXPECT_EQ(Bytes(out, size), expected);
    size = BuildDdpData(out, 0, 1, false, data, 0);
    expected = {0x40, 0x01, 0x0b, 0x01, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(out, size), expected);
}

}  // namespace
