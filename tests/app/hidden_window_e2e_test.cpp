// A conversion while Quorvane's window is hidden: the real quorvane_scripted
// under Xvfb, its window covered by another client's window, unmapped, or
// minimised through a window manager before the start, then a Convert that must run to its end all
// the same (every progress message, the summary box, every frame in the controller file), and the
// program still answering once the window shows again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "convert/color.h"
#include "convert/controller_decode.h"
#include "files/chain_file.h"
#include "files/layout_files.h"
#include "model/layout.h"
#include "support/live_edits.h"
#include "support/own_display.h"
#include "support/process.h"
#include "support/reference_color.h"
#include "support/test_support.h"

// Xlib last: its macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFrames = 20;
const char kTitle[] = "Quorvane 1.46 EN beta";

// The colour of frame f, the same over the whole 4 x 4 picture.
cv::Vec3b FrameBgr(int f) {
    return cv::Vec3b(uint8_t(10 * f + 3), uint8_t(200 - 5 * f), uint8_t(7 * f + 40));
}

// The top-level window named `title`, searched through the whole tree.
Window FindWindow(Display* display, Window from, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, from, &name) && name != nullptr) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return from;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, from, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == 0; ++i)
            found = FindWindow(display, children[i], title);
        if (children != nullptr) XFree(children);
    }
    return found;
}

// Hides Quorvane's window one way and shows it again.
struct Hiding {
    const char* name;
    bool needsWindowManager;  // then on an X server of the test's own
    // Returns the cover window it made, or 0.
    Window (*hide)(Display*, Window quorvane);
    void (*show)(Display*, Window quorvane, Window cover);
};

void PrintTo(const Hiding& hiding, std::ostream* out) {
    *out << hiding.name;
}

Window CoverWith(Display* display, Window quorvane) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, quorvane, &attributes);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, quorvane, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    // Just over Quorvane's window, so other windows on the same server stay
    // visible; override-redirect, so no window manager moves it.
    XSetWindowAttributes set = {};
    set.override_redirect = True;
    set.background_pixel = BlackPixel(display, DefaultScreen(display));
    const Window cover = XCreateWindow(
        display, DefaultRootWindow(display), x - 20, y - 40, unsigned(attributes.width + 40),
        unsigned(attributes.height + 60), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel, &set);
    XMapRaised(display, cover);
    XSync(display, False);
    return cover;
}

void Uncover(Display* display, Window, Window cover) {
    XDestroyWindow(display, cover);
    XSync(display, False);
}

Window Unmap(Display* display, Window quorvane) {
    XUnmapWindow(display, quorvane);
    XSync(display, False);
    return 0;
}

void Remap(Display* display, Window quorvane, Window) {
    XMapWindow(display, quorvane);
    XSync(display, False);
}

// Minimising asks the window manager (ICCCM WM_CHANGE_STATE), which unmaps
// the window; mapping it again restores it.
Window Minimise(Display* display, Window quorvane) {
    XIconifyWindow(display, quorvane, DefaultScreen(display));
    XSync(display, False);
    return 0;
}

class HiddenWindowConversion : public ::testing::TestWithParam<Hiding> {};

