// Custom models (.xmodel): the node grid, dense or compressed, read as the
// peer reads it, and its strings as chains.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>

#include "layouts/layouts.h"
#include "layouts/layouts_internal.h"

namespace {

// The highest node number taken: one per cell of the grid.
constexpr long kNodeLimit = long(kGridSide) * kGridSide;

struct NodeCell {
    long row = -1;  // -1: the node is nowhere
    long column = -1;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::strchr(" \t\r\n", text[begin]) != nullptr) ++begin;
    while (end > begin && std::strchr(" \t\r\n", text[end - 1]) != nullptr) --end;
    return text.substr(begin, end - begin);
}

// A whole decimal number and nothing else.
bool ParseWhole(const std::string& text, long* out) {
    const std::string t = Trimmed(text);
    if (t.empty()) return false;
    char* end = nullptr;
    *out = std::strtol(t.c_str(), &end, 10);
    return *end == '\0';
}

// The grid's cells as the peer takes them: leading spaces skipped, the
// number read as far as it goes; above 0 is a node, anything else a gap.
long DenseValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return 0;
    return std::strtol(text.c_str() + i, nullptr, 10);
}

struct NodeGrid {
    std::vector<NodeCell> nodes;  // by node number; [0] unused
    long maxNode = 0;
    long layers = 1;
    long repeated = 0;  // nodes in more than one cell
    long firstRepeated = 0;
};

// Records node `node` at (row, column); a node seen before keeps its first cell.
bool PutNode(NodeGrid& grid, long node, long row, long column, std::string* cause) {
    if (node > kNodeLimit) {
        *cause = "node number " + std::to_string(node) + " is above " + std::to_string(kNodeLimit);
        return false;
    }
    if (node >= long(grid.nodes.size())) grid.nodes.resize(size_t(node) + 1);
    NodeCell& cell = grid.nodes[size_t(node)];
    if (cell.row >= 0) {
        if (grid.repeated++ == 0) grid.firstRepeated = node;
        return true;
    }
    cell = {row, column};
    grid.maxNode = std::max(grid.maxNode, node);
    return true;
}

bool ReadDense(const std::string& data, NodeGrid& grid, std::string* cause) {
    const std::vector<std::string> layers = Split(data, '|');
    grid.layers = long(layers.size());
    for (const std::string& layer : layers) {
        const std::vector<std::string> rows = Split(layer, ';');
        for (size_t r = 0; r < rows.size(); ++r) {
            const std::vector<std::string> cells = Split(rows[r], ',');
            for (size_t c = 0; c < cells.size(); ++c) {
                const long node = DenseValue(cells[c]);
                if (node > 0 && !PutNode(grid, node, long(r), long(c), cause)) {
                    *cause = "CustomModel row " + std::to_string(r) + ", column " +
                             std::to_string(c) + ": " + *cause;
                    return false;
                }
            }
        }
    }
    return true;
}

bool ReadCompressed(const std::string& data, NodeGrid& grid, std::string* cause) {
    const std::vector<std::string> entries = Split(data, ';');
    long layers = 1;
    for (size_t e = 0; e < entries.size(); ++e) {
        if (Trimmed(entries[e]).empty()) continue;
        const std::vector<std::string> fields = Split(entries[e], ',');
        long values[4] = {0, 0, 0, 0};
        bool ok = fields.size() == 3 || fields.size() == 4;
        for (size_t f = 0; ok && f < fields.size(); ++f) ok = ParseWhole(fields[f], &values[f]);
        for (size_t f = 1; ok && f < fields.size(); ++f) ok = values[f] >= 0;
        const std::string where = "CustomModelCompressed entry " + std::to_string(e + 1) + " ('" +
                                  Trimmed(entries[e]) + "'): ";
        if (!ok) {
            *cause = where + "expected node,row,column[,layer] as whole numbers, counted from 0";
            return false;
        }
        layers = std::max(layers, std::min(values[3], kNodeLimit) + 1);  // for the warning
        if (values[0] > 0 && !PutNode(grid, values[0], values[1], values[2], cause)) {
            *cause = where + *cause;
            return false;
        }
    }
    grid.layers = layers;
    return true;
}

