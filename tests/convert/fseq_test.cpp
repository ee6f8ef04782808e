// FSEQ sequences: the header and block plan, the sink's files read back
// through our reader and through libzstd directly, the channel map, the
// failure paths, malformed files and the inspector tool.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "convert/fseq_format.h"
#include "convert/fseq_sink.h"
#include "platform/sys.h"
#include "support/fseq_read.h"
#include "support/test_support.h"

namespace {

using Bytes = FseqBytes;

uint32_t Le(const Bytes& file, size_t at, int size) {
    return FseqField(file, at, size);
}

// A layout by LED count per port, and the port values of each frame.
struct Sequence {
    uint16_t ledCount[kPortCount] = {};
    std::vector<std::vector<Bytes>> frames;  // [frame][port], empty for unused ports

    void Fill(int frameCount, unsigned seed) {
        std::mt19937 random(seed);
        frames.assign(frameCount, std::vector<Bytes>(kPortCount));
        for (auto& frame : frames)
            for (int port = 0; port < kPortCount; ++port) {
                frame[port].resize(3u * ledCount[port]);
                for (uint8_t& b : frame[port]) b = uint8_t(random() % 7 == 0 ? random() : 0x40);
            }
    }
    // The channels of frame f as the file must hold them.
    Bytes Channels(size_t f) const {
        Bytes out;
        for (int port = 0; port < kPortCount; ++port)
            out.insert(out.end(), frames[f][port].begin(), frames[f][port].end());
        return out;
    }
};

struct WriteRun {
    uint8_t compression = kFseqZstd;
    int32_t reported = -1;  // frames the video reports; -1 = as many as given
    int32_t done = -1;      // frames at finish; -1 = as many as given
    double fps = 25.0;
    int stepMs = 0;
    uint64_t uniqueId = 0x0123456789ABCDEFull;
    const char* video = "/videos/show night.mp4";
};

// Begin, every frame, finish. The sink's error text, "" on success.
std::string Write(const std::string& target, const Sequence& seq, const WriteRun& run) {
    static FseqSinkState state;
    InitFseqSink(&state, {target.c_str(), run.compression, run.stepMs, run.uniqueId});
    OutputSink sink = FseqOutputSink(&state);
    ConversionInfo info = {};
    info.videoPath = run.video;
    info.frameCount = run.reported >= 0 ? run.reported : int32_t(seq.frames.size());
    info.framesPerSecond = run.fps;
    std::memcpy(info.ledCount, seq.ledCount, sizeof info.ledCount);
    bool ok = sink.begin(sink.state, info);
    for (size_t f = 0; ok && f < seq.frames.size(); ++f) {
        FrameLeds leds = {};
        leds.frameIndex = int32_t(f);
        for (int port = 0; port < kPortCount; ++port)
            leds.values[port] = seq.ledCount[port] ? seq.frames[f][port].data() : nullptr;
        ok = sink.frame(sink.state, leds);
    }
    ok = ok && sink.finish(sink.state, run.done >= 0 ? run.done : int32_t(seq.frames.size()));
    if (ok) return "";
    const std::string error = sink.error(sink.state);
    sink.abort(sink.state);
    return error.empty() ? "failed without a reason" : error;
}

Bytes ReadBytes(const std::string& path) {
    return ReadFileBytes(path);
}

using ReadBack = FseqReadBack;
ReadBack Read(const Bytes& file) {
    return ReadFseq(file);
}

// Without our reader (libzstd alone for compressed files).
std::vector<Bytes> ReadWithLibzstd(const Bytes& file) {
    std::string problem;
    std::vector<Bytes> frames = ReadFseqDirectly(file, &problem);
    EXPECT_EQ(problem, "");
    return frames;
}

// The file operations as the system gives them, and a countdown after
// which the replaced one fails.
FileSyscalls g_real;
int g_callsLeft;
bool Fails() {
    if (--g_callsLeft >= 0) return false;
    errno = EIO;
    return true;
}

class FseqSinkTest : public ::testing::Test {
protected:
    void TearDown() override { ResetFileSyscalls(); }
    ScopedTempDir dir_{"quorvane-fseq"};
};

TEST(FseqFormat, HeaderFieldsAtTheirOffsets) {
    FseqHeader h = {};
    h.channelDataOffset = 0x1234;
    h.minorVersion = 0;
    h.majorVersion = 2;
    h.variableHeaderOffset = 0x0A28;
    h.channelCount = 0x00180000;
    h.frameCount = 0x01020304;
    h.stepMs = 40;
    h.compression = kFseqZstd;
    h.blockCount = 0x3A7;  // 935: bits 8-11 go to the high nibble of byte 20
    h.uniqueId = 0x1122334455667788ull;
    uint8_t bytes[kFseqHeaderSize];
    BuildFseqHeader(h, bytes);
    const uint8_t expected[kFseqHeaderSize] = {
        'P',  'S',  'E', 'Q', 0x34, 0x12, 0, 2, 0x28, 0x0A, 0x00, 0x00, 0x18, 0x00, 0x04, 0x03,
        0x02, 0x01, 40,  0,   0x31, 0xA7, 0, 0, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(Bytes(bytes, bytes + 32), Bytes(expected, expected + 32));
    const FseqHeader back = ParseFseqHeader(bytes);
    EXPECT_EQ(back.blockCount, 0x3A7);
    EXPECT_EQ(back.compression, kFseqZstd);
    EXPECT_EQ(back.uniqueId, h.uniqueId);
    EXPECT_EQ(back.channelCount, h.channelCount);

    Bytes variables;
    ASSERT_TRUE(AppendFseqVariable(variables, "mf", "xy"));
    EXPECT_EQ(variables, (Bytes{7, 0, 'm', 'f', 'x', 'y', 0}));
    EXPECT_FALSE(AppendFseqVariable(variables, "mf", std::string(70000, 'a').c_str()));
    EXPECT_EQ(variables.size(), 7u);
}

TEST(FseqFormat, BlockPlans) {
    struct Case {
        uint32_t channels, frames;
        FseqBlockPlan plan;
    } cases[] = {
        // About 64 KiB per block, the first an eighth of it.
        {3, 100000, {2730, 21845, 6}},
        {6000, 40, {1, 10, 5}},
        {6000, 1, {1, 10, 1}},
        {6000, 0, {1, 10, 0}},
        // Frames over 64 KiB: one per block, until 255 blocks would not do.
        {1572864, 254, {1, 1, 254}},
        {1572864, 255, {1, 1, 255}},
        {1572864, 256, {1, 2, 129}},
        {1572864, 200000, {1, 788, 255}},
        {2000000, 7500, {1, 30, 251}},
    };
    for (const Case& c : cases) {
        const FseqBlockPlan plan = PlanFseqBlocks(c.channels, c.frames);
        EXPECT_EQ(plan.firstBlockFrames, c.plan.firstBlockFrames) << c.channels << " " << c.frames;
        EXPECT_EQ(plan.framesPerBlock, c.plan.framesPerBlock) << c.channels << " " << c.frames;
        EXPECT_EQ(plan.blockCount, c.plan.blockCount) << c.channels << " " << c.frames;
        EXPECT_LE(plan.blockCount, kFseqWriterMaxBlocks);
    }
}

// Written plain and with zstd, the sequence reads back to exactly the values
// handed to the sink, frame by frame and channel by channel, through our
// reader and through libzstd alone.
TEST_F(FseqSinkTest, RoundTripPlainAndZstd) {
    Sequence seq;
    seq.ledCount[0] = 2000;  // 6000 channels: blocks of 10 frames after a first of 1
    seq.ledCount[3] = 1;
    seq.ledCount[255] = 17;
    seq.Fill(40, 7);
    for (uint8_t compression : {kFseqNone, kFseqZstd}) {
        SCOPED_TRACE(compression);
        WriteRun run;
        run.compression = compression;
        const std::string target = dir_.File("show.fseq");
        ASSERT_EQ(Write(target, seq, run), "");
        const Bytes file = ReadBytes(target);
        const ReadBack back = Read(file);
        ASSERT_EQ(back.error, "");
        ASSERT_EQ(back.frames.size(), 40u);
        for (size_t f = 0; f < 40; ++f) ASSERT_EQ(back.frames[f], seq.Channels(f)) << "frame " << f;
        EXPECT_EQ(back.info.blocks.size(), compression == kFseqZstd ? 5u : 0u);
        const std::vector<Bytes> direct = ReadWithLibzstd(file);
        ASSERT_EQ(direct.size(), 40u);
        for (size_t f = 0; f < 40; ++f) ASSERT_EQ(direct[f], seq.Channels(f)) << "frame " << f;
        EXPECT_FALSE(Sys_FileExists((target + ".part").c_str()));
    }
}

// Every sequence reads back exactly through the show player's own reader,
// which cuts each block to the raw size of the whole sequence: short shows
// and frames that do not compress are written so that nothing is cut.
TEST_F(FseqSinkTest, ThePlayersReaderGetsEveryFrame) {
    struct Case {
        const char* what;
        uint16_t leds;
        int frames;
        bool noise;  // every byte random: nothing to compress
        bool zstdKept;
    } cases[] = {
        {"one LED, three frames", 1, 3, false, false},
        {"50 LEDs of noise, two frames", 50, 2, true, false},
        {"300 LEDs of noise, one block", 300, 5, true, false},
        {"2000 LEDs of noise, five blocks", 2000, 40, true, true},
        {"2000 LEDs, five blocks", 2000, 40, false, true},
        {"one LED, 40000 frames", 1, 40000, false, true},
    };
    for (const Case& c : cases)
        for (uint8_t compression : {kFseqNone, kFseqZstd}) {
            SCOPED_TRACE(testing::Message() << c.what << ", compression " << int(compression));
            Sequence seq;
            seq.ledCount[4] = c.leds;
            seq.Fill(c.frames, 21);
            if (c.noise) {
                std::mt19937 random(5);
                for (auto& frame : seq.frames)
                    for (uint8_t& b : frame[4]) b = uint8_t(random());
            }
            WriteRun run;
            run.compression = compression;
            const std::string target = dir_.File("show.fseq");
            ASSERT_EQ(Write(target, seq, run), "");
            const Bytes file = ReadBytes(target);
            std::string problem;
            const std::vector<Bytes> played = ReadFseqAsPlayer(file, &problem);
            EXPECT_EQ(problem, "");
            ASSERT_EQ(played.size(), size_t(c.frames));
            for (int f = 0; f < c.frames; ++f)
                ASSERT_EQ(played[f], seq.Channels(f)) << "frame " << f;
            EXPECT_EQ(file[20], compression == kFseqZstd && c.zstdKept ? kFseqZstd : kFseqNone);
            const ReadBack back = Read(file);
            EXPECT_EQ(back.error, "");
            EXPECT_EQ(back.frames.size(), size_t(c.frames));
            EXPECT_FALSE(Sys_FileExists((target + ".part").c_str()));
            EXPECT_FALSE(Sys_FileExists((target + ".plain.part").c_str()));
        }
}

// The cut in 32 bits: a full layout over 2731 frames is cut at 512 KiB.
TEST(FseqFormat, BlocksReadWholeUnderThePlayersCut) {
    const FseqBlock small[] = {{0, 18}}, big[] = {{0, 100}, {1, 600000}}, fits[] = {{0, 524288}};
    EXPECT_FALSE(FseqBlocksReadWhole(3, 3, small, 1));
    EXPECT_TRUE(FseqBlocksReadWhole(3, 6, small, 1));
    EXPECT_FALSE(FseqBlocksReadWhole(1572864, 2731, big, 2));
    EXPECT_TRUE(FseqBlocksReadWhole(1572864, 2731, fits, 1));
    EXPECT_TRUE(FseqBlocksReadWhole(1572864, 2730, big, 2));
}

TEST_F(FseqSinkTest, HeaderFieldsAndVariables) {
    Sequence seq;
    seq.ledCount[0] = 2000;
    seq.ledCount[9] = 3;
    seq.Fill(23, 3);
    struct Case {
        uint8_t compression;
        int32_t reported;
        double fps;
        int stepMs;
        uint32_t slots, used;
        uint8_t step;
    } cases[] = {
        // 23 of 40 frames done: 4 of the 5 planned blocks, the fifth slot empty.
        {kFseqZstd, 40, 25.0, 0, 5, 4, 40}, {kFseqZstd, 23, 29.97, 0, 4, 4, 33},
        {kFseqNone, 40, 0.0, 0, 0, 0, 50},  {kFseqNone, 23, 25.0, 25, 0, 0, 25},
        {kFseqNone, 23, 2.0, 0, 0, 0, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.compression) << " " << c.reported << " " << c.fps);
        WriteRun run;
        run.compression = c.compression;
        run.reported = c.reported;
        run.fps = c.fps;
        run.stepMs = c.stepMs;
        const std::string target = dir_.File("show.fseq");
        ASSERT_EQ(Write(target, seq, run), "");
        const Bytes file = ReadBytes(target);
        const uint32_t variablesAt = 32 + 8 * c.slots;
        struct Field {
            size_t at;
            int size;
            uint32_t value;
        } fields[] = {
            {0, 4, 0x51455350},  // "PSEQ"
            {6, 1, 0},           // minor version
            {7, 1, 2},           // major version
            {8, 2, variablesAt},
            {10, 4, 6009},  // channels: 2003 LEDs
            {14, 4, 23},    // frames done
            {18, 1, c.step},
            {19, 1, 0},  // flags
            {20, 1, c.compression},
            {21, 1, c.slots},
            {22, 1, 0},  // sparse ranges
            {23, 1, 0},
            {24, 4, 0x89ABCDEF},  // unique id
            {28, 4, 0x01234567},
        };
        for (const Field& field : fields)
            EXPECT_EQ(Le(file, field.at, field.size), field.value) << "byte " << field.at;
        const uint32_t dataOffset = Le(file, 4, 2);
        EXPECT_EQ(dataOffset % 4, 0u);
        // "mf": the video's file name; "sp": the producer and its version.
        const std::string mf("\x13\x00mfshow night.mp4\0", 19);
        ASSERT_GE(file.size(), variablesAt + 32u);
        EXPECT_EQ(std::string(file.begin() + variablesAt, file.begin() + variablesAt + 19), mf);
        EXPECT_EQ(std::string(file.begin() + variablesAt + 21, file.begin() + variablesAt + 32),
                  "spQuorvane ");
        const ReadBack back = Read(file);
        ASSERT_EQ(back.error, "");
        EXPECT_EQ(back.info.indexSlots, c.slots);
        EXPECT_EQ(back.info.blocks.size(), c.used);
        ASSERT_EQ(back.info.variables.size(), 2u);
        EXPECT_EQ(back.info.variables[0].data, "show night.mp4");
        const std::string producer = back.info.variables[1].data;
        EXPECT_EQ(producer.rfind("Quorvane ", 0), 0u);
        EXPECT_EQ(Le(file, variablesAt + 19, 2), 4 + producer.size() + 1);
        EXPECT_EQ(dataOffset, (variablesAt + 19 + 4 + producer.size() + 1 + 3) / 4 * 4);
        ASSERT_EQ(back.frames.size(), 23u);
        EXPECT_EQ(back.frames[22], seq.Channels(22));
    }

    // The creation time in microseconds when no id is given.
    const uint64_t before = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count());
    WriteRun run;
    run.uniqueId = 0;
    ASSERT_EQ(Write(dir_.File("id.fseq"), seq, run), "");
    const Bytes file = ReadBytes(dir_.File("id.fseq"));
    const uint64_t id = uint64_t(Le(file, 28, 4)) << 32 | Le(file, 24, 4);
    EXPECT_GE(id, before);
    EXPECT_LT(id, before + 60000000ull);
}

