// Fuzzes the readers of point lists, custom models and LED maps: the first
// byte picks the reader, the rest is the file. Whatever the bytes, a read
// either fails with a message or gives LEDs that, once on the ports and
// checked, lie on the grid, and a layout that passed reads back from its own
// point list as the same chains.
#include <cstdlib>
#include <memory>
#include <string>

#include "layouts/layouts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const LayoutFormat format = LayoutFormat(data[0] % 3);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    ReadOptions options;
    options.port = (data[0] & 0x80) != 0 ? 0 : -1;
    LayoutPiece piece;
    std::string error;
    if (!ReadLayoutText(format, "fuzz", text, options, &piece, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    static std::unique_ptr<Layout> layout(new Layout);
    ClearLayout(layout.get());
    if (!AddPiece(piece, 0, kChainCapacity, layout.get(), &error)) {
        if (error.empty() || LayoutLedCount(*layout) != 0) std::abort();
        return 0;
    }
    for (const auto& leds : layout->ports) {
        if (leds.size() > size_t(kChainCapacity)) std::abort();
        for (const PlacedLed& led : leds)
            if (led.x < 0 || led.x > kGridMax || led.y < 0 || led.y > kGridMax) std::abort();
    }
    LayoutPiece again;
    static std::unique_ptr<Layout> back(new Layout);
    ClearLayout(back.get());
    if (!ReadCsvLayout("again", WriteCsvLayout(*layout), ReadOptions{}, &again, &error) ||
        !AddPiece(again, 0, kChainCapacity, back.get(), &error))
        std::abort();
    for (int port = 0; port < kPortCount; ++port) {
        if (back->ports[port].size() != layout->ports[port].size()) std::abort();
        for (size_t i = 0; i < back->ports[port].size(); ++i)
            if (back->ports[port][i].x != layout->ports[port][i].x ||
                back->ports[port][i].y != layout->ports[port][i].y)
                std::abort();
    }
    return 0;
}
