// The layout record, putting pieces onto ports, the checks, and the
// layout model read back as a layout.
#include "layouts/layouts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "layouts/layouts_internal.h"

namespace {

const uint8_t kPalette[8][3] = {
    {255, 64, 64},  {64, 220, 64}, {64, 160, 255}, {255, 220, 0},
    {230, 64, 230}, {0, 220, 220}, {255, 140, 0},  {255, 255, 255},
};

// The mark of a cell: 0 free, otherwise port * 2048 + index + 1.
constexpr uint32_t kFree = 0;
constexpr int kSmallLayout = 65536;  // LEDs

struct LedRef {
    uint32_t line;
    uint16_t port;
    uint16_t index;
};

// The colour a port gets when a piece fills it: a fixed palette by port.
void DefaultPortColor(int port, uint8_t out[3]) {
    std::memcpy(out, kPalette[port % 8], 3);
}

// " (<source>:<line>)", " (<source> <entry name> <entry>)" or " (<source>)".
std::string LedSource(const std::string& source, const std::string& entryName,
                      const PlacedLed& led) {
    if (led.line != 0) return " (" + source + ":" + std::to_string(led.line) + ")";
    if (!entryName.empty())
        return " (" + source + " " + entryName + " " + std::to_string(led.entry) + ")";
    return " (" + source + ")";
}

// "LED <index + 1> of port <port + 1>".
std::string LedName(int port, size_t index) {
    return "LED " + std::to_string(index + 1) + " of port " + std::to_string(port + 1);
}

bool CheckLayout(const Layout& layout, std::string* error);

}  // namespace

void ClearLayout(Layout* layout) {
    for (int port = 0; port < kPortCount; ++port) {
        layout->ports[port].clear();
        DefaultPortColor(port, layout->colors[port]);
        layout->sources[port].clear();
        layout->entryNames[port].clear();
    }
}

std::string LedWhere(const std::string& source, const std::string& entryName,
                     const PlacedLed& led) {
    if (led.line != 0) return source + ":" + std::to_string(led.line) + ": ";
    if (!entryName.empty())
        return source + ": " + entryName + " " + std::to_string(led.entry) + ": ";
    return source + ": ";
}

