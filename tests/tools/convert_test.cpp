// quorvane-convert end to end: its files decode to exactly the frames the
// window's Convert mode gives for the same layout, video and colour
// settings (run here in-process on the same video), and to those of the
// grid-painting path with whole-video buffers the window used before; its errors are one
// line with exit status 1, its usage errors exit 2, and a failed run
// leaves no controller file behind and replaces none.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "common/packet.h"
#include "common/protocol.h"
#include "convert/color.h"
#include "convert/controller_decode.h"
#include "convert/controller_sink.h"
#include "convert/conversion.h"
#include "convert/led_footprint.h"
#include "convert/led_map.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "support/edits.h"
#include "support/fseq_read.h"
#include "support/test_support.h"
#include "support/whole_video_export.h"
#include "tool_fixture.h"
#include "tools/tool_options.h"
#include "video/mapping.h"
#include "video/playback.h"
#include "video/video.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 12;

struct Rgb {
    uint8_t r, g, b;
};

// A lossless video of random frames.
void WriteVideo(const std::string& path, int frames, int fourcc, int width = kWidth,
                int height = kHeight) {
    WriteRandomVideo(path, frames, fourcc, width, height, uint64_t(frames) * 7919u);
}

const int kFfv1 = cv::VideoWriter::fourcc('F', 'F', 'V', '1');
const int kMjpg = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');

std::vector<uint8_t> Packet(CommandCode code) {
    std::vector<uint8_t> packet(kPacketSize, 0);
    WriteBE16(packet.data(), uint16_t(code));
    return packet;
}

// LEDs inside the picture, beyond its right and bottom edges, dark ones,
// and a port with only an LED outside it; saved as a project.
void BuildLayout(const std::string& project) {
    for (int x = 0; x < 20; ++x) AddPictureLed(0, x, 0);
    for (int y = 8; y < 14; ++y) AddPictureLed(1, 3, y);
    SetActiveRange(1, 1, 3, 0);
    for (int k = 0; k < 12; ++k) AddPictureLed(4, k * 3, k);
    AddPictureLed(9, 30, 2);
    for (int x = 0; x < 6; ++x) AddPictureLed(255, 15 - x, 11);
    SaveProject(project.c_str(), HeaderView{});
}

// Convert mode of the window, in this process, with the scripted save
// dialog choosing `target`.
void RunWindowConvert(const std::string& video, int order, Rgb brightness, Rgb black,
                      const std::string& target) {
    SetVideoPath(video.c_str());
    FakeSys_QueueSaveAnswer(target);
    std::vector<uint8_t> start = Packet(CommandCode::StartVideo);
    const uint8_t fields[8] = {uint8_t(order), brightness.r, brightness.g, brightness.b, 1,
                               black.r,        black.g,      black.b};
    std::memcpy(start.data() + 2, fields, sizeof fields);
    StartVideo(start.data());
    ASSERT_EQ(VideoMode(), VideoModeKind::Convert);
    for (int i = 0; i < 1000 && VideoMode() != VideoModeKind::Idle; ++i) StepVideoFrame();
    ASSERT_EQ(VideoMode(), VideoModeKind::Idle);
}

void SetWindowResize(int width, int height, int interpolation, bool enabled) {
    std::vector<uint8_t> packet = Packet(CommandCode::SetVideoResize);
    std::snprintf(reinterpret_cast<char*>(packet.data()) + 4, 5, "%d", width);
    std::snprintf(reinterpret_cast<char*>(packet.data()) + 9, 5, "%d", height);
    packet[14] = enabled ? 1 : 0;
    packet[15] = uint8_t(interpolation);
    SetVideoResize(packet.data());
}

