// The background picture: where a bitmap lands, the three refusals with
// their boxes, and headers that lie about sizes and offsets (what is shown
// is read back from the window, the pixels held measured on the heap).
#include "render/background.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/view.h"
#include "common/common.h"
#include "common/packet.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "render/gl_window.h"
#include "render/settings.h"
#include "support/test_support.h"

namespace {

struct Header {
    int32_t width;
    int32_t height;
    uint32_t dataOffset = 54;
    uint32_t dataSize = 0xFFFFFFFFu;  // means: width * height * 3
};

// Picture pixel at column i, row j counted from the top.
Rgb PicturePixel(int i, int j) {
    return {i % 256, j % 256, 60 + (i / 256) * 50 + (j / 256) * 30};
}

// A 24-bit bitmap, rows bottom first without padding; `pixelBytes` caps how
// many pixel bytes are written (-1: all).
std::string MakeBmp(const Header& header, long pixelBytes = -1) {
    std::string bytes(54, '\0');
    uint8_t* p = reinterpret_cast<uint8_t*>(bytes.data());
    p[0] = 'B';
    p[1] = 'M';
    WriteLE32(p + 10, header.dataOffset);
    WriteLE32(p + 14, 40);
    WriteLE32(p + 18, static_cast<uint32_t>(header.width));
    WriteLE32(p + 22, static_cast<uint32_t>(header.height));
    WriteLE16(p + 26, 1);
    WriteLE16(p + 28, 24);
    const long long full =
        (header.width > 0 && header.height > 0 && header.width <= 4096 && header.height <= 4096)
            ? 3LL * header.width * header.height
            : 0;
    WriteLE32(p + 34, header.dataSize == 0xFFFFFFFFu ? uint32_t(full) : header.dataSize);
    const long long count = pixelBytes < 0 ? full : std::min<long long>(pixelBytes, full);
    for (long long k = 0; k < count; k += 3) {
        const long long pixel = k / 3;
        const int i = int(pixel % header.width);
        const int j = header.height - 1 - int(pixel / header.width);
        const Rgb c = PicturePixel(i, j);
        const char bgr[3] = {char(c.b), char(c.g), char(c.r)};
        bytes.append(bgr, std::min<long long>(3, count - k));
    }
    return bytes;
}

void SendPath(void (*command)(const char*), const std::string& path) {
    command(path.c_str());
}

// Bytes the process holds on the heap: a picture's pixels are kept there
// from its load until 180 or the next load frees them.
size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
constexpr size_t kPixelBytes640x480 = 640 * 480 * 3;
constexpr size_t kSlack = 16384;  // what the boxes' records and the reads hold meanwhile

class BackgroundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        EnsureTestWindow();
        SetSettingsColor(SettingsColor::Background, 0, 0, 0);
    }
    void TearDown() override { ResetRunState(); }
    std::string Write(const std::string& name, const std::string& bytes) {
        WriteWholeFile(dir_.File(name), bytes);
        return dir_.File(name);
    }
    static Rgb Shown(Rgb picture) {  // modulated by the lit 0.7 grey
        auto f = [](int v) { return int(std::lround(v * 0.71)); };
        return {f(picture.r), f(picture.g), f(picture.b)};
    }
    // Whether a redraw at cell size 1, unscrolled, shows the 640 x 480
    // picture (its pixel 320, 239 in the window's middle) or only the
    // black background there.
    static bool PictureShown() {
        SetScroll(0, 2047);
        RenderScene();
        const Rgb middle = PixelAt(320, 240);
        if (Near(middle, Shown(PicturePixel(320, 239)), 2)) return true;
        EXPECT_EQ(middle, (Rgb{0, 0, 0}));
        return false;
    }
    ScopedTempDir dir_;
};

constexpr char kWidthText[] =
    "Action canceled, for optimal operation of the program, set the width of texture a "
    "multiple of 4 (40, 1024, 552 \xE8\x20\xF2\x2E\xEF\x2E)";
constexpr unsigned kInfoStyle = kMbSystemModal | kMbIconInformation;

TEST_F(BackgroundTest, PictureCoversColumns0To639AndRows1568To2047) {
    SendPath(LoadBackgroundImage, Write("p.bmp", MakeBmp({640, 480})));
    EXPECT_TRUE(FakeSys_Boxes().empty());
    EXPECT_EQ(View().cellSize, 1);

    // Scrolled one cell right and down: window x shows column x + 1, window
    // row y (from the bottom) shows grid row 1567 + y.
    SetScroll(1, 2046);
    RenderScene();
    struct Probe {
        int x, y;
        bool inside;
    };
    for (Probe probe : {Probe{0, 479, true}, Probe{638, 1, true}, Probe{638, 479, true},
                        Probe{320, 240, true}, Probe{639, 200, false}, Probe{300, 0, false}}) {
        SCOPED_TRACE(testing::Message() << probe.x << "," << probe.y);
        const Rgb expected =
            probe.inside ? Shown(PicturePixel(probe.x + 1, 480 - probe.y)) : Rgb{0, 0, 0};
        EXPECT_TRUE(Near(PixelAt(probe.x, probe.y), expected, 2));
    }
    // Unscrolled, the picture's top-left pixel sits on cell (0, 2047).
    SetScroll(0, 2047);
    RenderScene();
    EXPECT_TRUE(Near(PixelAt(0, 479), Shown(PicturePixel(0, 0)), 2));
    EXPECT_TRUE(Near(PixelAt(639, 0), Shown(PicturePixel(639, 479)), 2));
}

