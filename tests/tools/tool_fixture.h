// What the command-line programs' tests share: small lossless videos of
// random frames, LEDs placed by picture pixel, and a run of a program from
// the build directory with its exit status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "model/layout.h"
#include "support/edits.h"
#include "support/test_support.h"

// `frames` random frames of width x height, with the four-character code
// given as OpenCV packs it.
inline void WriteRandomVideo(const std::string& path, int frames, int fourcc, int width, int height,
                             uint64_t seed) {
    cv::VideoWriter writer(path, fourcc, 25.0, cv::Size(width, height), true);
    ASSERT_TRUE(writer.isOpened()) << path;
    cv::RNG rng(seed);
    for (int f = 0; f < frames; ++f) {
        cv::Mat frame(height, width, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        writer.write(frame);
    }
}

// An LED of `port` on picture pixel (x, y), y from the top.
inline void AddPictureLed(int port, int x, int y) {
    AddLed(port, {uint16_t(x), uint16_t(kGridMax - y)});
}

struct ToolRun {
    int status;
    std::string error;  // standard error
    std::string output;
};

// Runs build/<tool> with `args` (a shell word list), its output in `dir`.
inline ToolRun RunTool(const std::string& tool, const std::string& args, const std::string& dir) {
    const std::string err = dir + "/" + tool + ".err", out = dir + "/" + tool + ".out";
    const std::string command =
        BuildDirectory() + "/" + tool + " " + args + " > " + out + " 2> " + err + " < /dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(err), ReadWholeFile(out)};
}
