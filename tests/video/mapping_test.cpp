// The pixel walk against a plain row-by-row walk over the picture that
// stores every occupied cell it meets through StoreLedValue: the grid
// colours and the stored bytes must be the same, also for cells that share
// an LED, LEDs that share a cell, dark LEDs, LEDs outside the picture, and
// after the layout changed between two frames.
#include "video/mapping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/core.hpp>
#include <vector>

#include "convert/color.h"
#include "convert/led_map.h"
#include "model/layout.h"
#include "platform/sys_fake.h"
#include "support/edits.h"
#include "support/store_led_value.h"
#include "support/test_support.h"
#include "support/whole_video_export.h"
#include "video/video.h"

namespace {

void ReferenceWalk(const cv::Mat& frame, int32_t frameIndex) {
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const GridCell& cell = CellAt(x, kGridMax - y);
            if (cell.occupied != 1) continue;
            const cv::Vec3b bgr = frame.at<cv::Vec3b>(y, x);
            const uint8_t rgb[3] = {bgr[2], bgr[1], bgr[0]};
            StoreLedValue(cell.port, frameIndex, cell.index, rgb);
        }
}

void LoadChain(int port, std::initializer_list<ChainPoint> points) {
    const std::vector<ChainPoint> chain(points);
    InstallLoadedChain(port, ChainColor(port), chain.data(), uint16_t(chain.size()),
                       int(chain.size()));
}

// Frame `frameIndex` of every prepared buffer equals frame `frameIndex` + 1.
void ExpectSameStoredFrames(int32_t frameIndex) {
    const ExportState& state = CurrentExport();
    for (int port = 0; port < kPortCount; ++port) {
        if (!state.prepared[port]) continue;
        const uint8_t* first =
            state.buffer[port] + kControllerHeaderSize + size_t(frameIndex) * state.frameStride;
        EXPECT_EQ(std::memcmp(first, first + state.frameStride, state.frameLength), 0)
            << "port " << port << ", frame " << frameIndex;
    }
}

void ExpectPainted(const cv::Mat& frame) {
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const cv::Vec3b bgr = frame.at<cv::Vec3b>(y, x);
            ASSERT_EQ(CellColor(x, kGridMax - y), uint32_t(bgr[2] << 16 | bgr[1] << 8 | bgr[0]))
                << x << "," << y;
        }
}

// LEDs inside and outside the picture, cells named twice, a cell taken
// over by another port, dark LEDs.
void BuildMixedLayout() {
    constexpr int kTop = kGridMax;
    // Port 0: a row inside and a column reaching below the picture.
    for (int x = 0; x < 30; ++x) AddLed(0, {uint16_t(x), uint16_t(kTop - 2)});
    for (int y = 15; y < 30; ++y) AddLed(0, {5, uint16_t(kTop - y)});
    // Port 1: one cell named twice in the chain (it names position 2).
    LoadChain(1, {{1, kTop}, {2, kTop - 1}, {1, kTop}});
    // Port 2: one LED, in an earlier row than port 1's.
    LoadChain(2, {{3, kTop - 7}});
    // Port 3 takes over a cell of port 0.
    LoadChain(3, {{10, kTop - 2}, {36, kTop - 22}});
    // Port 4: dark LEDs in the middle.
    for (int x = 0; x < 12; ++x) AddLed(4, {uint16_t(x), uint16_t(kTop - 9)});
    SetActiveRange(4, 3, 6, 0);
}

