// The live benchmarks' OUTPUTS: every port of a full layout in one output
// to 127.0.0.1.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "live/outputs.h"

// `protocol` with every port 1..256 to 127.0.0.1:`port`, plus `extraKeys`
// (JSON members with a trailing comma, or ""); false after printing the
// parser's message.
inline bool FullLayoutOutputs(const char* protocol, uint16_t port, const char* extraKeys,
                              LiveConfig* config) {
    std::string text = std::string(R"({"outputs": [{"protocol": ")") + protocol +
                       R"(", "address": "127.0.0.1", )" + extraKeys + R"("udp_port": )" +
                       std::to_string(port) + R"(, "ports": [)";
    for (int p = 1; p <= kPortCount; ++p) text += std::to_string(p) + (p < kPortCount ? "," : "");
    text += "]}]}";
    char error[512];
    if (ParseLiveOutputs(text.data(), text.size(), config, error, sizeof error)) return true;
    fprintf(stderr, "%s\n", error);
    return false;
}
