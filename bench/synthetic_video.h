// The test videos of the benchmarks: synthetic moving pictures written
// with OpenCV's writer in a given codec.
#pragma once

#include <algorithm>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

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
