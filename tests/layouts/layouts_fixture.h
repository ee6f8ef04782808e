// What the layout library's tests share: a layout from a list of ports and
// cells, chains compared cell by cell, and the peers' sample folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "layouts/layouts.h"
#include "support/test_support.h"

struct Cell {
    int64_t x;
    int64_t y;
};

inline std::unique_ptr<Layout> NewLayout() {
    std::unique_ptr<Layout> layout(new Layout);
    ClearLayout(layout.get());
    return layout;
}

// Port number 1..256 and its cells in chain order.
inline void PutChain(Layout* layout, int portNumber, const std::vector<Cell>& cells) {
    for (const Cell& c : cells) layout->ports[portNumber - 1].push_back({c.x, c.y, 0});
    layout->sources[portNumber - 1] = "fixture";
}

inline std::vector<Cell> Cells(const Layout& layout, int portNumber) {
    std::vector<Cell> out;
    for (const PlacedLed& led : layout.ports[portNumber - 1]) out.push_back({led.x, led.y});
    return out;
}

inline void ExpectSameChains(const Layout& expected, const Layout& actual) {
    for (int port = 0; port < kPortCount; ++port) {
        const auto& a = expected.ports[port];
        const auto& b = actual.ports[port];
        ASSERT_EQ(a.size(), b.size()) << "port " << port + 1;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].x, b[i].x) << "port " << port + 1 << " LED " << i + 1;
            EXPECT_EQ(a[i].y, b[i].y) << "port " << port + 1 << " LED " << i + 1;
        }
    }
}

// The folder of the peers' layout samples, or "" when it is not there.
inline std::string SampleFolder() {
    const char* given = std::getenv("QUORVANE_SHARED_DIR");
    const std::string folder =
        std::string(given != nullptr ? given : QUORVANE_SHARED_DIR) + "/samples/layouts";
    return ReadWholeFile(folder + "/xlights_Bat.xmodel").empty() ? std::string() : folder;
}