std::string CellText(int64_t x, int64_t y) {
    return "cell (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

PlacedLed PlaceLed(const Placement& place, double column, double row, uint32_t line) {
    // Far beyond the grid is as good as any value off it, and keeps the
    // arithmetic in range.
    auto cells = [&](double v) {
        double scaled = v * place.scale;
        if (!(std::fabs(scaled) < 1e9)) scaled = scaled < 0 ? -1e9 : 1e9;
        return int64_t(std::llround(scaled)) * place.pitch;
    };
    int64_t originX = place.originGiven ? place.originX : 0;
    int64_t originY = place.originGiven ? place.originY : (place.yUp ? kGridMax : 0);
    int64_t x = originX + cells(column);
    int64_t y = place.yUp ? originY - cells(row) : originY + cells(row);
    return {x, y, line};
}

bool AddPiece(const LayoutPiece& piece, int firstPort, int ledsPerPort, Layout* layout,
              std::string* error) {
    Layout next = *layout;
    int cursor = firstPort;
    for (const PieceChain& chain : piece.chains) {
        if (chain.port >= 0) {
            std::vector<PlacedLed>& target = next.ports[chain.port];
            if (!target.empty()) {
                const PlacedLed first = chain.leds.empty() ? PlacedLed{0, 0, 0} : chain.leds[0];
                *error = LedWhere(piece.source, piece.entryName, first) + "port " +
                         std::to_string(chain.port + 1) + " already holds " +
                         std::to_string(target.size()) + " LEDs (" + next.sources[chain.port] + ")";
                return false;
            }
            target = chain.leds;
            next.sources[chain.port] = piece.source;
            next.entryNames[chain.port] = piece.entryName;
            DefaultPortColor(chain.port, next.colors[chain.port]);
            continue;
        }
        int port = -1;
        for (size_t i = 0; i < chain.leds.size(); ++i) {
            if (port < 0 || int(next.ports[port].size()) >= ledsPerPort) {
                while (cursor < kPortCount && !next.ports[cursor].empty()) ++cursor;
                if (cursor >= kPortCount) {
                    *error = LedWhere(piece.source, piece.entryName, chain.leds[i]) +
                             "no free port left for " + CellText(chain.leds[i].x, chain.leds[i].y) +
                             " (a layout has at most 256 ports of at most " +
                             std::to_string(ledsPerPort) + " LEDs here)";
                    return false;
                }
                port = cursor;
                next.sources[port] = piece.source;
                next.entryNames[port] = piece.entryName;
                DefaultPortColor(port, next.colors[port]);
            }
            next.ports[port].push_back(chain.leds[i]);
        }
    }
    if (!CheckLayout(next, error)) return false;
    for (int port = 0; port < kPortCount; ++port) layout->ports[port].swap(next.ports[port]);
    std::memcpy(layout->colors, next.colors, sizeof next.colors);
    for (int port = 0; port < kPortCount; ++port) {
        layout->sources[port].swap(next.sources[port]);
        layout->entryNames[port].swap(next.entryNames[port]);
    }
    return true;
}

namespace {

// At most 2048 LEDs a port, every LED on the grid, no two LEDs on one cell.
// The LED named is the first offender: of LEDs without a source line by port
// and chain position, then of the others by line.
bool CheckLayout(const Layout& layout, std::string* error) {
    for (int port = 0; port < kPortCount; ++port) {
        const std::vector<PlacedLed>& leds = layout.ports[port];
        if (leds.size() > size_t(kChainCapacity)) {
            *error = LedWhere(layout.sources[port], layout.entryNames[port], leds[kChainCapacity]) +
                     "port " + std::to_string(port + 1) + " gets more than 2048 LEDs";
            return false;
        }
    }
    // The LEDs in the order the offender is looked for: those without a line
    // (an opened project, a generated piece, a model) by port and chain, then
    // the others in the order of their lines, so the first bad line is named.
    std::vector<LedRef> order;
    order.reserve(size_t(LayoutLedCount(layout)));
    bool lines = false;
    for (int port = 0; port < kPortCount; ++port) {
        const std::vector<PlacedLed>& leds = layout.ports[port];
        for (size_t i = 0; i < leds.size(); ++i) {
            order.push_back({leds[i].line, uint16_t(port), uint16_t(i)});
            lines = lines || leds[i].line != 0;
        }
    }
    if (lines)
        std::stable_sort(order.begin(), order.end(),
                         [](const LedRef& a, const LedRef& b) { return a.line < b.line; });

    // The marks of the cells taken so far: one per grid cell for a large
    // layout, a map for a small one, where clearing 16 MB would cost more
    // than the whole check.
    const bool small = order.size() < size_t(kSmallLayout);
    std::vector<uint32_t> grid(small ? 0 : size_t(kGridSide) * kGridSide, kFree);
    std::unordered_map<uint32_t, uint32_t> taken;
    auto mark = [&](size_t key) -> uint32_t& { return small ? taken[uint32_t(key)] : grid[key]; };
    for (const LedRef& ref : order) {
        const int port = ref.port;
        const PlacedLed& led = layout.ports[port][ref.index];
        const std::string& source = layout.sources[port];
        const std::string& entryName = layout.entryNames[port];
        if (led.x < 0 || led.x > kGridMax || led.y < 0 || led.y > kGridMax) {
            *error = LedWhere(source, entryName, led) + CellText(led.x, led.y) + " of " +
                     LedName(port, ref.index) + " is off the 2048 x 2048 grid";
            return false;
        }
        uint32_t& cell = mark(size_t(led.x) * kGridSide + size_t(led.y));
        if (cell != kFree) {
            const int otherPort = int((cell - 1) / kChainCapacity);
            const size_t otherIndex = (cell - 1) % kChainCapacity;
            const PlacedLed& other = layout.ports[otherPort][otherIndex];
            *error = LedWhere(source, entryName, led) + CellText(led.x, led.y) + " of " +
                     LedName(port, ref.index) + " already holds " + LedName(otherPort, otherIndex) +
                     LedSource(layout.sources[otherPort], layout.entryNames[otherPort], other);
            return false;
        }
        cell = uint32_t(port) * kChainCapacity + uint32_t(ref.index) + 1;
    }
    return true;
}

}  // namespace

int LayoutLedCount(const Layout& layout) {
    int count = 0;
    for (const auto& leds : layout.ports) count += int(leds.size());
    return count;
}

int LayoutPortCount(const Layout& layout) {
    int count = 0;
    for (const auto& leds : layout.ports) count += leds.empty() ? 0 : 1;
    return count;
}

void LayoutFromModel(const std::string& source, Layout* layout) {
    ClearLayout(layout);
    for (int port = 0; port < kPortCount; ++port) {
        const uint16_t count = ChainLength(port);
        if (count == 0) continue;
        const ChainPoint* points = CurrentPoints(port);
        std::vector<PlacedLed>& leds = layout->ports[port];
        leds.resize(count);
        for (int i = 0; i < count; ++i)
            leds[i] = {int64_t(points[i].x), int64_t(kGridMax) - int64_t(points[i].y), 0};
        std::memcpy(layout->colors[port], ChainColor(port), 3);
        layout->sources[port] = source;
    }
}