// The line of byte `offset` of the text. The parser's offsets are those of
// its own copy, which for a file not in UTF-8 may run past the text.
long LineAt(const std::string& text, ptrdiff_t offset) {
    const size_t end = offset < 0 ? 0 : std::min(size_t(offset), text.size());
    return 1 + long(std::count(text.begin(), text.begin() + long(end), '\n'));
}

// Channels per node for the evenly split string starts the peer computes.
long ChannelsPerNode(const std::string& stringType) {
    if (stringType.find("RGBW") != std::string::npos || stringType.find("4 Channel") == 0) return 4;
    if (stringType.empty() || stringType.find("RGB") != std::string::npos ||
        stringType.find("3 Channel") == 0)
        return 3;
    return 1;
}

}  // namespace

bool ReadXmodelLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                      LayoutPiece* piece, std::string* error) {
    piece->source = name;
    piece->entryName = "node";
    piece->chains.clear();
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed) {
        *error = name + ":" + std::to_string(LineAt(text, parsed.offset)) +
                 ": not XML: " + parsed.description();
        return false;
    }
    const pugi::xml_node model = document.child("custommodel");
    if (!model) {
        *error = name + ": no custommodel element";
        return false;
    }
    const std::string at = name + ":" + std::to_string(LineAt(text, model.offset_debug())) + ": ";

    NodeGrid grid;
    std::string cause;
    const std::string compressed = model.attribute("CustomModelCompressed").as_string();
    const bool ok = !compressed.empty()
                        ? ReadCompressed(compressed, grid, &cause)
                        : ReadDense(model.attribute("CustomModel").as_string(), grid, &cause);
    if (!ok) {
        *error = at + cause;
        return false;
    }
    if (grid.maxNode == 0) {
        *error = at + "the model has no nodes";
        return false;
    }
    const long depth = model.attribute("Depth").as_int(1);
    if (grid.layers > 1 || depth > 1)
        piece->warnings.push_back(name + ": " + std::to_string(std::max(grid.layers, depth)) +
                                  " depth layers flattened onto one grid");
    if (grid.repeated > 0) {
        const NodeCell& first = grid.nodes[size_t(grid.firstRepeated)];
        piece->warnings.push_back(
            name + ": " + std::to_string(grid.repeated) +
            " more cells repeat a node number; a node takes only its first cell (node " +
            std::to_string(grid.firstRepeated) + " at row " + std::to_string(first.row) +
            ", column " + std::to_string(first.column) + ")");
    }

    // The strings' first nodes: String<k>, or spread evenly as the peer does.
    long strings = model.attribute("CustomStrings").as_int(1);
    if (strings < 1) strings = 1;
    if (strings > grid.maxNode) strings = grid.maxNode;
    const long channels = ChannelsPerNode(model.attribute("StringType").as_string());
    std::vector<long> starts(size_t(strings) + 1);
    for (long k = 0; k < strings; ++k) {
        const std::string attribute = "String" + std::to_string(k + 1);
        long node = model.attribute(attribute.c_str()).as_int(0);
        if (node <= 0) node = (grid.maxNode * channels / strings) * k / channels + 1;
        if (node > grid.maxNode) node = grid.maxNode;
        if (k > 0 && node < starts[size_t(k - 1)]) {
            *error = at + attribute + " (" + std::to_string(node) + ") starts before String" +
                     std::to_string(k) + " (" + std::to_string(starts[size_t(k - 1)]) + ")";
            return false;
        }
        starts[size_t(k)] = node;
    }
    starts[size_t(strings)] = grid.maxNode + 1;
    if (starts[0] > 1) starts[0] = 1;

    long missing = 0, firstMissing = 0;
    for (long k = 0; k < strings; ++k) {
        PieceChain chain{-1, {}};
        for (long node = starts[size_t(k)]; node < starts[size_t(k + 1)]; ++node) {
            const NodeCell& cell = grid.nodes[size_t(node)];
            if (cell.row < 0) {
                if (missing++ == 0) firstMissing = node;
                continue;
            }
            PlacedLed led = PlaceLed(options.place, double(cell.column), double(cell.row), 0);
            led.entry = uint32_t(node);
            chain.leds.push_back(led);
        }
        if (!chain.leds.empty()) piece->chains.push_back(std::move(chain));
    }
    if (missing > 0)
        piece->warnings.push_back(name + ": " + std::to_string(missing) +
                                  " node numbers below the highest are in no cell (first: node " +
                                  std::to_string(firstMissing) + "); the chain closes up");
    return true;
}