// The grid path the window took before it streamed: every decoded frame
// painted and stored into whole-video buffers, scrambled, and the buffers
// written at the end.
void RunGridPathConvert(const std::string& video, const ColorSettings& color,
                        const ResizeSettings& resize, const std::string& target) {
    FakeSys_QueueSaveAnswer(target);
    SetColorSettings(color);
    cv::VideoCapture capture(video);
    const int32_t count = int32_t(capture.get(cv::CAP_PROP_FRAME_COUNT));
    ASSERT_TRUE(PrepareExport(count));
    cv::Mat frame, resized;
    for (int32_t f = 0; f < count && capture.read(frame); ++f) {
        const cv::Mat* walked = &frame;
        if (resize.enabled) {
            cv::resize(frame, resized, cv::Size(resize.width, resize.height), 0, 0,
                       resize.interpolation);
            walked = &resized;
        }
        MapFrameOntoGrid(*walked);
        StoreFrameInExport(*walked, f);
        ScrambleFrame(f);
    }
    ASSERT_TRUE(WriteControllerFiles());
    ReleaseExport();
}

// The frames of a controller file as plain LED bytes; a frame never
// reached (all zero in the file, so not scrambled) is left empty, since
// unscrambling it would give each file's own key stream.
std::vector<std::vector<uint8_t>> PlainFrames(const std::string& path) {
    DecodedControllerFile decoded;
    std::string error;
    EXPECT_TRUE(DecodeControllerFile(path.c_str(), &decoded, &error)) << path << ": " << error;
    const std::string raw = ReadWholeFile(path);
    for (size_t f = 0; f < decoded.frames.size(); ++f) {
        const size_t at = kControllerHeaderSize + f * decoded.frameStride;
        if (raw.find_first_not_of('\0', at) >= at + decoded.frameLength) decoded.frames[f].clear();
    }
    return decoded.frames;
}

// "" when equal, else where the first difference is.
std::string FirstDifference(const std::vector<std::vector<uint8_t>>& a,
                            const std::vector<std::vector<uint8_t>>& b) {
    if (a.size() != b.size())
        return std::to_string(a.size()) + " frames against " + std::to_string(b.size());
    for (size_t f = 0; f < a.size(); ++f)
        if (a[f] != b[f]) return "frame " + std::to_string(f);
    return "";
}

ToolRun RunConvert(const std::string& args, const std::string& dir) {
    return RunTool("quorvane-convert", args, dir);
}

std::vector<std::string> ControllerFiles(const std::string& dir, const std::string& name) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("PORT-", 0) == 0 && file.size() > name.size() &&
            file.compare(file.size() - name.size(), name.size(), name) == 0)
            found.push_back(file.substr(0, file.size() - name.size()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Names left in `dir` besides the given ones (temporary files included).
std::vector<std::string> OtherFiles(const std::string& dir, std::vector<std::string> known) {
    std::vector<std::string> other;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), file) == known.end()) other.push_back(file);
    }
    std::sort(other.begin(), other.end());
    return other;
}

class ConvertTool : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        project_ = dir_.File("show.quor");
        BuildLayout(project_);
        // Both sides convert the layout as opened from the file.
        HeaderView view = {};
        OpenFile(project_.c_str(), view);
    }
    void TearDown() override {
        ResetVideoState();
        ResetRunState();
    }
    ScopedTempDir dir_{"quorvane-convert"};
    std::string project_;
};

