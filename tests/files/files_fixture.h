// Shared fixture of the layout-file tests: a fresh run state in a temporary
// working directory, the ports reported as loaded, the window's view as the
// dispatcher keeps it, and small builders for chain files, project headers
// and .iql files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/common.h"
#include "common/report.h"
#include "files/chain_file.h"
#include "files/file_formats.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "platform/sys_fake.h"
#include "support/edits.h"
#include "support/test_support.h"

inline std::vector<uint16_t>& LoadedPorts() {
    static std::vector<uint16_t> ports;
    return ports;
}

// The window's view, handed to the files as the dispatcher hands it.
inline HeaderView& TestView() {
    static HeaderView view;
    return view;
}
inline const HeaderView& View() {
    return TestView();
}
inline void SetView(int32_t cellSize, uint16_t scrollX, uint16_t scrollY) {
    TestView() = {cellSize, scrollX, scrollY};
}
inline void OpenFile(const char* path) {
    OpenFile(path, TestView());
}
inline void SaveProject(const char* path) {
    SaveProject(path, TestView());
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }
    // Everything as at process start, watching the ports reported as loaded.
    static void Restart() {
        ResetRunState();
        LoadedPorts().clear();
        SetView(16, 0, kGridMax);
        SetReportHook({[](uint16_t port) { LoadedPorts().push_back(port); }, nullptr});
    }
    void TearDown() override { ResetRunState(); }
    ScopedTempDir dir;
};

inline std::string Bytes(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline std::string ChainFileBytes(uint16_t port, const std::vector<ChainPoint>& points,
                                  uint8_t r = 1, uint8_t g = 2, uint8_t b = 3) {
    const uint8_t color[3] = {r, g, b};
    return Bytes(BuildChainFile(color, port, points.data(), uint16_t(points.size())));
}

// A project header with the given port flags and raw view fields.
inline std::string HeaderBytes(const std::vector<int>& ports, uint16_t x, uint16_t y,
                               uint8_t cell) {
    ProjectHeader header = {};
    for (int port : ports) SetHeaderPortFlag(header, port, true);
    SetHeaderView(header, x, y, cell);
    return std::string(reinterpret_cast<const char*>(header.bytes), kProjectHeaderSize);
}

// An encrypted .iql file for a port number, its grid points, and N as stored.
inline std::string IqlBytes(uint16_t portNumber, const std::vector<ChainPoint>& points,
                            int storedCount = -1, uint8_t variation = 0x5A) {
    static ImportRecord record;
    record = {};
    WriteLE16(record.bytes, portNumber);
    WriteLE16(record.bytes + 2, uint16_t(storedCount < 0 ? int(points.size()) : storedCount));
    for (int k = 0; k < 16; ++k)
        record.bytes[kImportKeyVariationOffset + k] = uint8_t(variation + k);
    for (size_t i = 0; i < points.size(); ++i) SetImportLedPoint(record, int(i), points[i]);
    EncryptImportRecord(record);
    return std::string(reinterpret_cast<const char*>(record.bytes), kImportRecordSize);
}

inline std::vector<ChainPoint> CurrentChain(int port) {
    const ChainPoint* points = CurrentPoints(port);
    return std::vector<ChainPoint>(points, points + ChainLength(port));
}

inline bool operator==(const ChainPoint& a, const ChainPoint& b) {
    return a.x == b.x && a.y == b.y;
}
inline std::ostream& operator<<(std::ostream& out, const ChainPoint& p) {
    return out << "(" << p.x << "," << p.y << ")";
}

inline std::vector<uint8_t> Color(int port) {
    const uint8_t* c = ChainColor(port);
    return {c[0], c[1], c[2]};
}

inline std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const FakeBox& box : FakeSys_Boxes()) texts.push_back(box.text);
    return texts;
}