TEST_F(FseqSinkTest, ZeroFramesSingleLedAndSkippedFrames) {
    Sequence one;
    one.ledCount[7] = 1;
    one.Fill(5, 11);
    for (uint8_t compression : {kFseqNone, kFseqZstd}) {
        SCOPED_TRACE(compression);
        WriteRun run;
        run.compression = compression;
        // A conversion stopped before its first frame still gives a sound file.
        Sequence none = one;
        none.frames.clear();
        run.reported = 5;
        ASSERT_EQ(Write(dir_.File("empty.fseq"), none, run), "");
        ReadBack back = Read(ReadBytes(dir_.File("empty.fseq")));
        ASSERT_EQ(back.error, "");
        EXPECT_EQ(back.info.header.frameCount, 0u);
        EXPECT_EQ(back.info.header.channelCount, 3u);
        EXPECT_TRUE(back.info.blocks.empty());
        EXPECT_TRUE(back.frames.empty());

        run.reported = -1;
        ASSERT_EQ(Write(dir_.File("one.fseq"), one, run), "");
        back = Read(ReadBytes(dir_.File("one.fseq")));
        ASSERT_EQ(back.error, "");
        ASSERT_EQ(back.frames.size(), 5u);
        for (size_t f = 0; f < 5; ++f) EXPECT_EQ(back.frames[f], one.Channels(f));
        const std::vector<Bytes> direct = ReadWithLibzstd(ReadBytes(dir_.File("one.fseq")));
        ASSERT_EQ(direct.size(), 5u);
        for (size_t f = 0; f < 5; ++f) EXPECT_EQ(direct[f], one.Channels(f));
    }

    // Frames the conversion skipped, and frames finish counts that were never
    // handed over, stay dark so the timing holds.
    FseqSinkState state;
    InitFseqSink(&state, {dir_.File("gaps.fseq").c_str(), kFseqZstd, 0, 1});
    OutputSink sink = FseqOutputSink(&state);
    ConversionInfo info = {};
    info.frameCount = 6;
    info.ledCount[7] = 1;
    ASSERT_TRUE(sink.begin(sink.state, info));
    const uint8_t lit[3] = {9, 8, 7};
    FrameLeds leds = {};
    leds.values[7] = lit;
    leds.frameIndex = 2;
    ASSERT_TRUE(sink.frame(sink.state, leds));
    leds.frameIndex = 1;
    EXPECT_FALSE(sink.frame(sink.state, leds)) << "frames go forward only";
    EXPECT_NE(std::string(sink.error(sink.state)).find("frame 1 given after frame 2"),
              std::string::npos);
    sink.abort(sink.state);
    ASSERT_TRUE(sink.begin(sink.state, info));
    leds.frameIndex = 2;
    ASSERT_TRUE(sink.frame(sink.state, leds));
    ASSERT_TRUE(sink.finish(sink.state, 4));
    const ReadBack back = Read(ReadBytes(dir_.File("gaps.fseq")));
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.frames, (std::vector<Bytes>{{0, 0, 0}, {0, 0, 0}, {9, 8, 7}, {0, 0, 0}}));
}

