// A conversion as the control program drives it: the real quorvane_scripted
// program under Xvfb, two ports loaded from chain files, a video path, the
// start in Convert mode with the save dialog answered from the script, the
// progress messages on the connection, the summary box and the controller
// files decoded back to the video's colours.
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
#include "files/layout_files.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "support/live_edits.h"
#include "support/process.h"
#include "support/reference_color.h"
#include "support/test_support.h"
#include "video/video.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 8, kHeight = 6, kFrames = 3;

cv::Vec3b PixelBgr(int frame, int x, int y) {
    return cv::Vec3b(uint8_t(5 * x + 40), uint8_t(30 * y + frame), uint8_t(200 - 10 * frame + x));
}

TEST(ConversionEndToEnd, ConvertModeWritesDecodableControllerFiles) {
    ScopedTempDir dir;
    ResetRunState();
    ResetVideoState();

    // Port 1: three LEDs inside the picture; port 2: one.
    struct Led {
        int port, x, y;
    } leds[] = {{0, 0, 0}, {0, 7, 5}, {0, 3, 2}, {1, 1, 1}};
    for (const Led& led : leds) AddLed(led.port, {uint16_t(led.x), uint16_t(2047 - led.y)});
    for (int port = 0; port < 2; ++port) {
        Bytes save = CommandPacket(CommandCode::SaveChainFile, uint16_t(port + 1),
                                   dir.File("p" + std::to_string(port) + ".line"));
        save.resize(kPacketSize, 0);
        RunCommand(save.data());
    }
    {
        cv::VideoWriter writer(dir.File("clip.avi"), cv::VideoWriter::fourcc('F', 'F', 'V', '1'),
                               25.0, cv::Size(kWidth, kHeight), true);
        ASSERT_TRUE(writer.isOpened());
        for (int f = 0; f < kFrames; ++f) {
            cv::Mat frame(kHeight, kWidth, CV_8UC3);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) frame.at<cv::Vec3b>(y, x) = PixelBgr(f, x, y);
            writer.write(frame);
        }
    }
    WriteWholeFile(dir.File("script.txt"), "path " + dir.File("show.led") + "\nok\n");
    WriteExecutable(dir.File("Quorvane_Net.exe"),
                    "#!/bin/sh\necho $$ > standin.pid\nexec sleep 60\n");
    ChildProcess program =
        StartChild(BuildDirectory() + "/quorvane_scripted", {}, dir.path(), "quorvane",
                   {"QUORVANE_SCRIPT=" + dir.File("script.txt"),
                    "QUORVANE_SCRIPT_LOG=" + dir.File("script.log")});
    const int client = ConnectLoopback(kCommandPort, 15000);
    Bytes progress;
    bool exchanged = client >= 0;
    for (int port = 0; port < 2 && exchanged; ++port) {
        exchanged = Exchange(client, CommandPacket(CommandCode::SelectPort, uint16_t(port), ""),
                             kWindowGeometryMessageSize) &&
                    Exchange(client,
                             CommandPacket(CommandCode::LoadChainFile, 0,
                                           dir.File("p" + std::to_string(port) + ".line")),
                             kWindowGeometryMessageSize + kPortLoadedMessageSize);
    }
    exchanged = exchanged &&
                Exchange(client, CommandPacket(CommandCode::SetVideoPath, 0, dir.File("clip.avi")),
                         kWindowGeometryMessageSize);
    // 170: order RGB, brightness 100 %, Convert, no black level.
    const Bytes start = {0x00, 0xAA, 0, 100, 100, 100, 1, 0, 0, 0};
    exchanged =
        exchanged &&
        Exchange(client, start, kWindowGeometryMessageSize + kFrames * kVideoProgressMessageSize,
                 &progress, 20000);
    const bool summary = WaitUntil(
        [&] {
            return ReadWholeFile(dir.File("script.log"))
                       .find("video capture is successful 3 video frames ") != std::string::npos;
        },
        10000);
    if (client >= 0) ::close(client);
    const std::string pid = ReadWholeFile(dir.File("standin.pid"));
    if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
    StopChild(program);

    ASSERT_TRUE(exchanged) << ReadWholeFile(dir.File("script.log"));
    ASSERT_TRUE(summary) << ReadWholeFile(dir.File("script.log"));
    const std::string log = ReadWholeFile(dir.File("script.log"));
    EXPECT_NE(log.find("save name=\"Bin Files\" pattern=\"*.led\" ext=\"led\" mustExist=1"),
              std::string::npos)
        << log;

    // The progress messages 1..3 follow the geometry message of 170.
    const uint8_t percents[kFrames] = {33, 66, 100};
    for (int i = 0; i < kFrames; ++i) {
        const uint8_t* m =
            progress.data() + kWindowGeometryMessageSize + i * kVideoProgressMessageSize;
        EXPECT_EQ(m[0], 0x00);
        EXPECT_EQ(m[1], kVideoProgressTag);
        EXPECT_EQ(m[3], percents[i]);
        EXPECT_EQ(ReadBE32(m + 4), uint32_t(kFrames));
        EXPECT_EQ(ReadBE32(m + 8), uint32_t(i + 1));
    }

    SetColorSettings({int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}});
    for (int port = 0; port < 2; ++port) {
        DecodedControllerFile decoded;
        std::string error;
        const std::string file = dir.File("PORT-" + std::to_string(port + 1) + "-show.led");
        ASSERT_TRUE(DecodeControllerFile(file.c_str(), &decoded, &error)) << file << ": " << error;
        ASSERT_EQ(decoded.frames.size(), size_t(kFrames));
        ASSERT_EQ(decoded.frameLength, 9u);
        for (int f = 0; f < kFrames; ++f) {
            int position = 0;
            for (const Led& led : leds) {
                if (led.port != port) continue;
                const cv::Vec3b bgr = PixelBgr(f, led.x, led.y);
                uint8_t rgb[3] = {bgr[2], bgr[1], bgr[0]};
                ApplyBrightness(rgb);
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(decoded.frames[size_t(f)][size_t(position * 3 + k)], rgb[k])
                        << file << " frame " << f << " led " << position;
                ++position;
            }
        }
    }
    ResetVideoState();
}

}  // namespace
