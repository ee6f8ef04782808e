// The soak's files. Every format is written here from its published layout
// (README "Files"), independently of Quorvane's own writers, so a fault in
// those cannot hide itself. Hostile variants cut, stretch or contradict the
// fields the readers rely on.
#include "fixtures.h"

#include <openssl/evp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <opencv2/videoio.hpp>

namespace {

constexpr int kGridMax = 2047;
constexpr size_t kChainHeader = 256;
constexpr size_t kProjectHeader = 10240;
constexpr size_t kImportRecord = 65796;
constexpr size_t kImportCoordinates = 260;

const uint8_t kImportBaseKey[32] = {
    0x51, 0x7a, 0x3c, 0x94, 0xe2, 0x08, 0x6b, 0xd1, 0x2f, 0xa5, 0x90, 0x47, 0xce, 0x13, 0x7e, 0xb8,
    0x64, 0x0d, 0xf9, 0x32, 0x8a, 0x5e, 0xc7, 0x21, 0x9b, 0x46, 0xe0, 0x7d, 0x15, 0xaf, 0x68, 0xc3,
};

void PutLE16(Bytes& bytes, size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}
void PutLE32(Bytes& bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = uint8_t(value >> (8 * k));
}

Bytes RandomBytes(SoakRandom& random, size_t size) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = uint8_t(random.engine());
    return bytes;
}

// A chain of `count` points: a random walk, mostly on the grid; with
// `offGrid` some coordinates leave it.
std::vector<std::pair<int, int>> ChainPoints(SoakRandom& random, int count, bool offGrid) {
    std::vector<std::pair<int, int>> points;
    int x = Between(random, 0, kGridMax), y = Between(random, 0, kGridMax);
    for (int i = 0; i < count; ++i) {
        points.push_back({x, y});
        x += Between(random, -1, 1);
        y += Between(random, -1, 1);
        if (Chance(random, 0.01)) x = Between(random, 0, kGridMax);
        if (offGrid && Chance(random, 0.02)) y = Between(random, 2048, 65535);
        x = x < 0 ? 0 : x;
        y = y < 0 ? 0 : y;
        if (!offGrid) {
            x = x > kGridMax ? kGridMax : x;
            y = y > kGridMax ? kGridMax : y;
        }
    }
    return points;
}

// Colour, count field, port field, then `points` (all x, then all y).
Bytes ChainFile(SoakRandom& random, uint32_t countField, uint32_t port,
                const std::vector<std::pair<int, int>>& points) {
    Bytes bytes(kChainHeader + 4 * points.size(), 0);
    for (int k = 0; k < 3; ++k) bytes[k] = uint8_t(random.engine());
    PutLE16(bytes, 4, countField);
    PutLE16(bytes, 6, port);
    for (size_t i = 0; i < points.size(); ++i) {
        PutLE16(bytes, kChainHeader + 2 * i, uint32_t(points[i].first));
        PutLE16(bytes, kChainHeader + 2 * points.size() + 2 * i, uint32_t(points[i].second));
    }
    return bytes;
}

Bytes ValidChain(SoakRandom& random, uint32_t port) {
    const int count = Chance(random, 0.1) ? 2048 : Between(random, 1, 300);
    return ChainFile(random, uint32_t(count), port, ChainPoints(random, count, false));
}

Bytes HostileChain(SoakRandom& random, int variant) {
    switch (variant) {
        case 0: {  // count far beyond the data
            Bytes bytes = ValidChain(random, uint32_t(Between(random, 0, 255)));
            PutLE16(bytes, 4, 60000);
            return bytes;
        }
        case 1: {  // port beyond the last
            return ChainFile(random, 10, uint32_t(Between(random, 256, 65535)),
                             ChainPoints(random, 10, false));
        }
        case 2: {  // the largest count, every point present, some off the grid
            return ChainFile(random, 65535, uint32_t(Between(random, 0, 255)),
                             ChainPoints(random, 65535, true));
        }
        case 3:  // header cut short
            return RandomBytes(random, size_t(Between(random, 0, int(kChainHeader) - 1)));
        case 4: {  // off-grid points early on
            auto points = ChainPoints(random, 50, true);
            points[size_t(Between(random, 0, 49))].first = 65535;
            return ChainFile(random, 50, uint32_t(Between(random, 0, 255)), points);
        }
        case 5:  // zero LEDs
            return ChainFile(random, 0, uint32_t(Between(random, 0, 255)), {});
        default: {  // random bytes of a plausible size
            Bytes bytes = RandomBytes(random, kChainHeader + size_t(Between(random, 0, 4000)));
            return bytes;
        }
    }
}