TEST_F(FseqSinkTest, ChannelMapBesideTheSequence) {
    Sequence seq;
    seq.ledCount[0] = 10;
    seq.ledCount[4] = 1;
    seq.ledCount[255] = 2048;
    seq.Fill(1, 1);
    ASSERT_EQ(Write(dir_.File("show.fseq"), seq, WriteRun()), "");
    EXPECT_EQ(ReadWholeFile(dir_.File("show.fseq.channels.csv")),
              "port,first_channel,led_count\n1,1,10\n5,31,1\n256,34,2048\n");
}

// An earlier sequence behind a symbolic link is replaced through the link,
// and keeps its permission bits.
TEST_F(FseqSinkTest, ReplacesThroughALinkAndKeepsTheMode) {
    Sequence seq;
    seq.ledCount[0] = 1;
    seq.Fill(2, 4);
    const std::string real = dir_.File("real.fseq"), link = dir_.File("show.fseq");
    WriteWholeFile(real, "earlier");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.fseq", link.c_str()), 0);
    ASSERT_EQ(Write(link, seq, WriteRun()), "");
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    const ReadBack back = Read(ReadBytes(real));
    ASSERT_EQ(back.error, "");
    EXPECT_EQ(back.frames.size(), 2u);
    EXPECT_FALSE(Sys_FileExists(dir_.File("real.fseq.part").c_str()));
    EXPECT_TRUE(Sys_FileExists(dir_.File("show.fseq.channels.csv").c_str()));
}