TEST_F(ConvertTool, FilesDecodeToTheFramesOfTheWindowsConvertMode) {
    const std::string full = dir_.File("full.avi");
    WriteVideo(full, 19, kFfv1);  // more frames than the files gather per write
    // An AVI cut short: its header still reports every frame.
    const std::string cut = dir_.File("cut.avi");
    WriteVideo(cut, 12, kMjpg);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 6 / 10);
    {
        cv::VideoCapture capture(cut);
        ASSERT_TRUE(capture.isOpened());
        int delivered = 0;
        cv::Mat frame;
        while (capture.read(frame)) ++delivered;
        ASSERT_EQ(int(capture.get(cv::CAP_PROP_FRAME_COUNT)), 12);
        ASSERT_LT(delivered, 12);
        ASSERT_GT(delivered, 0);
    }
    const struct Case {
        const char* order;
        Rgb brightness, black;
        const char* resize;  // option text, "" for none
        int width, height, interpolation;
        const std::string* video;
    } cases[] = {
        {"RGB", {100, 100, 100}, {0, 0, 0}, "", 0, 0, 0, &full},
        {"RBG", {50, 100, 200}, {10, 0, 5}, "", 0, 0, 0, &full},
        {"GRB", {255, 0, 100}, {0, 255, 1}, "", 0, 0, 0, &full},
        {"GBR", {100, 100, 100}, {128, 64, 32}, "", 0, 0, 0, &full},
        {"BRG", {0, 37, 255}, {3, 3, 3}, "", 0, 0, 0, &full},
        {"BGR", {99, 101, 100}, {0, 0, 200}, "10x7:cubic", 10, 7, 2, &full},
        {"RGB", {100, 100, 100}, {1, 2, 3}, "40x30:nearest", 40, 30, 0, &full},
        {"GRB", {80, 120, 100}, {0, 0, 0}, "", 0, 0, 0, &cut},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.order) + " " + c.resize + " " + *c.video);
        const std::string window = "window" + std::to_string(n) + ".led";
        const std::string tool = "tool" + std::to_string(n) + ".led";
        const std::string grid = "grid" + std::to_string(n) + ".led";
        ++n;
        ResetVideoState();
        int order = 0;
        ASSERT_TRUE(ParseColorOrder(c.order, &order));
        SetWindowResize(c.width, c.height, c.interpolation, c.resize[0] != '\0');
        RunWindowConvert(*c.video, order, c.brightness, c.black, dir_.File(window));
        const ColorSettings color = {order,
                                     {c.brightness.r, c.brightness.g, c.brightness.b},
                                     {c.black.r, c.black.g, c.black.b}};
        const ResizeSettings resize = {c.width, c.height, c.resize[0] != '\0',
                                       uint8_t(c.interpolation)};
        RunGridPathConvert(*c.video, color, resize, dir_.File(grid));

        char options[160];
        std::snprintf(options, sizeof options, "--order %s --brightness %d,%d,%d --black %d,%d,%d",
                      c.order, c.brightness.r, c.brightness.g, c.brightness.b, c.black.r, c.black.g,
                      c.black.b);
        std::string args = std::string(options) + " --progress none ";
        if (c.resize[0] != '\0') args += std::string("--resize ") + c.resize + " ";
        const ToolRun run =
            RunConvert(args + project_ + " " + *c.video + " " + dir_.File(tool), dir_.path());
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.error, "");

        const std::vector<std::string> ports = ControllerFiles(dir_.path(), window);
        ASSERT_EQ(ports, (std::vector<std::string>{"PORT-1-", "PORT-10-", "PORT-2-", "PORT-256-",
                                                   "PORT-5-"}));
        ASSERT_EQ(ControllerFiles(dir_.path(), tool), ports);
        ASSERT_EQ(ControllerFiles(dir_.path(), grid), ports);
        for (const std::string& port : ports) {
            const auto fromTool = PlainFrames(dir_.File(port + tool));
            ASSERT_FALSE(fromTool.empty() || fromTool[0].empty()) << port;
            EXPECT_EQ(FirstDifference(PlainFrames(dir_.File(port + window)), fromTool), "")
                << port << " window";
            EXPECT_EQ(FirstDifference(PlainFrames(dir_.File(port + grid)), fromTool), "")
                << port << " grid";
            EXPECT_EQ(ReadWholeFile(dir_.File(port + window)).size(),
                      ReadWholeFile(dir_.File(port + tool)).size());
            EXPECT_EQ(ReadWholeFile(dir_.File(port + grid)).size(),
                      ReadWholeFile(dir_.File(port + tool)).size());
        }
    }
}

