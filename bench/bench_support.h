// What the benchmarks share: synthetic moving pictures written as test
// videos with OpenCV's writer, layouts laid over such pictures, medians and
// the process's processor time.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "model/layout.h"

// A moving picture with gradients, edges and (with `noise`) some grain.
inline cv::Mat SyntheticFrame(int width, int height, int f, bool noise) {
    cv::Mat frame(height, width, CV_8UC3);
    cv::RNG rng(uint64_t(1234 + f));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.ptr<uint8_t>(y);
        for (int x = 0; x < width; ++x) {
            const int n = noise ? rng.uniform(0, 24) : 0;
            row[3 * x] = uint8_t((x + 4 * f) / 8 + n);
            row[3 * x + 1] = uint8_t((y + 2 * f) / 5 + n);
            row[3 * x + 2] = uint8_t(((x / 64 + y / 64 + f) % 2) * 160 + n);
        }
    }
    return frame;
}

typedef cv::Mat (*SyntheticPicture)(int width, int height, int f, bool noise);

// Writes `frames` frames at 25 fps with the four-character `code`: the first
// `distinct` pictures, repeated (encoding is not what is measured); false
// when the writer refuses the codec.
inline bool WriteSyntheticVideo(const std::string& path, const char* code, int width, int height,
                                int frames, bool noise = true, int distinct = 24,
                                SyntheticPicture picture = SyntheticFrame) {
    cv::VideoWriter writer;
    try {
        if (!writer.open(path, cv::VideoWriter::fourcc(code[0], code[1], code[2], code[3]), 25.0,
                         cv::Size(width, height), true))
            return false;
        std::vector<cv::Mat> pictures;
        for (int f = 0; f < std::min(frames, distinct); ++f)
            pictures.push_back(picture(width, height, f, noise));
        for (int f = 0; f < frames; ++f) writer.write(pictures[size_t(f) % pictures.size()]);
    } catch (const cv::Exception&) {
        return false;
    }
    return true;
}

// `ports` full chains, LED k of the layout on picture pixel k * spacing
// (row-major in a picture `width` wide).
inline void BuildPictureLayout(int ports, int width, int spacing) {
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < ports; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) {
            const int pixel = (port * kChainCapacity + i) * spacing;
            points[i] = {uint16_t(pixel % width), uint16_t(kGridMax - pixel / width)};
        }
        InstallLoadedChain(port, ChainColor(port), points, kChainCapacity, kChainCapacity);
    }
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Processor time of the whole process (all threads) so far, in seconds.
inline double ProcessCpuSeconds() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