// A stopped or failed conversion removes its temporary file and leaves an
// earlier sequence as it was; the reason names the file.
TEST_F(FseqSinkTest, FailuresLeaveTheEarlierSequence) {
    Sequence seq;
    seq.ledCount[1] = 2000;
    seq.Fill(12, 5);
    const std::string target = dir_.File("show.fseq");
    WriteWholeFile(target, "earlier");

    FseqSinkState state;
    InitFseqSink(&state, {target.c_str(), kFseqZstd, 0, 0});
    OutputSink sink = FseqOutputSink(&state);
    ConversionInfo info = {};
    info.frameCount = 12;
    info.ledCount[1] = 2000;
    ASSERT_TRUE(sink.begin(sink.state, info));
    FrameLeds leds = {};
    leds.values[1] = seq.frames[0][1].data();
    ASSERT_TRUE(sink.frame(sink.state, leds));
    EXPECT_TRUE(Sys_FileExists((target + ".part").c_str()));
    sink.abort(sink.state);
    EXPECT_FALSE(Sys_FileExists((target + ".part").c_str()));
    EXPECT_EQ(ReadWholeFile(target), "earlier");

    // The n-th call of each file operation fails, for every n a conversion
    // makes (the channel map's save included).
    struct Failing {
        const char* name;
        void (*install)(FileSyscalls& io);
    } failing[] = {
        {"write",
         [](FileSyscalls& io) {
             io.write = [](int fd, const void* d, size_t n) {
                 return Fails() ? ssize_t(-1) : g_real.write(fd, d, n);
             };
         }},
        {"pwrite",
         [](FileSyscalls& io) {
             io.pwrite = [](int fd, const void* d, size_t n, off_t at) {
                 return Fails() ? ssize_t(-1) : g_real.pwrite(fd, d, n, at);
             };
         }},
        {"fsync",
         [](FileSyscalls& io) {
             io.fsync = [](int fd) { return Fails() ? -1 : g_real.fsync(fd); };
         }},
        {"fchmod",
         [](FileSyscalls& io) {
             io.fchmod = [](int fd, mode_t m) { return Fails() ? -1 : g_real.fchmod(fd, m); };
         }},
        {"close",
         [](FileSyscalls& io) {
             io.close = [](int fd) { return Fails() ? -1 : g_real.close(fd); };
         }},
        {"rename",
         [](FileSyscalls& io) {
             io.rename = [](const char* a, const char* b) {
                 return Fails() ? -1 : g_real.rename(a, b);
             };
         }},
    };
    // A short show is rewritten plain at the end (see ThePlayersReaderGetsEveryFrame).
    Sequence tiny;
    tiny.ledCount[1] = 1;
    tiny.Fill(3, 5);
    ResetFileSyscalls();
    g_real = CurrentFileSyscalls();
    for (const Failing& f : failing)
        for (const int compression : {int(kFseqNone), int(kFseqZstd), kFseqZstd + 8}) {
            for (int n = 0;; ++n) {
                SCOPED_TRACE(testing::Message() << f.name << " " << int(compression) << " " << n);
                g_callsLeft = n;
                f.install(CurrentFileSyscalls());
                WriteRun run;
                run.compression = uint8_t(compression & 7);
                const std::string error = Write(target, compression > 7 ? tiny : seq, run);
                ResetFileSyscalls();
                if (error.empty()) break;
                EXPECT_EQ(error.rfind(target + ": ", 0), 0u) << error;
                EXPECT_FALSE(Sys_FileExists((target + ".part").c_str()));
                EXPECT_FALSE(Sys_FileExists((target + ".plain.part").c_str()));
                ASSERT_EQ(ReadWholeFile(target), "earlier");
                ASSERT_LT(n, 100);
            }
            WriteWholeFile(target, "earlier");
        }

    // Not a regular file: refused before the first frame.
    EXPECT_NE(Write(dir_.path(), seq, WriteRun()).find("not a regular file"), std::string::npos);
    EXPECT_NE(Write(dir_.File("missing/show.fseq"), seq, WriteRun()).find("cannot create"),
              std::string::npos);
    Sequence empty;
    empty.Fill(1, 1);
    EXPECT_NE(Write(target, empty, WriteRun()).find("no LEDs"), std::string::npos);
}

