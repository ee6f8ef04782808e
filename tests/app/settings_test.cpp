// The settings file: loading from files of every shape, what the next save
// writes, the window placement rule and geometry tracking.
#include "render/settings.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/file_io.h"
#include "support/stand_in_window.h"
#include "support/test_support.h"

namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetRunState(); }
    void TearDown() override { ResetFileSyscalls(); }
    ScopedTempDir dir_;
};

struct LoadCase {
    const char* name;
    bool exists;
    std::string content;
    bool expectLoaded;
    size_t savedSize;  // size after a save
};

TEST_F(SettingsTest, LoadAndNextSaveForEveryFileShape) {
    const std::string full = Pattern(1024);
    const std::string shortFile = Pattern(100);
    const std::string longFile = Pattern(2000);
    const LoadCase cases[] = {
        {"missing", false, "", false, 1024},
        {"short", true, shortFile, false, 1024},
        {"exact", true, full, true, 1024},
        {"longer", true, longFile, true, 1024},
        {"zeros", true, std::string(1024, '\0'), true, 1024},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSettings();
        std::remove(kSettingsFileName);
        if (c.exists) WriteWholeFile(kSettingsFileName, c.content);

        ASSERT_EQ(LoadSettings(), c.expectLoaded);
        if (c.expectLoaded) {
            EXPECT_EQ(0, std::memcmp(&CurrentSettings(), c.content.data(), 32));
        } else {
            ApplyDefaultSettings();
            EXPECT_EQ(CurrentSettings().backgroundColor.red, 255);
            EXPECT_EQ(CurrentSettings().chainLineColor.blue, 180);
        }
        SaveSettings();
        std::string saved = ReadWholeFile(kSettingsFileName);
        ASSERT_EQ(saved.size(), c.savedSize);
        // Bytes 32 and up: what the load read there, zeros beyond it.
        for (size_t i = 32; i < 1024; ++i) {
            char expected = i < c.content.size() ? c.content[i] : '\0';
            ASSERT_EQ(saved[i], expected) << "byte " << i;
        }
    }
}

TEST_F(SettingsTest, ColorChangeKeepsSpareByte) {
    std::string content(1024, '\0');
    content[7] = char(0x5A);
    WriteWholeFile(kSettingsFileName, content);
    ASSERT_TRUE(LoadSettings());
    SetSettingsColor(SettingsColor::Background, 0, 0, 0);
    SaveSettings();
    std::string saved = ReadWholeFile(kSettingsFileName);
    EXPECT_EQ(saved.substr(4, 4), std::string("\0\0\0\x5A", 4));
}

// A file that cannot be opened for update (read-only) counts as unusable,
// and saves leave it as it is.
TEST_F(SettingsTest, ReadOnlyFileIsUnusableAndUntouched) {
    const std::string content = Pattern(1024);
    WriteWholeFile(kSettingsFileName, content);
    CurrentFileSyscalls().open = [](const char* path, int flags, mode_t mode) -> int {
        if ((flags & O_ACCMODE) == O_RDWR) {
            errno = EACCES;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    EXPECT_FALSE(LoadSettings());
    ApplyDefaultSettings();
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(kSettingsFileName), content);
}

// A save that fails half way leaves the previous file whole.
TEST_F(SettingsTest, FailedSaveKeepsPreviousFile) {
    const std::string content = Pattern(1024);
    WriteWholeFile(kSettingsFileName, content);
    ASSERT_TRUE(LoadSettings());
    SetSettingsColor(SettingsColor::Frame, 1, 2, 3);
    // Half of the record goes out, then the disk is full.
    CurrentFileSyscalls().write = [](int fd, const void* data, size_t size) -> ssize_t {
        if (size < kSettingsRecordSize) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size / 2);
    };
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(kSettingsFileName), content);
    EXPECT_TRUE(ReadWholeFile(std::string(kSettingsFileName) + ".part").empty());
}

struct PlacementCase {
    int32_t x, y, w, h, screenW, screenH;
    WindowPlacement expected;
};

TEST(WindowPlacement, Rule) {
    const PlacementCase cases[] = {
        // The position is the drawing area's, taken as saved.
        {100, 200, 3000, 700, 1920, 1080, {100, 200, 1500, 700}},  // halved once
        {100, 200, 4000, 700, 1920, 1080, {100, 200, 2000, 700}},  // still larger than the screen
        {0, 0, 90, 700, 100, 1080, {0, 0, 480, 320}},              // halved to 45: fallback
        {0, 0, 800, 600, 1920, 1080, {0, 0, 800, 600}},
        {0, 0, 0, 0, 1920, 1080, {0, 0, 480, 320}},  // all-zero record
        {10, 10, 800, 49, 1920, 1080, {0, 0, 480, 320}},
        {10, 10, 50, 50, 1920, 1080, {10, 10, 50, 50}},
        {-30, -5, 640, 480, 1920, 1080, {-30, -5, 640, 480}},
    };
    for (const PlacementCase& c : cases) {
        WindowPlacement p = ComputeWindowPlacement(c.x, c.y, c.w, c.h, c.screenW, c.screenH);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
    }
}

// Asked for at (100, 200): where the drawing area landed, the frame extents
// the window manager reports, and the move that puts the drawing area at
// (100, 200) (or none).
TEST(WindowPlacement, FrameCorrection) {
    const struct {
        WindowRect actual;
        int32_t left, top;
        bool moves;
        int32_t x, y;
    } cases[] = {
        {{100, 200, 640, 480}, 0, 0, false, 0, 0},     // no window manager
        {{108, 231, 640, 480}, 8, 31, true, 92, 169},  // frame put at the asked position
        {{101, 229, 640, 480}, 1, 29, true, 99, 171},
        {{100, 200, 640, 480}, 8, 31, false, 0, 0},  // drawing area put there itself
        {{400, 300, 640, 480}, 8, 31, false, 0, 0},  // a place of the manager's own
        {{108, 200, 640, 480}, 8, 31, false, 0, 0},
    };
    for (const auto& c : cases) {
        int32_t x = 0, y = 0;
        EXPECT_EQ(FrameCorrection(100, 200, c.actual, c.left, c.top, &x, &y), c.moves)
            << c.actual.x << "," << c.actual.y;
        if (!c.moves) continue;
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
}

TEST_F(SettingsTest, GeometryIsSavedOnlyWhenItChanges) {
    SetStandInWindow({30, 40, 700, 500});
    TrackWindowGeometry();  // the first check of a run always saves
    std::string saved = ReadWholeFile(kSettingsFileName);
    ASSERT_EQ(saved.size(), 1024u);
    EXPECT_EQ(ReadLE32(reinterpret_cast<const uint8_t*>(saved.data()) + 24), 700u);

    std::remove(kSettingsFileName);
    TrackWindowGeometry();
    EXPECT_TRUE(ReadWholeFile(kSettingsFileName).empty());

    SetStandInWindow({-8, 40, 700, 500});
    WindowRect rect = TrackWindowGeometry();
    EXPECT_EQ(rect.x, -8);
    saved = ReadWholeFile(kSettingsFileName);
    ASSERT_EQ(saved.size(), 1024u);
    EXPECT_EQ(saved.substr(16, 4), std::string("\xF8\xFF\xFF\xFF", 4));
    SetStandInWindow({0, 0, 640, 480});
}

}  // namespace