TEST_F(ConvertTool, ErrorsAreOneLineAndLeaveNoFile) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 3, kFfv1);
    const std::string empty = dir_.File("empty.avi");
    WriteVideo(empty, 0, kFfv1);
    WriteWholeFile(dir_.File("notes.txt"), "not a layout");
    WriteWholeFile(dir_.File("blank.quor"), std::string(600, '\0'));
    WriteWholeFile(dir_.File("broken.mp4"), std::string(4000, 'x'));
    // A good file from an earlier run must survive every failure.
    WriteWholeFile(dir_.File("PORT-1-show.led"), "earlier");
    std::filesystem::create_directory(dir_.File("PORT-1-dir.led"));
    const std::vector<std::string> before = OtherFiles(dir_.path(), {});

    const std::string target = dir_.File("show.led");
    const struct Case {
        std::string args;
        std::string named;  // the file the error line names
    } cases[] = {
        {project_ + " " + dir_.File("missing.avi") + " " + target, dir_.File("missing.avi")},
        {project_ + " " + empty + " " + target, empty},
        {project_ + " " + dir_.File("broken.mp4") + " " + target, dir_.File("broken.mp4")},
        {dir_.File("notes.txt") + " " + video + " " + target, dir_.File("notes.txt")},
        {dir_.File("gone.quor") + " " + video + " " + target, dir_.File("gone.quor")},
        {dir_.File("blank.quor") + " " + video + " " + target, dir_.File("blank.quor")},
        {project_ + " " + video + " " + dir_.File("no/such/dir/show.led"),
         dir_.File("no/such/dir/PORT-1-show.led")},
        {project_ + " " + video + " " + dir_.File("dir.led"), dir_.File("PORT-1-dir.led")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = RunConvert("--progress none " + c.args, dir_.path());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.error.rfind("quorvane-convert: " + c.named + ": ", 0), 0u) << run.error;
        EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << run.error;
        EXPECT_EQ(ReadWholeFile(dir_.File("PORT-1-show.led")), "earlier");
        EXPECT_EQ(OtherFiles(dir_.path(), before),
                  (std::vector<std::string>{"quorvane-convert.err", "quorvane-convert.out"}));
    }
}

TEST_F(ConvertTool, BadUsageExitsTwoAndHelpExitsZero) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 2, kFfv1);
    const std::string files = " " + project_ + " " + video + " " + dir_.File("show.led");
    const char* const bad[] = {"--order XYZ",
                               "--order rgb",
                               "--brightness 1,2",
                               "--brightness 256,0,0",
                               "--black a,b,c",
                               "--black 1,2,3,4",
                               "--resize 0x10",
                               "--resize 10x",
                               "--resize 10x10:fast",
                               "--progress sometimes",
                               "--frobnicate",
                               "--gamma 0",
                               "--gamma 2,2",
                               "--gamma x",
                               "--white 100,100",
                               "--white 101,0,0",
                               "--sample line",
                               "--limit-amps 0",
                               "--ma-per-channel -1",
                               "--volts x",
                               "--format mp4",
                               "--step-ms 40",
                               "--fseq-compression none"};
    for (const char* option : bad) {
        const ToolRun run = RunConvert(std::string(option) + files, dir_.path());
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_EQ(run.error.rfind("quorvane-convert: ", 0), 0u) << option << ": " << run.error;
    }
    EXPECT_EQ(RunConvert(project_ + " " + video, dir_.path()).status, 2);
    EXPECT_EQ(RunConvert("--progress none" + files + " extra", dir_.path()).status, 2);
    EXPECT_TRUE(ControllerFiles(dir_.path(), "show.led").empty());

    const ToolRun help = RunConvert("--help", dir_.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("LAYOUT"), std::string::npos);
    EXPECT_NE(help.output.find("--resize"), std::string::npos);
    const ToolRun version = RunConvert("--version", dir_.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("quorvane-convert ", 0), 0u);

    // Standard error is a file here: auto gives a plain line every 5 %.
    const ToolRun plain = RunConvert("--progress auto" + files, dir_.path());
    ASSERT_EQ(plain.status, 0) << plain.error;
    EXPECT_EQ(plain.error.rfind("quorvane-convert: 50% (1 of 2 frames, ", 0), 0u) << plain.error;
    EXPECT_NE(plain.error.find("\nquorvane-convert: 100% (2 of 2 frames, "), std::string::npos);
    EXPECT_EQ(std::count(plain.error.begin(), plain.error.end(), '\n'), 2);
    // A bar redraws one line in place and ends it.
    const ToolRun bar = RunConvert("--progress bar" + files, dir_.path());
    ASSERT_EQ(bar.status, 0) << bar.error;
    EXPECT_EQ(bar.error.rfind("\r[", 0), 0u) << bar.error;
    EXPECT_NE(bar.error.find("] 100% 2/2 frames "), std::string::npos) << bar.error;
    EXPECT_EQ(std::count(bar.error.begin(), bar.error.end(), '\n'), 1);
    EXPECT_EQ(bar.error.back(), '\n');
}