TEST(MappingWalk, StoresWhatARowByRowWalkStores) {
    ResetRunState();
    ResetVideoState();
    ScopedTempDir dir;
    constexpr int kTop = kGridMax;
    BuildMixedLayout();
    CellColorColumn(40)[kTop] = 0x123456;

    SetColorSettings({int(ColorOrder::BRG), {90, 100, 150}, {4, 0, 2}});
    FakeSys_QueueSaveAnswer(dir.File("walk.led"));
    ASSERT_TRUE(PrepareExport(4));

    cv::Mat frame(23, 37, CV_8UC3);
    cv::randu(frame, 0, 256);
    // Every colour order, and 6 (black).
    for (int order = int(ColorOrder::RGB); order <= 6; ++order) {
        SetColorSettings({order, {90, 100, 150}, {4, 0, 2}});
        MapFrameOntoGrid(frame);
        StoreFrameInExport(frame, 0);
        ReferenceWalk(frame, 1);
        ExpectSameStoredFrames(0);
    }
    // Calibration folds into the same per-frame tables.
    ColorSettings calibrated = {int(ColorOrder::GRB), {90, 100, 150}, {4, 0, 2}};
    calibrated.gamma[1] = 2.2;
    calibrated.white[0] = 80;
    SetColorSettings(calibrated);
    MapFrameOntoGrid(frame);
    StoreFrameInExport(frame, 0);
    ReferenceWalk(frame, 1);
    ExpectSameStoredFrames(0);
    ExpectPainted(frame);
    EXPECT_EQ(CellColor(40, kTop), 0x123456u);

    // The layout changes before the next frame: a new LED, an undone chain.
    AddLed(0, {30, kTop - 4});
    UndoChain(1);
    cv::randu(frame, 0, 256);
    MapFrameOntoGrid(frame);
    StoreFrameInExport(frame, 2);
    ReferenceWalk(frame, 3);
    ExpectSameStoredFrames(2);
    ExpectPainted(frame);

    ResetVideoState();
    ResetLayoutModel();
}

// The LED map gives every port the bytes the painting walk stores, for
// frames smaller and larger than the layout and after a layout change.
TEST(LedMap, GivesTheBytesThePaintingWalkStores) {
    ResetRunState();
    ResetVideoState();
    ScopedTempDir dir;
    BuildMixedLayout();
    FakeSys_QueueSaveAnswer(dir.File("map.led"));
    ASSERT_TRUE(PrepareExport(1));
    const ExportState& state = CurrentExport();
    const uint32_t positions = state.frameLength / 3;
    std::vector<uint8_t> values(size_t(kPortCount) * state.frameLength);
    uint8_t* out[kPortCount];
    for (int port = 0; port < kPortCount; ++port)
        out[port] =
            state.prepared[port] ? values.data() + size_t(port) * state.frameLength : nullptr;
    LedMap* map = new LedMap();
    const struct {
        int width, height;
        bool changeLayout;
    } cases[] = {{37, 23, false}, {6, 3, false}, {2100, 40, false}, {31, 8, true}, {1, 1, false}};
    int order = int(ColorOrder::RGB);
    for (const auto& c : cases) {
        if (c.changeLayout) {
            AddLed(0, {30, kGridSide - 5});
            UndoChain(1);
        }
        const ColorSettings settings = {order, {90, 100, 150}, {4, 0, 2}};
        order = (order + 1) % 7;
        SetColorSettings(settings);
        cv::Mat frame(c.height, c.width, CV_8UC3);
        cv::randu(frame, 0, 256);
        for (int port = 0; port < kPortCount; ++port)
            if (state.prepared[port])
                std::memset(state.buffer[port] + kControllerHeaderSize, 0, state.frameLength);
        MapFrameOntoGrid(frame);
        StoreFrameInExport(frame, 0);
        uint32_t parts[3][256];
        BuildLedParts(settings, parts);
        EXPECT_EQ(UpdateLedMap(map, c.width, c.height), true);
        EXPECT_EQ(UpdateLedMap(map, c.width, c.height), false);  // kept while nothing changes
        MapFrameLeds(*map, frame.ptr<uint8_t>(0), parts, positions, out);
        for (int port = 0; port < kPortCount; ++port) {
            if (!state.prepared[port]) continue;
            EXPECT_EQ(std::memcmp(out[port], state.buffer[port] + kControllerHeaderSize,
                                  state.frameLength),
                      0)
                << "port " << port << ", frame " << c.width << "x" << c.height;
        }
    }
    delete map;
    ResetVideoState();
    ResetLayoutModel();
}

}  // namespace
