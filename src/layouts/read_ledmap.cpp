// LED maps (ledmap.json): physical LED numbers by logical position, filled
// row by row `width` at a time; negative numbers are gaps.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "layouts/layouts.h"
#include "layouts/layouts_internal.h"

namespace {

struct MapLed {
    long long physical;
    size_t position;
};

std::string PositionText(size_t position, size_t width) {
    return "map entry " + std::to_string(position) + " (row " + std::to_string(position / width) +
           ", column " + std::to_string(position % width) + ")";
}

}  // namespace

bool ReadLedmapLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                      LayoutPiece* piece, std::string* error) {
    piece->source = name;
    piece->entryName = "map entry";
    piece->chains.clear();
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        const size_t end = std::min(size_t(e.byte), text.size());
        const long line = 1 + long(std::count(text.begin(), text.begin() + long(end), '\n'));
        *error = name + ":" + std::to_string(line) + ": not JSON: " + e.what();
        return false;
    } catch (const nlohmann::json::exception& e) {  // a number out of range
        *error = name + ": not JSON: " + e.what();
        return false;
    }
    if (!document.is_object() || !document.contains("map") || !document["map"].is_array()) {
        *error = name + ": no \"map\" array";
        return false;
    }
    const nlohmann::json& map = document["map"];
    size_t width = map.size(), height = 1;
    const bool hasWidth = document.contains("width"), hasHeight = document.contains("height");
    if (hasWidth != hasHeight) {
        *error = name + ": \"width\" and \"height\" come together";
        return false;
    }
    if (hasWidth) {
        for (const char* key : {"width", "height"}) {
            const nlohmann::json& value = document[key];
            if (!value.is_number_integer() || value.get<long long>() < 1 ||
                value.get<long long>() > 255) {
                *error = name + ": \"" + key + "\" must be a whole number 1..255";
                return false;
            }
        }
        width = document["width"].get<size_t>();
        height = document["height"].get<size_t>();
        if (map.size() > width * height) {
            *error = name + ": the map has " + std::to_string(map.size()) +
                     " entries, more than width x height (" + std::to_string(width) + " x " +
                     std::to_string(height) + ")";
            return false;
        }
    }
    if (width == 0) width = 1;

    std::vector<MapLed> leds;
    leds.reserve(map.size());
    for (size_t position = 0; position < map.size(); ++position) {
        const nlohmann::json& value = map[position];
        if (!value.is_number_integer()) {
            *error = name + ": " + PositionText(position, width) +
                     " is not a whole number: " + value.dump();
            return false;
        }
        const long long physical = value.get<long long>();
        if (physical >= 0) leds.push_back({physical, position});
    }
    if (leds.empty()) {
        *error = name + ": the map has no LEDs";
        return false;
    }
    std::stable_sort(leds.begin(), leds.end(),
                     [](const MapLed& a, const MapLed& b) { return a.physical < b.physical; });
    PieceChain chain{-1, {}};
    chain.leds.reserve(leds.size());
    for (size_t i = 0; i < leds.size(); ++i) {
        if (i > 0 && leds[i].physical == leds[i - 1].physical) {
            *error = name + ": " + PositionText(leds[i].position, width) + " names LED " +
                     std::to_string(leds[i].physical) + " again (also " +
                     PositionText(leds[i - 1].position, width) + ")";
            return false;
        }
        PlacedLed led = PlaceLed(options.place, double(leds[i].position % width),
                                 double(leds[i].position / width), 0);
        led.entry = uint32_t(leds[i].position);
        chain.leds.push_back(led);
    }
    const long long holes = leds.back().physical + 1 - (long long)(leds.size());
    if (holes > 0)
        piece->warnings.push_back(name + ": " + std::to_string(holes) +
                                  " LED numbers below the highest are in no cell; the chain "
                                  "closes up");
    piece->chains.push_back(std::move(chain));
    return true;
}