// --sample point (given explicitly) keeps the default's frames; --sample
// area gives the core's footprint means; the power report holds the amps of
// the values in the files (after the colour steps), and under --limit-amps
// no port of any frame draws more than the limit.
TEST_F(ConvertTool, SampleAndPowerOptions) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 6, kFfv1);
    const std::string colour = "--progress none --order GRB --brightness 60,100,80 --black 3,0,0 ";
    const auto convert = [&](const std::string& options, const std::string& name) {
        const ToolRun run = RunConvert(
            colour + options + " " + project_ + " " + video + " " + dir_.File(name), dir_.path());
        EXPECT_EQ(run.status, 0) << options << ": " << run.error;
        return run;
    };
    convert("", "plain.led");
    convert("--sample point", "point.led");
    const ToolRun area =
        convert("--sample area --power-report " + dir_.File("area.csv") + " --ma-per-channel 30",
                "area.led");
    const ToolRun limited = convert(
        "--sample area --limit-amps 0.15 --volts 12 --power-report " + dir_.File("limited.csv"),
        "limited.led");
    EXPECT_EQ(area.output.rfind("6 frames converted; power: peak ", 0), 0u) << area.output;
    EXPECT_NE(limited.output.find(" frames limited\n"), std::string::npos) << limited.output;

    // The core's area path over the same frames.
    ColorSettings color = {int(ColorOrder::GRB), {60, 100, 80}, {3, 0, 0}};
    LedParts parts;
    BuildLedParts(color, parts);
    std::unique_ptr<LedMap> map(new LedMap());
    std::unique_ptr<LedFootprints> footprints(new LedFootprints());
    const uint32_t positions = 20;  // the longest chain
    std::vector<std::vector<uint8_t>> expected[kPortCount];
    cv::VideoCapture capture(video);
    cv::Mat frame;
    while (capture.read(frame)) {
        std::vector<uint8_t> bytes(size_t(kPortCount) * positions * 3);
        uint8_t* out[kPortCount];
        for (int port = 0; port < kPortCount; ++port)
            out[port] = bytes.data() + size_t(port) * positions * 3;
        UpdateLedMap(map.get(), frame.cols, frame.rows);
        UpdateLedFootprints(footprints.get(), *map);
        AreaFrameLeds(*footprints, frame.ptr<uint8_t>(0), parts, positions, out);
        for (int port = 0; port < kPortCount; ++port)
            expected[port].emplace_back(out[port], out[port] + positions * 3);
    }

    // A frame all zero in a file decodes empty.
    const auto sums = [](const std::vector<std::vector<uint8_t>>& frames, uint32_t leds) {
        std::vector<uint64_t> out;
        for (const auto& bytes : frames) {
            uint64_t sum = 0;
            for (size_t k = 0; k < bytes.size() && k < leds * 3; ++k) sum += bytes[k];
            out.push_back(sum);
        }
        return out;
    };
    const int ports[] = {1, 2, 5, 10, 256};
    std::string report =
        "port,leds,peak_amps,peak_frame,mean_amps,peak_watts,mean_watts,limited_frames\n";
    bool differs = false;
    for (const int port : ports) {
        const std::string name = "PORT-" + std::to_string(port) + "-";
        const auto plain = PlainFrames(dir_.File(name + "plain.led"));
        EXPECT_EQ(FirstDifference(PlainFrames(dir_.File(name + "point.led")), plain), "") << port;
        auto sampled = PlainFrames(dir_.File(name + "area.led"));
        ASSERT_EQ(sampled.size(), expected[port - 1].size()) << port;
        for (size_t f = 0; f < sampled.size(); ++f)
            if (sampled[f].empty()) sampled[f].assign(expected[port - 1][f].size(), 0);
        EXPECT_EQ(FirstDifference(sampled, expected[port - 1]), "") << port;
        differs = differs || sampled != plain;
        // The report's row from the file's own bytes.
        const uint32_t leds = ChainLength(port - 1);
        uint64_t peak = 0, total = 0;
        int peakFrame = 0;
        const std::vector<uint64_t> frameSums = sums(sampled, leds);
        for (size_t f = 0; f < frameSums.size(); ++f) {
            if (frameSums[f] > peak) peak = frameSums[f], peakFrame = int(f);
            total += frameSums[f];
        }
        char row[160];
        std::snprintf(row, sizeof row, "%d,%u,%.3f,%d,%.3f,%.2f,%.2f,0\n", port, leds,
                      peak * 0.03 / 255, peakFrame, total * 0.03 / 255 / 6, peak * 0.15 / 255,
                      total * 0.15 / 255 / 6);
        report += row;
        for (const uint64_t sum : sums(PlainFrames(dir_.File(name + "limited.led")), leds))
            EXPECT_LE(sum * 0.02 / 255, 0.15) << port;
    }
    EXPECT_TRUE(differs);
    const std::string written = ReadWholeFile(dir_.File("area.csv"));
    EXPECT_EQ(written.substr(0, report.size()), report);
    EXPECT_EQ(written.rfind("\nall,") + 1, report.size()) << written;
    // Port 1's 20 LEDs draw more than 0.15 A in every frame of random values.
    const std::string limits = ReadWholeFile(dir_.File("limited.csv"));
    const size_t row = limits.find("\n1,20,");
    ASSERT_NE(row, std::string::npos) << limits;
    const std::string line = limits.substr(row + 1, limits.find('\n', row + 1) - row - 1);
    EXPECT_EQ(line.substr(line.rfind(',') + 1), "6") << limits;
}

