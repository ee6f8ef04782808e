// The formats written back: point lists, custom models and LED maps, and
// the choice of a format by name.
#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sstream>

#include "layouts/layouts.h"
#include "layouts/layouts_internal.h"

namespace {

struct Box {
    int64_t x0, y0, x1, y1;
    bool empty;
};

Box BoundingBox(const Layout& layout) {
    Box box = {0, 0, 0, 0, true};
    for (const auto& leds : layout.ports) {
        for (const PlacedLed& led : leds) {
            if (box.empty) box = {led.x, led.y, led.x, led.y, false};
            box.x0 = std::min(box.x0, led.x);
            box.y0 = std::min(box.y0, led.y);
            box.x1 = std::max(box.x1, led.x);
            box.y1 = std::max(box.y1, led.y);
        }
    }
    return box;
}

// Node numbers from 1 along the ports in order, by cell of the box (0: none).
std::vector<long> NumberedCells(const Layout& layout, const Box& box, size_t width) {
    const size_t height = box.empty ? 0 : size_t(box.y1 - box.y0 + 1);
    std::vector<long> cells(width * height, 0);
    long node = 0;
    for (const auto& leds : layout.ports)
        for (const PlacedLed& led : leds)
            cells[size_t(led.y - box.y0) * width + size_t(led.x - box.x0)] = ++node;
    return cells;
}

}  // namespace

bool LayoutFormatByName(const std::string& name, LayoutFormat* format) {
    if (name == "csv")
        *format = LayoutFormat::Csv;
    else if (name == "xmodel")
        *format = LayoutFormat::Xmodel;
    else if (name == "ledmap")
        *format = LayoutFormat::Ledmap;
    else
        return false;
    return true;
}

bool LayoutFormatOfName(const std::string& path, LayoutFormat* format) {
    std::string lower = path;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    auto ends = [&](const char* suffix) {
        const std::string s(suffix);
        return lower.size() >= s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
    };
    if (ends(".csv"))
        *format = LayoutFormat::Csv;
    else if (ends(".xmodel"))
        *format = LayoutFormat::Xmodel;
    else if (ends(".json"))
        *format = LayoutFormat::Ledmap;
    else
        return false;
    return true;
}

bool ReadLayoutText(LayoutFormat format, const std::string& name, const std::string& text,
                    const ReadOptions& options, LayoutPiece* piece, std::string* error) {
    switch (format) {
        case LayoutFormat::Csv:
            return ReadCsvLayout(name, text, options, piece, error);
        case LayoutFormat::Xmodel:
            return ReadXmodelLayout(name, text, options, piece, error);
        case LayoutFormat::Ledmap:
            return ReadLedmapLayout(name, text, options, piece, error);
    }
    return false;
}

std::string WriteCsvLayout(const Layout& layout) {
    std::string out = "port,index,x,y\n";
    out.reserve(size_t(LayoutLedCount(layout)) * 20 + out.size());
    for (int port = 0; port < kPortCount; ++port) {
        const auto& leds = layout.ports[port];
        for (size_t i = 0; i < leds.size(); ++i) {
            out += std::to_string(port + 1);
            out += ',';
            out += std::to_string(i);
            out += ',';
            out += std::to_string(leds[i].x);
            out += ',';
            out += std::to_string(leds[i].y);
            out += '\n';
        }
    }
    return out;
}

std::string WriteXmodelLayout(const Layout& layout, const std::string& name) {
    const Box box = BoundingBox(layout);
    const size_t width = box.empty ? 1 : size_t(box.x1 - box.x0 + 1);
    const size_t height = box.empty ? 1 : size_t(box.y1 - box.y0 + 1);
    const std::vector<long> cells = NumberedCells(layout, box, width);

    std::string dense;
    for (size_t r = 0; r < height; ++r) {
        if (r > 0) dense += ';';
        for (size_t c = 0; c < width; ++c) {
            if (c > 0) dense += ',';
            const long node = cells.empty() ? 0 : cells[r * width + c];
            if (node > 0) dense += std::to_string(node);
        }
    }
    // The compressed form only pays when most cells are gaps, as the peer decides.
    const long nodes = LayoutLedCount(layout);
    std::string compressed;
    if (nodes > 0 && double(nodes) <= 0.8 * double(width * height)) {
        for (size_t r = 0; r < height; ++r) {
            for (size_t c = 0; c < width; ++c) {
                const long node = cells[r * width + c];
                if (node == 0) continue;
                if (!compressed.empty()) compressed += ';';
                compressed +=
                    std::to_string(node) + "," + std::to_string(r) + "," + std::to_string(c);
            }
        }
    }

    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node model = document.append_child("custommodel");
    model.append_attribute("name") = name.c_str();
    model.append_attribute("parm1") = std::to_string(width).c_str();
    model.append_attribute("parm2") = std::to_string(height).c_str();
    model.append_attribute("Depth") = "1";
    model.append_attribute("StringType") = "RGB Nodes";
    model.append_attribute("Transparency") = "0";
    model.append_attribute("PixelSize") = "2";
    model.append_attribute("ModelBrightness") = "";
    model.append_attribute("Antialias") = "1";
    model.append_attribute("StrandNames") = "";
    model.append_attribute("NodeNames") = "";
    model.append_attribute("CustomModelCompressed") = compressed.c_str();
    model.append_attribute("CustomModel") = dense.c_str();
    const int strings = LayoutPortCount(layout);
    if (strings > 1) {
        model.append_attribute("CustomStrings") = std::to_string(strings).c_str();
        long node = 1;
        int k = 0;
        for (const auto& leds : layout.ports) {
            if (leds.empty()) continue;
            const std::string attribute = "String" + std::to_string(++k);
            model.append_attribute(attribute.c_str()) = std::to_string(node).c_str();
            node += long(leds.size());
        }
    }
    std::ostringstream out;
    document.save(out, "  ", pugi::format_default | pugi::format_no_declaration,
                  pugi::encoding_utf8);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + out.str();
}

bool WriteLedmapLayout(const Layout& layout, const std::string& name, std::string* text,
                       std::string* error) {
    const Box box = BoundingBox(layout);
    if (box.empty) {
        *error = "the layout has no LEDs";
        return false;
    }
    const size_t width = size_t(box.x1 - box.x0 + 1), height = size_t(box.y1 - box.y0 + 1);
    if (width > 255 || height > 255) {
        *error = "the layout spans " + std::to_string(width) + " x " + std::to_string(height) +
                 " cells; a ledmap holds at most 255 x 255";
        return false;
    }
    const std::vector<long> cells = NumberedCells(layout, box, width);
    std::string out = "{\n  \"n\": " + nlohmann::json(name).dump() +
                      ",\n  \"width\": " + std::to_string(width) +
                      ",\n  \"height\": " + std::to_string(height) + ",\n  \"map\": [";
    for (size_t r = 0; r < height; ++r) {
        out += r == 0 ? "\n    " : ",\n    ";
        for (size_t c = 0; c < width; ++c) {
            if (c > 0) out += ", ";
            out += std::to_string(cells[r * width + c] - 1);
        }
    }
    out += "\n  ]\n}\n";
    *text = out;
    return true;
}