// Damaged files are refused with a reason, never read past their end.
TEST(FseqReader, MalformedFilesGiveAReason) {
    ScopedTempDir dir("quorvane-fseq");
    Sequence seq;
    seq.ledCount[0] = 2000;
    seq.Fill(25, 9);
    const std::string target = dir.File("good.fseq");
    ASSERT_EQ(Write(target, seq, WriteRun()), "");
    const Bytes good = ReadBytes(target);
    const uint32_t offset = Le(good, 4, 2);
    ASSERT_EQ(Read(good).error, "");

    struct Case {
        const char* what;
        void (*damage)(Bytes& file, uint32_t offset);
        const char* reason;
    } cases[] = {
        {"empty", [](Bytes& f, uint32_t) { f.clear(); }, "truncated"},
        {"cut in the header", [](Bytes& f, uint32_t) { f.resize(20); }, "truncated"},
        {"cut in the index", [](Bytes& f, uint32_t o) { f.resize(o - 3); }, "truncated"},
        {"cut in the frames", [](Bytes& f, uint32_t) { f.resize(f.size() - 1); },
         "run past the end of the file"},
        {"bad magic", [](Bytes& f, uint32_t) { f[0] = 'X'; }, "not an FSEQ sequence"},
        {"version 1", [](Bytes& f, uint32_t) { f[7] = 1; }, "only version 2"},
        {"zlib", [](Bytes& f, uint32_t) { f[20] = (f[20] & 0xF0) | 2; }, "zlib"},
        {"unknown compression", [](Bytes& f, uint32_t) { f[20] = (f[20] & 0xF0) | 7; },
         "unknown compression type 7"},
        {"block size overruns", [](Bytes& f, uint32_t) { f[32 + 8 + 7] = 0x7F; },
         "run past the end of the file"},
        {"index beyond the data offset", [](Bytes& f, uint32_t) { f[20] |= 0xF0; },
         "past the channel data offset"},
        {"blocks out of order", [](Bytes& f, uint32_t) { f[32 + 16] = 0; },
         "not after the block before it"},
        {"block beyond the frames", [](Bytes& f, uint32_t) { f[32 + 16] = 200; },
         "beyond the 25 frames"},
        {"first block not at 0", [](Bytes& f, uint32_t) { f[32] = 1; }, "not at frame 0"},
        {"no channels", [](Bytes& f, uint32_t) { std::memset(&f[10], 0, 4); }, "no channels"},
        {"too many channels", [](Bytes& f, uint32_t) { f[13] = 0x7F; }, "more than this reader"},
        {"data offset in the header", [](Bytes& f, uint32_t) { f[4] = 8, f[5] = 0; },
         "inside the 32-byte header"},
        {"variable head too short", [](Bytes& f, uint32_t) { f[Le(f, 8, 2)] = 2; },
         "shorter than its 4-byte head"},
        {"variable runs past the data",
         [](Bytes& f, uint32_t) { f[Le(f, 8, 2)] = 0xF0, f[Le(f, 8, 2) + 1] = 0x0F; },
         "runs past the channel data offset"},
        {"corrupt zstd data", [](Bytes& f, uint32_t o) { std::memset(&f[o], 0xAB, 4); },
         "not valid zstd data"},
        {"block holds fewer frames", [](Bytes& f, uint32_t) { f[32 + 8] = 3; }, "short of its"},
        {"block holds more frames", [](Bytes& f, uint32_t) { f[32 + 16] = 10; },
         "holds more than its 9 frames"},
        {"more frames than the blocks hold", [](Bytes& f, uint32_t) { f[14] = 26; },
         "short of its"},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        c.damage(file, offset);
        const ReadBack back = Read(file);
        EXPECT_NE(back.error.find(c.reason), std::string::npos)
            << c.what << ": \"" << back.error << "\"";
    }
}