// A controller file reached through a symbolic link is written through it:
// the link stays, its target gets the new file.
TEST_F(ConvertTool, LinkedFileIsWrittenThrough) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 2, kFfv1);
    std::filesystem::create_directory(dir_.File("stage"));
    WriteWholeFile(dir_.File("stage/port1.led"), "earlier");
    std::filesystem::create_symlink("stage/port1.led", dir_.File("PORT-1-show.led"));
    const ToolRun run = RunConvert(
        "--progress none " + project_ + " " + video + " " + dir_.File("show.led"), dir_.path());
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("PORT-1-show.led")));
    DecodedControllerFile decoded;
    std::string error;
    ASSERT_TRUE(DecodeControllerFile(dir_.File("stage/port1.led").c_str(), &decoded, &error))
        << error;
    EXPECT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(OtherFiles(dir_.File("stage"), {}), std::vector<std::string>{"port1.led"});
}

// A run stopped half-way, or failing at a file, aborts its output: the
// error names the file and the cause, the temporary files are removed and
// the earlier files stay as they were.
int g_pwriteCalls;
ssize_t PwriteFailingAfterSix(int fd, const void* data, size_t size, off_t offset) {
    if (++g_pwriteCalls > 6) {
        errno = ENOSPC;
        return -1;
    }
    return pwrite(fd, data, size, offset);
}
int RenameRefused(const char*, const char*) {
    errno = EACCES;
    return -1;
}