Bytes ProjectHeader(SoakRandom& random, const std::vector<int>& usedPorts) {
    Bytes header(kProjectHeader, 0);
    for (int port : usedPorts) header[size_t(port)] = 1;
    PutLE16(header, 512, uint32_t(Chance(random, 0.2) ? random.engine() : Below(random, 2048)));
    PutLE16(header, 514, uint32_t(Chance(random, 0.2) ? random.engine() : Below(random, 2048)));
    header[516] = uint8_t(Chance(random, 0.2) ? random.engine() : uint64_t(Between(random, 1, 16)));
    return header;
}

// The .iql record of `portNumber`, encrypted as the format says.
Bytes ImportRecord(SoakRandom& random, uint32_t portNumber, uint32_t countField,
                   const std::vector<std::pair<int, int>>& points) {
    Bytes record(kImportRecord, 0);
    PutLE16(record, 0, portNumber);
    PutLE16(record, 2, countField);
    for (int k = 20; k < 36; ++k) record[size_t(k)] = uint8_t(random.engine());
    for (size_t i = 0; i < points.size() && i < 16384; ++i) {
        PutLE16(record, kImportCoordinates + 4 * i, uint32_t(points[i].first));
        PutLE16(record, kImportCoordinates + 4 * i + 2, uint32_t(kGridMax - points[i].second));
    }
    uint8_t key[32];
    for (int k = 0; k < 16; ++k) key[k] = kImportBaseKey[k];
    for (int k = 0; k < 16; ++k) key[16 + k] = kImportBaseKey[16 + k] ^ record[size_t(20 + k)];
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int length = 0;
    EVP_EncryptInit_ex(context, EVP_aes_256_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(context, 0);
    EVP_EncryptUpdate(context, record.data() + kImportCoordinates, &length,
                      record.data() + kImportCoordinates, 65536);
    EVP_CIPHER_CTX_free(context);
    return record;
}

Bytes Bitmap(SoakRandom& random, int32_t width, int32_t height, uint32_t dataOffset,
             uint32_t dataSize, size_t pixelBytes) {
    Bytes bytes(54 + pixelBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLE32(bytes, 2, uint32_t(bytes.size()));
    PutLE32(bytes, 10, dataOffset);
    PutLE32(bytes, 14, 40);
    PutLE32(bytes, 18, uint32_t(width));
    PutLE32(bytes, 22, uint32_t(height));
    PutLE16(bytes, 26, 1);
    PutLE16(bytes, 28, 24);
    PutLE32(bytes, 34, dataSize);
    for (size_t i = 54; i < bytes.size(); ++i) bytes[i] = uint8_t(random.engine() >> 7);
    return bytes;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteVideo(SoakRandom& random, const std::string& path, const char* fourcc, int width,
                int height, int frames) {
    try {
        cv::VideoWriter writer(path,
                               cv::VideoWriter::fourcc(fourcc[0], fourcc[1], fourcc[2], fourcc[3]),
                               25.0, cv::Size(width, height), true);
        if (!writer.isOpened()) return false;
        for (int f = 0; f < frames; ++f) {
            cv::Mat frame(height, width, CV_8UC3,
                          cv::Scalar(double(Below(random, 256)), double(Below(random, 256)),
                                     double(Below(random, 256))));
            for (int k = 0; k < 20; ++k)
                frame.at<cv::Vec3b>(Between(random, 0, height - 1), Between(random, 0, width - 1)) =
                    cv::Vec3b(uint8_t(random.engine()), uint8_t(random.engine()), 255);
            writer.write(frame);
        }
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

struct Maker {
    SoakRandom& random;
    FixturePools& pools;
    bool ok = true;

    std::string Write(const std::string& name, const Bytes& bytes) {
        if (!WriteFileBytes(pools.dir + "/" + name, bytes)) ok = false;
        return name;
    }
};

void MakeChains(Maker& m) {
    for (int k = 0; k < 8; ++k)
        m.pools.chains.push_back(
            m.Write("c" + std::to_string(k) + ".line",
                    ValidChain(m.random, uint32_t(Between(m.random, 0, 255)))));
    for (int k = 0; k < 7; ++k)
        m.pools.chains.push_back(
            m.Write("hostile" + std::to_string(k) + ".line", HostileChain(m.random, k)));
}

void MakeProjects(Maker& m) {
    for (int k = 0; k < 6; ++k) {
        const std::string name = "p" + std::to_string(k) + ".quor";
        std::vector<int> used;
        const int count = k == 5 ? 256 : Between(m.random, 1, 12);
        for (int i = 0; i < count; ++i) used.push_back(k == 5 ? i : Between(m.random, 0, 255));
        m.Write(name, ProjectHeader(m.random, used));
        for (int port : used) {
            if (Chance(m.random, 0.1)) continue;  // a chain file the header names is missing
            Bytes chain = Chance(m.random, 0.2) ? HostileChain(m.random, Between(m.random, 0, 6))
                                                : ValidChain(m.random, uint32_t(port));
            m.Write(std::to_string(port + 1) + name + ".line", chain);
        }
        m.pools.projects.push_back(name);
    }
    m.pools.projects.push_back(m.Write("short.quor", RandomBytes(m.random, 100)));
    m.pools.projects.push_back(m.Write("empty.quor", {}));
    m.pools.projects.push_back(m.Write("random.quor", RandomBytes(m.random, kProjectHeader)));
    m.pools.projects.push_back(m.Write("plain.txt", RandomBytes(m.random, 64)));
}

std::string ListText(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\r\n";
    return text;
}

void MakeLists(Maker& m) {
    for (int k = 0; k < 4; ++k) {
        const std::string list = "l" + std::to_string(k);
        std::vector<std::string> names;
        const int count = Between(m.random, 1, 8);
        for (int i = 0; i < count; ++i) {
            const std::string name = list + "_" + std::to_string(i) + ".iql";
            const int leds = Between(m.random, 0, 2048);
            const bool offGrid = Chance(m.random, 0.3);
            m.Write(name, ImportRecord(m.random, uint32_t(Between(m.random, 1, 256)),
                                       uint32_t(leds), ChainPoints(m.random, leds, offGrid)));
            names.push_back(name);
        }
        const std::string text = ListText(names);
        m.pools.lists.push_back(m.Write(list + ".iqp", Bytes(text.begin(), text.end())));
    }
    // Hostile records, one per list, and lists that break the list rules.
    const std::pair<uint32_t, uint32_t> badRecords[] = {
        {0, 10}, {257, 10}, {65535, 10}, {5, 16384}, {5, 65535}};
    for (size_t k = 0; k < std::size(badRecords); ++k) {
        const std::string name = "bad" + std::to_string(k) + ".iql";
        m.Write(name, ImportRecord(m.random, badRecords[k].first, badRecords[k].second,
                                   ChainPoints(m.random, 16384, true)));
        const std::string text = ListText({name});
        m.pools.lists.push_back(
            m.Write("bad" + std::to_string(k) + ".iqp", Bytes(text.begin(), text.end())));
    }
    Bytes shortRecord = ImportRecord(m.random, 3, 10, ChainPoints(m.random, 10, false));
    shortRecord.resize(kImportRecord - 1);
    m.Write("short.iql", shortRecord);
    std::vector<std::string> many(300, "l0_0.iql");
    many[150] = "short.iql";
    const std::string texts[] = {
        ListText(many),
        ListText({"missing.iql", "l0_0.iql"}),
        ListText({std::string(600, 'n') + ".iql"}),
        "l0_0.iqll1_0.iql",  // no line ends
        "l0_0.iql",          // cut after the name
        ListText({"short.iql"}),
        ListText({"../" + std::string("x.iql")}),
        std::string(5000, '\xff'),
    };
    for (size_t k = 0; k < std::size(texts); ++k)
        m.pools.lists.push_back(
            m.Write("odd" + std::to_string(k) + ".iqp", Bytes(texts[k].begin(), texts[k].end())));
    m.pools.lists.push_back(m.Write("empty.iqp", {}));
}

void MakeBitmaps(Maker& m) {
    for (int k = 0; k < 5; ++k) {
        const int width = 4 * Between(m.random, 1, 128), height = Between(m.random, 1, 300);
        const size_t pixels = size_t(width) * size_t(height) * 3;
        m.pools.bitmaps.push_back(
            m.Write("b" + std::to_string(k) + ".bmp",
                    Bitmap(m.random, width, height, 54, uint32_t(pixels), pixels)));
    }
    struct Odd {
        int32_t width, height;
        uint32_t offset, dataSize;
        size_t pixelBytes;
    };
    const Odd odd[] = {
        {2044, 2047, 54, 0, 2044u * 2047u * 3u},  // the largest, data size 0
        {3, 3, 54, 27, 27},                       // width not a multiple of 4
        {2048, 4, 54, 0, 100},                    // too wide
        {4, -4, 54, 48, 48},                      // top-down
        {0, 8, 54, 0, 0},
        {400, 400, 0xFFFFFFF0u, 0, 64},   // data far beyond the file
        {400, 400, 54, 0xFFFFFFFFu, 64},  // data size beyond the file
        {-8, 8, 54, 0, 0},
        {2047, 2047, 10, 5, 0},  // offset inside the header, tiny data
    };
    for (size_t k = 0; k < std::size(odd); ++k)
        m.pools.bitmaps.push_back(
            m.Write("odd" + std::to_string(k) + ".bmp",
                    Bitmap(m.random, odd[k].width, odd[k].height, odd[k].offset, odd[k].dataSize,
                           odd[k].pixelBytes)));
    Bytes cut = Bitmap(m.random, 8, 8, 54, 192, 192);
    cut.resize(40);
    m.pools.bitmaps.push_back(m.Write("cut.bmp", cut));
    Bytes junk = RandomBytes(m.random, 300);
    junk[0] = 'B';
    junk[1] = 'M';
    m.pools.bitmaps.push_back(m.Write("junk.bmp", junk));
}

void MakeVideos(Maker& m) {
    struct Clip {
        const char* name;
        const char* fourcc;
        int width, height, frames;
    };
    const Clip clips[] = {
        {"v0.avi", "MJPG", 32, 24, 8},   {"v1.avi", "FFV1", 64, 48, 20},
        {"v2.mkv", "FFV1", 320, 240, 5}, {"v3.avi", "MJPG", 16, 2048, 3},
        {"v4.avi", "MJPG", 2, 2, 40},
    };
    std::vector<std::string> made;
    for (const Clip& clip : clips) {
        if (!WriteVideo(m.random, m.pools.dir + "/" + clip.name, clip.fourcc, clip.width,
                        clip.height, clip.frames)) {
            std::fprintf(stderr, "soak: cannot write the video %s\n", clip.name);
            m.ok = false;
            continue;
        }
        made.push_back(clip.name);
        m.pools.videos.push_back(clip.name);
    }
    // Damaged copies: bytes changed anywhere, or the file cut short.
    for (int k = 0; k < 6 && !made.empty(); ++k) {
        const std::string source = made[size_t(k) % made.size()];
        Bytes bytes = ReadFileBytes(m.pools.dir + "/" + source);
        if (bytes.empty()) continue;
        if (k % 2 == 0) {
            const int changes = Between(m.random, 1, 30);
            for (int c = 0; c < changes; ++c)
                bytes[Below(m.random, bytes.size())] = uint8_t(m.random.engine());
        } else {
            bytes.resize(Below(m.random, bytes.size()));
        }
        const std::string extension = source.substr(source.size() - 4);
        m.pools.videos.push_back(m.Write("damaged" + std::to_string(k) + extension, bytes));
    }
    m.pools.videos.push_back(m.Write("noise.avi", RandomBytes(m.random, 5000)));
    m.pools.videos.push_back(m.Write("empty.avi", {}));
}

void MakeRaws(Maker& m) {
    for (int k = 0; k < 5; ++k) {
        const int width = Between(m.random, 1, 64), height = Between(m.random, 1, 64);
        const int frames = Between(m.random, 1, 6);
        m.pools.rawSides.push_back(width);
        m.pools.rawSides.push_back(height);
        Bytes bytes = RandomBytes(m.random, size_t(width) * size_t(height) * 3 * size_t(frames));
        if (k == 4) bytes.resize(bytes.size() + 1);  // one byte past the last whole frame
        m.pools.raws.push_back(m.Write("r" + std::to_string(k) + ".raw", bytes));
    }
    m.pools.rawSides.push_back(2048);
    m.pools.raws.push_back(m.Write("big.raw", Bytes(2048u * 2048u * 3u, 0x40)));
    m.pools.raws.push_back(m.Write("empty.raw", {}));
    m.pools.raws.push_back(m.Write("one.raw", {7}));
}

void MakeTargets(Maker& m) {
    for (int k = 0; k < 4; ++k) {
        m.pools.chainTargets.push_back("saved" + std::to_string(k) + ".line");
        m.pools.projectTargets.push_back("saved" + std::to_string(k) + ".quor");
    }
    m.pools.chainTargets.push_back("nodir/saved.line");
    m.pools.projectTargets.push_back("nodir/saved.quor");
    m.pools.projectTargets.push_back("saved.iqp");
    m.pools.projectTargets.push_back(std::string(70, 'q') + ".quor");  // name over 63 bytes
    const char* const extensions[] = {".avi", ".mkv", ".mp4", ".mov", ".bmp", ".xyz", ""};
    for (const char* extension : extensions)
        m.pools.videoTargets.push_back(std::string("out") + extension);
    m.pools.videoTargets.push_back("nodir/out.avi");
    // Files the scripted save dialogs choose: existing .led files, as the
    // real dialog demands, and frame images.
    for (int k = 0; k < 4; ++k) m.Write("target" + std::to_string(k) + ".led", {});
    m.Write("readonly.led", {});
    chmod((m.pools.dir + "/readonly.led").c_str(), 0444);
    for (int k = 0; k < 4000; ++k) {
        const int choice = Between(m.random, 0, 99);
        if (choice < 70)
            m.pools.scriptLines.push_back("path " + m.pools.dir + "/target" +
                                          std::to_string(Between(m.random, 0, 3)) + ".led");
        else if (choice < 80)
            m.pools.scriptLines.push_back("path " + m.pools.dir + "/frame" +
                                          std::to_string(Between(m.random, 0, 3)) + ".bmp");
        else if (choice < 84)
            m.pools.scriptLines.push_back("path " + m.pools.dir + "/readonly.led");
        else if (choice < 88)
            m.pools.scriptLines.push_back("path " + m.pools.dir + "/nodir/x.led");
        else if (choice < 94)
            m.pools.scriptLines.push_back("cancel");
        else
            m.pools.scriptLines.push_back(Chance(m.random, 0.5) ? "no" : "yes");
    }
}

}  // namespace

uint64_t Below(SoakRandom& random, uint64_t n) {
    return n == 0 ? 0 : random.engine() % n;
}
int Between(SoakRandom& random, int low, int high) {
    return low + int(Below(random, uint64_t(int64_t(high) - low + 1)));
}
bool Chance(SoakRandom& random, double p) {
    return double(random.engine() >> 11) * 0x1.0p-53 < p;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "soak: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

bool MakeListeningSocket(const std::string& path) {
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (listener < 0 || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           listen(listener, 4) == 0;  // the descriptor stays open for the run
}

bool MakeSpecialFiles(const std::string& dir) {
    bool ok = mkfifo((dir + "/fifo").c_str(), 0644) == 0;
    ok = mkdir((dir + "/dir").c_str(), 0755) == 0 && ok;
    ok = MakeListeningSocket(dir + "/sock") && ok;
    if (!ok) std::fprintf(stderr, "soak: cannot make the special files in %s\n", dir.c_str());
    return ok;
}

bool MakeFixtures(const std::string& dir, uint64_t seed, bool special, FixturePools& pools) {
    SoakRandom random{std::mt19937_64(seed ^ 0x5eed0f11e5ULL)};
    pools = FixturePools{};
    pools.dir = dir;
    Maker maker{random, pools};
    MakeChains(maker);
    MakeProjects(maker);
    MakeLists(maker);
    MakeBitmaps(maker);
    MakeVideos(maker);
    MakeRaws(maker);
    MakeTargets(maker);
    if (special) {
        if (!MakeSpecialFiles(dir)) maker.ok = false;
        pools.special = {"fifo",
                         "dir",
                         "sock",
                         dir + "/fifo",
                         dir + "/dir/",
                         "/dev/zero",
                         "/dev/null",
                         "tcp://127.0.0.1:2023",
                         "http://127.0.0.1:9/v.avi",
                         "rtsp://127.0.0.1:9/x",
                         "unix:" + dir + "/sock"};
    }
    return maker.ok;
}
