// The status messages byte for byte, and the geometry message's run of the
// window-geometry tracking that rewrites the settings file.
#include "net/messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "render/settings.h"
#include "render/window.h"
#include "support/stand_in_window.h"
#include "support/test_support.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        out += two;
    }
    return out;
}

struct GeometryCase {
    WindowRect rect;
    const char* bytes;
};

TEST(StatusMessages, WindowGeometryIsLittleEndianAfterTheTag) {
    const GeometryCase cases[] = {
        {{-8, -31, 640, 480},
         "00B1"
         "F8FFFFFF"
         "E1FFFFFF"
         "80020000"
         "E0010000"},
        {{0, 0, 0, 0},
         "00B1"
         "00000000"
         "00000000"
         "00000000"
         "00000000"},
        {{0x01020304, 1, 0x7FFFFFFF, -1},
         "00B1"
         "04030201"
         "01000000"
         "FFFFFF7F"
         "FFFFFFFF"},
    };
    for (const GeometryCase& c : cases) {
        uint8_t out[kWindowGeometryMessageSize];
        BuildWindowGeometryMessage(c.rect, out);
        EXPECT_EQ(Hex(out, sizeof out), c.bytes) << c.rect.x << "," << c.rect.y;
    }
}

TEST(StatusMessages, PortLoadedIsBigEndian) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0, "00B00000"}, {255, "00B000FF"}, {0x0102, "00B00102"}};
    for (const auto& [port, bytes] : cases) {
        uint8_t out[kPortLoadedMessageSize];
        BuildPortLoadedMessage(port, out);
        EXPECT_EQ(Hex(out, sizeof out), bytes) << port;
    }
}

struct ProgressCase {
    uint32_t frame;
    uint32_t total;
    const char* bytes;
};

TEST(StatusMessages, VideoProgressCarriesTruncatedPercentAndBigEndianCounts) {
    const ProgressCase cases[] = {
        {1, 3,
         "00B2002100000003"
         "00000001"},  // 33
        {2, 3,
         "00B2004200000003"
         "00000002"},  // 66
        {3, 3,
         "00B2006400000003"
         "00000003"},  // 100
        {5, 0,
         "00B2000000000000"
         "00000005"},  // no total: 0 percent
        {29, 100,
         "00B2001C00000064"
         "0000001D"},  // 0.29 * 100.0 is 28.999...
        {0x01020304, 0x05060708,
         "00B2001405060708"
         "01020304"},  // 20
    };
    for (const ProgressCase& c : cases) {
        uint8_t out[kVideoProgressMessageSize];
        BuildVideoProgressMessage(c.frame, c.total, out);
        EXPECT_EQ(Hex(out, sizeof out), c.bytes) << c.frame << "/" << c.total;
    }
}

TEST(StatusMessages, GeometryMessageTracksTheWindowIntoTheSettingsFile) {
    ScopedTempDir dir;
    ResetRunState();
    SetStandInWindow({100, 50, 800, 600});
    SendWindowGeometryMessage();  // no client: nothing is sent, the tracking still runs
    std::string file = ReadWholeFile(dir.File(kSettingsFileName));
    ASSERT_EQ(file.size(), kSettingsRecordSize);
    uint8_t geometry[kWindowGeometryMessageSize];
    BuildWindowGeometryMessage({100, 50, 800, 600}, geometry);
    EXPECT_EQ(file.substr(16, 16), std::string(reinterpret_cast<char*>(geometry) + 2, 16));
    SetStandInWindow({0, 0, 640, 480});
}

}  // namespace
