// The LED cells listed from the grid marks, and the LED map built from them
// for one frame size.
#include "convert/led_map.h"

#include <algorithm>
#include <cstring>

namespace {

LedCells g_cells;

// A shared LED's cell as a sort key: port, position, picture row, column.
uint64_t SharedLedKey(unsigned port, unsigned position, unsigned row, unsigned x) {
    return uint64_t(port) << 48 | uint64_t(position) << 32 | uint64_t(row) << 16 | x;
}

}  // namespace

const LedCells& ListLedCells() {
    if (g_cells.listed && g_cells.marksVersion == GridMarksVersion()) return g_cells;
    std::fill(&g_cells.cell[0][0], &g_cells.cell[0][0] + kPortCount * kChainCapacity, kNoCell);
    std::fill(g_cells.portEnd, g_cells.portEnd + kPortCount, 0);
    g_cells.shared.clear();
    std::vector<uint32_t> shared;  // port << 16 | position of the LEDs met twice
    for (int x = 0; x < kGridSide; ++x) {
        const GridCell* column = &CellAt(x, 0);
        for (int y = 0; y < kGridSide; ++y) {
            const GridCell& cell = column[y];
            if (cell.occupied != 1 || cell.port >= kPortCount || cell.index >= kChainCapacity)
                continue;
            uint32_t& slot = g_cells.cell[cell.port][cell.index];
            if (slot != kNoCell) shared.push_back(uint32_t(cell.port) << 16 | cell.index);
            slot = uint32_t(kGridSide - 1 - y) << 11 | uint32_t(x);
            g_cells.portEnd[cell.port] =
                std::max(g_cells.portEnd[cell.port], uint16_t(cell.index + 1));
        }
    }
    if (!shared.empty()) {
        // Move every cell of a shared LED to the shared list.
        std::vector<bool> isShared(size_t(kPortCount) * kChainCapacity);
        for (const uint32_t led : shared) {
            g_cells.cell[led >> 16][led & 0xFFFF] = kNoCell;
            isShared[(led >> 16) * kChainCapacity + (led & 0xFFFF)] = true;
        }
        for (int x = 0; x < kGridSide; ++x) {
            const GridCell* column = &CellAt(x, 0);
            for (int y = 0; y < kGridSide; ++y) {
                const GridCell& cell = column[y];
                if (cell.occupied == 1 && cell.port < kPortCount && cell.index < kChainCapacity &&
                    isShared[size_t(cell.port) * kChainCapacity + cell.index])
                    g_cells.shared.push_back(SharedLedKey(
                        cell.port, cell.index, unsigned(kGridSide - 1 - y), unsigned(x)));
            }
        }
        std::sort(g_cells.shared.begin(), g_cells.shared.end());
    }
    g_cells.marksVersion = GridMarksVersion();
    g_cells.listed = true;
    return g_cells;
}

void ResetLedCells() {
    g_cells.listed = false;
    g_cells.shared.clear();
}

bool UpdateLedMap(LedMap* map, int32_t width, int32_t height) {
    const LedCells& cells = ListLedCells();
    if (map->built && map->marksVersion == cells.marksVersion && map->width == width &&
        map->height == height)
        return false;
    // Pixels beyond the 2048 x 2048 grid never reach an LED.
    const unsigned w = unsigned(std::clamp(width, 0, kGridSide));
    const unsigned h = unsigned(std::clamp(height, 0, kGridSide));
    const uint32_t step = uint32_t(std::max(width, 0)) * 3;
    for (int port = 0; port < kPortCount; ++port) {
        const unsigned end = cells.portEnd[port];
        for (unsigned position = 0; position < end; ++position) {
            const uint32_t cell = cells.cell[port][position];
            const unsigned x = cell & 0x7FF, row = cell >> 11;
            map->pixel[port][position] = x < w && row < h ? row * step + x * 3 : kNoPixel;
        }
        std::fill(&map->pixel[port][end], &map->pixel[port][0] + kChainCapacity, kNoPixel);
        map->positions[port] = uint16_t(end);
    }
    // A shared LED takes the last of its cells inside the frame; the keys
    // of one LED are in walk order.
    for (const uint64_t key : cells.shared) {
        const unsigned port = unsigned(key >> 48), position = unsigned(key >> 32 & 0xFFFF);
        const unsigned x = unsigned(key & 0xFFFF), row = unsigned(key >> 16 & 0xFFFF);
        if (x >= w || row >= h) continue;
        map->pixel[port][position] = row * step + x * 3;
        map->positions[port] = std::max(map->positions[port], uint16_t(position + 1));
    }
    map->marksVersion = cells.marksVersion;
    map->width = width;
    map->height = height;
    map->built = true;
    return true;
}

void MapFrameLeds(const LedMap& map, const uint8_t* bgr, const LedParts& parts, uint32_t positions,
                  uint8_t* const values[kPortCount]) {
    for (int port = 0; port < kPortCount; ++port) {
        uint8_t* out = values[port];
        if (out == nullptr) continue;
        const uint8_t* active = ActiveFlags(port);
        const uint32_t mapped = std::min(uint32_t(map.positions[port]), positions);
        const uint32_t* pixel = map.pixel[port];
        for (uint32_t position = 0; position < mapped; ++position, out += 3) {
            uint32_t value = 0;
            const uint32_t offset = pixel[position];
            if (offset != kNoPixel && active[position] == 1) {
                const uint8_t* p = bgr + offset;
                value = parts[0][p[2]] | parts[1][p[1]] | parts[2][p[0]];
            }
            out[0] = uint8_t(value);
            out[1] = uint8_t(value >> 8);
            out[2] = uint8_t(value >> 16);
        }
        std::memset(out, 0, size_t(positions - mapped) * 3);
    }
}