// --format fseq: one sequence whose channels are exactly the LED values of
// the controller files of the same conversion (the used ports ascending,
// each port's LEDs in chain order), plain and zstd, read back through our
// reader and without it; with and without calibration, which gamma 1 and
// white 100 % leave byte for byte as they are.
TEST_F(ConvertTool, SequenceHoldsTheValuesOfTheControllerFiles) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 23, kFfv1);
    const std::vector<int> ports = {0, 1, 4, 9, 255};  // BuildLayout's ports
    const char* const colours[] = {
        "--order GRB --brightness 90,100,200 --black 3,0,9",
        "--order BGR --gamma 2.2 --white 100,90,80",
        "--order BGR --gamma 1 --white 100,100,100",
        "--order BGR",
    };
    std::vector<std::vector<FseqBytes>> sequences;  // per colour case, the zstd frames
    int n = 0;
    for (const char* colour : colours) {
        SCOPED_TRACE(colour);
        const std::string name = "led" + std::to_string(n) + ".led";
        const std::string common =
            std::string(colour) + " --progress none " + project_ + " " + video + " ";
        ToolRun run = RunConvert(common + dir_.File(name), dir_.path());
        ASSERT_EQ(run.status, 0) << run.error;
        // The frames as the sequence must hold them, and its channel map.
        std::vector<FseqBytes> expected(23);
        std::string map = "port,first_channel,led_count\n";
        int first = 1;
        for (int port : ports) {
            map += std::to_string(port + 1) + "," + std::to_string(first) + "," +
                   std::to_string(ChainLength(port)) + "\n";
            first += 3 * ChainLength(port);
        }
        for (int port : ports) {
            const auto frames =
                PlainFrames(dir_.File("PORT-" + std::to_string(port + 1) + "-" + name));
            ASSERT_EQ(frames.size(), 23u);
            for (size_t f = 0; f < 23; ++f)
                expected[f].insert(expected[f].end(), frames[f].begin(),
                                   frames[f].begin() + 3 * ChainLength(port));
        }
        for (const char* compression : {"none", "zstd"}) {
            SCOPED_TRACE(compression);
            const std::string target =
                dir_.File("seq" + std::to_string(n) + "-" + compression + ".fseq");
            run = RunConvert("--format fseq --fseq-compression " + std::string(compression) + " " +
                                 common + target,
                             dir_.path());
            ASSERT_EQ(run.status, 0) << run.error;
            EXPECT_EQ(run.error, "");
            const FseqBytes file = ReadFileBytes(target);
            const FseqReadBack back = ReadFseq(file);
            ASSERT_EQ(back.error, "");
            EXPECT_EQ(back.info.header.channelCount, expected[0].size());
            EXPECT_EQ(back.info.header.stepMs, 40);  // 25 frames per second
            ASSERT_EQ(back.info.variables.size(), 2u);
            EXPECT_EQ(back.info.variables[0].data, "clip.avi");
            std::string problem;
            const std::vector<FseqBytes> direct = ReadFseqDirectly(file, &problem);
            EXPECT_EQ(problem, "");
            // And as the show player reads it, its cut of every block included.
            const std::vector<FseqBytes> played = ReadFseqAsPlayer(file, &problem);
            EXPECT_EQ(problem, "");
            ASSERT_EQ(back.frames.size(), 23u);
            ASSERT_EQ(direct.size(), 23u);
            ASSERT_EQ(played.size(), 23u);
            for (size_t f = 0; f < 23; ++f) {
                ASSERT_EQ(back.frames[f], expected[f]) << "frame " << f;
                ASSERT_EQ(direct[f], expected[f]) << "frame " << f;
                ASSERT_EQ(played[f], expected[f]) << "frame " << f;
            }
            EXPECT_EQ(ReadWholeFile(target + ".channels.csv"), map);
            if (compression[0] == 'z') sequences.push_back(back.frames);
        }
        ++n;
    }
    EXPECT_NE(sequences[1], sequences[3]) << "the calibration changes values";
    EXPECT_EQ(sequences[2], sequences[3]) << "gamma 1, white 100 % change nothing";

    // --step-ms sets the step time; a TARGET of another kind is a usage error.
    const std::string files = " --progress none " + project_ + " " + video + " ";
    ToolRun run =
        RunConvert("--format fseq --step-ms 25" + files + dir_.File("s.fseq"), dir_.path());
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ReadFileBytes(dir_.File("s.fseq"))[18], 25);
    run = RunConvert("--format fseq" + files + dir_.File("s.led"), dir_.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.error.find("must end in .fseq"), std::string::npos) << run.error;
    // A failure names the file, leaves no temporary file and replaces nothing.
    WriteWholeFile(dir_.File("s.fseq"), "earlier");
    run = RunConvert(
        "--format fseq" + files.substr(0, files.size() - 1) + " " + dir_.File("gone/s.fseq"),
        dir_.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error.rfind("quorvane-convert: " + dir_.File("gone/s.fseq") + ": ", 0), 0u)
        << run.error;
    EXPECT_EQ(ReadWholeFile(dir_.File("s.fseq")), "earlier");
}