TEST_F(FseqSinkTest, InspectorPrintsChecksAndWritesRawFrames) {
    Sequence seq;
    seq.ledCount[2] = 300;
    seq.Fill(30, 2);
    const std::string target = dir_.File("show.fseq");
    ASSERT_EQ(Write(target, seq, WriteRun()), "");
    const std::string tool = BuildDirectory() + "/quorvane_inspect_fseq ";
    const std::string out = dir_.File("out.txt"), err = dir_.File("err.txt");
    const std::string raw = dir_.File("frames.raw");
    auto run = [&](const std::string& arguments) {
        const int status = std::system((tool + arguments + " > " + out + " 2> " + err).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(run(target + " --raw " + raw), 0) << ReadWholeFile(err);
    const std::string text = ReadWholeFile(out);
    for (const char* line :
         {"version 2.0\n", "channels per frame 900\n", "frames 30\n", "step time 40 ms\n",
          "compression zstd\n", "variable mf \"show night.mp4\"\n", "variable sp \"Quorvane ",
          "unique id 81985529216486895\n", "block 0 first frame 0 size "})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    std::string expected;
    for (size_t f = 0; f < 30; ++f) {
        const Bytes channels = seq.Channels(f);
        expected.append(channels.begin(), channels.end());
    }
    EXPECT_TRUE(ReadWholeFile(raw) == expected);

    // Refused before any frame: truncated.
    Bytes damaged = ReadBytes(target);
    damaged.resize(damaged.size() - 10);
    WriteWholeFile(dir_.File("cut.fseq"), std::string(damaged.begin(), damaged.end()));
    EXPECT_EQ(run(dir_.File("cut.fseq")), 1);
    EXPECT_NE(ReadWholeFile(err).find("run past the end of the file"), std::string::npos)
        << ReadWholeFile(err);
    // Refused in the last block, after frames went out: no partial output.
    damaged = ReadBytes(target);
    std::memset(&damaged[damaged.size() - 12], 0xAB, 12);
    WriteWholeFile(dir_.File("bad.fseq"), std::string(damaged.begin(), damaged.end()));
    EXPECT_EQ(run(dir_.File("bad.fseq") + " --raw " + raw), 1);
    EXPECT_NE(ReadWholeFile(err).find(dir_.File("bad.fseq") + ": compression block "),
              std::string::npos)
        << ReadWholeFile(err);
    EXPECT_FALSE(Sys_FileExists(raw.c_str())) << "no partial frames left";
    EXPECT_EQ(run(dir_.File("missing.fseq")), 1);
    EXPECT_NE(ReadWholeFile(err).find("cannot open"), std::string::npos);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--help"), 0);
}

}  // namespace
