// The files the soak hands to Quorvane: valid and hostile chain files,
// projects, import lists with their encrypted chain files, bitmaps, videos
// and raw frame files, all made in the run's work directory from one seed,
// so the same seed makes the same files. With `special` the pools also hold
// paths that are no regular file: a FIFO, a directory, a socket, devices and
// URLs.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The random source of a run; every choice of the soak goes through it.
struct SoakRandom {
    std::mt19937_64 engine;
};
uint64_t Below(SoakRandom& random, uint64_t n);      // 0..n-1, 0 when n is 0
int Between(SoakRandom& random, int low, int high);  // low..high inclusive
bool Chance(SoakRandom& random, double p);
template <typename T>
const T& PickFrom(SoakRandom& random, const std::vector<T>& items) {
    return items[Below(random, items.size())];
}

// Paths by what Quorvane does with them. Read paths are relative to the work
// directory (Quorvane's working directory) or absolute inside it; write
// targets are relative names inside it only.
struct FixturePools {
    std::string dir;  // the work directory, absolute
    std::vector<std::string> chains;
    std::vector<std::string> projects;
    std::vector<std::string> lists;
    std::vector<std::string> bitmaps;
    std::vector<std::string> videos;
    std::vector<std::string> raws;
    std::vector<std::string> special;  // empty unless asked for
    std::vector<std::string> chainTargets;
    std::vector<std::string> projectTargets;
    std::vector<std::string> videoTargets;
    std::vector<int> rawSides;             // widths and heights the raw files were made for
    std::vector<std::string> scriptLines;  // QUORVANE_SCRIPT answers
};

// Makes every fixture in `dir` from `seed`; false (with a message on
// standard error) when a file cannot be made.
bool MakeFixtures(const std::string& dir, uint64_t seed, bool special, FixturePools& pools);

// The special path kinds alone, made in `dir`: "fifo", "dir" (a directory),
// "sock" (a listening Unix socket); false when one cannot be made.
bool MakeSpecialFiles(const std::string& dir);
// A Unix socket at `path`, listening for the rest of the run and never
// serving a client.
bool MakeListeningSocket(const std::string& path);

bool WriteFileBytes(const std::string& path, const Bytes& bytes);