TEST_F(BackgroundTest, WidthNotAMultipleOf4IsLoadedButHidden) {
    SendPath(LoadBackgroundImage, Write("p.bmp", MakeBmp({642, 480})));
    ASSERT_EQ(FakeSys_Boxes().size(), 1u);
    EXPECT_EQ(FakeSys_Boxes()[0].text, kWidthText);
    EXPECT_EQ(FakeSys_Boxes()[0].caption, "Information");
    EXPECT_EQ(FakeSys_Boxes()[0].style, kInfoStyle);
    EXPECT_EQ(View().cellSize, 16);
    RenderScene();
    EXPECT_EQ(PixelAt(320, 240), (Rgb{0, 0, 0}));

    // Loaded: its pixels are held until 180 frees them, once.
    const size_t held = HeapInUse();
    RemoveBackgroundImage();
    const size_t removed = HeapInUse();
    EXPECT_GE(held, removed + 642 * 480 * 3);
    RemoveBackgroundImage();
    EXPECT_EQ(HeapInUse(), removed);
}

TEST_F(BackgroundTest, RefusedFilesShowTheirBoxAndNeverCrash) {
    const std::string good = Write("good.bmp", MakeBmp({640, 480}));
    std::string notBm = MakeBmp({4, 4});
    notBm[1] = 'X';
    const char* const kCannot = "Texture can be loaded";
    const char* const kTooLarge = "Texture can be loaded, as its length or height more 2048 pix.";
    struct Case {
        const char* name;
        std::string bytes;  // empty: no such file
        const char* text;
    };
    const Case cases[] = {
        {"missing", "", kCannot},
        {"not-bm", notBm, kCannot},
        {"cut-header", MakeBmp({4, 4}).substr(0, 30), kCannot},
        {"zero-width", MakeBmp({0, 4}), kCannot},
        {"negative-height", MakeBmp({4, -4}), kCannot},
        {"wide", MakeBmp({2048, 100}), kTooLarge},
        {"tall", MakeBmp({4, 2048}), kTooLarge},
        {"absurd", MakeBmp({INT_MAX, INT_MAX}), kTooLarge},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(one.name);
        SendPath(LoadBackgroundImage, good);
        ASSERT_TRUE(PictureShown());
        FakeSys_Reset();
        const std::string path =
            one.bytes.empty() ? dir_.File("none.bmp") : Write("bad.bmp", one.bytes);
        const size_t held = HeapInUse();
        SendPath(LoadBackgroundImage, path);
        // The shown picture's pixels are freed before the file is read.
        EXPECT_GE(held + kSlack, HeapInUse() + kPixelBytes640x480);
        ASSERT_EQ(FakeSys_Boxes().size(), 1u);
        EXPECT_EQ(FakeSys_Boxes()[0].text, one.text);
        EXPECT_EQ(FakeSys_Boxes()[0].style, kInfoStyle);
        // An unreadable file leaves the shown picture on screen.
        EXPECT_EQ(PictureShown(), one.text == kCannot);
    }
}

TEST_F(BackgroundTest, LyingHeadersReadOnlyWhatTheFileHolds) {
    struct Case {
        const char* name;
        Header header;
        long pixelBytes;  // written after the header
        size_t fromFile;  // picture bytes that come from the file
    };
    const Case cases[] = {
        {"size field 0 means w*h*3", {8, 2, 54, 0}, -1, 48},
        {"short data", {8, 2}, 10, 10},
        {"size field larger than the file", {8, 2, 54, 0x7FFFFFF0u}, 20, 20},
        {"size field smaller", {8, 2, 54, 9}, -1, 9},
        {"offset past the end", {8, 2, 0xFFFFFFF0u}, -1, 0},
        {"offset into the header", {4, 1, 2}, -1, 12},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(one.name);
        const std::string bytes = MakeBmp(one.header, one.pixelBytes);
        FakeSys_Reset();
        SendPath(LoadBackgroundImage, Write("x.bmp", bytes));
        ASSERT_TRUE(FakeSys_Boxes().empty());  // loaded and shown
        // What the file supplies, zeros after it: rows bottom first, each
        // pixel blue, green, red.
        const int w = one.header.width;
        const int h = one.header.height;
        std::string expected(size_t(w) * h * 3, '\0');
        for (size_t k = 0; k < one.fromFile; ++k) expected[k] = bytes[one.header.dataOffset + k];
        SetScroll(0, 2047);
        RenderScene();
        for (int r = 0; r < h; ++r) {
            for (int i = 0; i < w; ++i) {
                const uint8_t* bgr =
                    reinterpret_cast<const uint8_t*>(expected.data()) + (size_t(r) * w + i) * 3;
                const Rgb pixel = PixelAt(i, kTestWindowHeight - h + r);
                EXPECT_TRUE(Near(pixel, Shown({bgr[2], bgr[1], bgr[0]}), 2))
                    << "picture pixel " << i << ", row " << r << " from the bottom";
            }
        }
    }
}

}  // namespace