TEST_F(ConvertTool, StoppedOrFailedRunLeavesNoFileAndReplacesNone) {
    const std::string video = dir_.File("clip.avi");
    WriteVideo(video, 6, kFfv1);
    HeaderView view = {};
    OpenFile(project_.c_str(), view);
    WriteWholeFile(dir_.File("PORT-1-show.led"), "earlier");
    const std::vector<std::string> before = OtherFiles(dir_.path(), {});

    struct Context {
        std::atomic<bool> stop;
        std::vector<std::string> midway;
        std::string dir;
    };
    const auto stopAtThree = [](void* raw, int32_t done, int32_t) {
        Context* c = static_cast<Context*>(raw);
        if (done != 3) return;
        c->midway = OtherFiles(c->dir, {});
        c->stop.store(true);
    };
    const struct Case {
        const char* name;
        bool stop;
        ssize_t (*pwrite)(int, const void*, size_t, off_t);
        int (*rename)(const char*, const char*);
        int32_t done;
        std::string error;
    } cases[] = {
        {"stopped", true, nullptr, nullptr, 3, video + ": stopped"},
        // Five headers and the first port's frames go in; the second port's fail.
        {"disk full", false, PwriteFailingAfterSix, nullptr, 6,
         dir_.File("PORT-2-show.led") + ": cannot write the file (No space left on device)"},
        {"rename refused", false, nullptr, RenameRefused, 6,
         dir_.File("PORT-1-show.led") + ": cannot replace the file (Permission denied)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_pwriteCalls = 0;
        if (c.pwrite != nullptr) CurrentFileSyscalls().pwrite = c.pwrite;
        if (c.rename != nullptr) CurrentFileSyscalls().rename = c.rename;
        ControllerFileSink* files = new ControllerFileSink();
        SetControllerFileTarget(files, dir_.File("show.led").c_str());
        OutputSink sink = ControllerFileOutput(files);
        Context context;
        context.stop.store(false);
        context.dir = dir_.path();
        ConversionSettings settings = {};
        settings.color = {int(ColorOrder::RGB), {100, 100, 100}, {0, 0, 0}};
        std::string error;
        int32_t done = 0;
        EXPECT_FALSE(RunConversion(video.c_str(), settings, sink, c.stop ? +stopAtThree : nullptr,
                                   &context, &context.stop, &error, &done));
        ResetFileSyscalls();
        delete files;
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(error, c.error);
        if (c.stop) {
            EXPECT_EQ(context.midway.size(), before.size() + 5);  // one per port
        }
        EXPECT_EQ(OtherFiles(dir_.path(), before), std::vector<std::string>{});
        EXPECT_EQ(ReadWholeFile(dir_.File("PORT-1-show.led")), "earlier");
    }
}

}  // namespace