TEST_P(HiddenWindowConversion, RunsToTheEnd) {
    const Hiding& hiding = GetParam();
    ScopedTempDir dir;
    OwnDisplay own;
    std::vector<std::string> environment = {"QUORVANE_SCRIPT=" + dir.File("script.txt"),
                                            "QUORVANE_SCRIPT_LOG=" + dir.File("script.log")};
    if (hiding.needsWindowManager) {
        if (!HaveOwnDisplayTools()) GTEST_SKIP() << "needs Xvfb and openbox (scripts/deps)";
        ASSERT_TRUE(StartOwnDisplay(dir.path(), &own)) << ReadWholeFile(dir.File("openbox.err"));
        environment.push_back("DISPLAY=" + own.name);
    }
    Display* display = XOpenDisplay(hiding.needsWindowManager ? own.name.c_str() : nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (run under xvfb-run)";
    ResetRunState();

    // One LED at the picture's top-left pixel, saved as port 1's chain.
    AddLed(0, {0, 2047});
    SaveChainFile(1, dir.File("p.line").c_str());
    ResetRunState();
    {
        cv::VideoWriter writer(dir.File("clip.avi"), cv::VideoWriter::fourcc('F', 'F', 'V', '1'),
                               25.0, cv::Size(4, 4), true);
        ASSERT_TRUE(writer.isOpened());
        for (int f = 0; f < kFrames; ++f) writer.write(cv::Mat(4, 4, CV_8UC3, FrameBgr(f)));
    }
    WriteWholeFile(dir.File("script.txt"), "path " + dir.File("show.led") + "\nok\n");
    WriteExecutable(dir.File("Quorvane_Net.exe"),
                    "#!/bin/sh\necho $$ > standin.pid\nexec sleep 60\n");
    ChildProcess program = StartChild(BuildDirectory() + "/quorvane_scripted", {}, dir.path(),
                                      "quorvane", environment);
    const int client = ConnectLoopback(kCommandPort, 15000);
    bool exchanged =
        client >= 0 &&
        Exchange(client, CommandPacket(CommandCode::SelectPort, 0, ""),
                 kWindowGeometryMessageSize) &&
        Exchange(client, CommandPacket(CommandCode::LoadChainFile, 0, dir.File("p.line")),
                 kWindowGeometryMessageSize + kPortLoadedMessageSize) &&
        Exchange(client, CommandPacket(CommandCode::SetVideoPath, 0, dir.File("clip.avi")),
                 kWindowGeometryMessageSize);

    const Window quorvane = FindWindow(display, DefaultRootWindow(display), kTitle);
    Window cover = 0;
    if (quorvane != 0) {
        cover = hiding.hide(display, quorvane);
        usleep(300 * 1000);  // the program sees its window hidden before the start
    }
    // 170: order RGB, brightness 100 %, Convert, no black level.
    const Bytes start = {0x00, 0xAA, 0, 100, 100, 100, 1, 0, 0, 0};
    Bytes progress;
    exchanged =
        exchanged &&
        Exchange(client, start, kWindowGeometryMessageSize + kFrames * kVideoProgressMessageSize,
                 &progress, 20000);
    const bool summary = WaitUntil(
        [&] {
            return ReadWholeFile(dir.File("script.log"))
                       .find("video capture is successful 20 video frames ") != std::string::npos;
        },
        10000);
    // Shown again, the program draws and answers as before.
    if (quorvane != 0) hiding.show(display, quorvane, cover);
    const bool answersAfter =
        client >= 0 &&
        Exchange(client, CommandPacket(CommandCode::SelectPort, 1, ""), kWindowGeometryMessageSize);
    if (client >= 0) ::close(client);
    const std::string pid = ReadWholeFile(dir.File("standin.pid"));
    if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
    StopChild(program);
    XCloseDisplay(display);
    if (hiding.needsWindowManager) StopOwnDisplay(&own);

    ASSERT_NE(quorvane, Window(0)) << "no window named " << kTitle;
    EXPECT_TRUE(exchanged) << progress.size() << " bytes of progress; "
                           << ReadWholeFile(dir.File("script.log"));
    EXPECT_TRUE(summary) << ReadWholeFile(dir.File("script.log"));
    EXPECT_TRUE(answersAfter);
    if (progress.size() >= kWindowGeometryMessageSize + kFrames * kVideoProgressMessageSize) {
        const uint8_t* last = progress.data() + kWindowGeometryMessageSize +
                              (kFrames - 1) * kVideoProgressMessageSize;
        EXPECT_EQ(ReadBE32(last + 4), uint32_t(kFrames));
        EXPECT_EQ(ReadBE32(last + 8), uint32_t(kFrames));
    }

    DecodedControllerFile decoded;
    std::string error;
    const std::string file = dir.File("PORT-1-show.led");
    ASSERT_TRUE(DecodeControllerFile(file.c_str(), &decoded, &error)) << file << ": " << error;
    ASSERT_EQ(decoded.frames.size(), size_t(kFrames));
    // FFV1 is lossless: every frame holds its own colour, in order.
    SetColorSettings({int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}});
    for (int f = 0; f < kFrames; ++f) {
        const cv::Vec3b bgr = FrameBgr(f);
        uint8_t rgb[3] = {bgr[2], bgr[1], bgr[0]};
        ApplyBrightness(rgb);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(decoded.frames[size_t(f)][size_t(k)], rgb[k])
                << "frame " << f << " channel " << k;
    }
    ResetColorSettings();
}

INSTANTIATE_TEST_SUITE_P(Hidings, HiddenWindowConversion,
                         ::testing::Values(Hiding{"Covered", false, CoverWith, Uncover},
                                           Hiding{"Unmapped", false, Unmap, Remap},
                                           Hiding{"Minimised", true, Minimise, Remap}),
                         [](const ::testing::TestParamInfo<Hiding>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
