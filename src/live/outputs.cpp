// Reading and checking the OUTPUTS file. The JSON library's exceptions are
// caught here and turned into the same one-line refusals as every other fault.
#include "live/outputs.h"

#include <arpa/inet.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

#include "common/file_io.h"
#include "live/packets.h"

using nlohmann::json;

namespace {

struct Reader {
    LiveConfig* config;
    char* error;
    size_t errorSize;
};

bool Refuse(Reader& reader, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(reader.error, reader.errorSize, format, args);
    va_end(args);
    return false;
}

// An integer member within [low, high]; `present` false when it is absent.
bool ReadInteger(Reader& reader, const json& entry, const char* key, const char* who, long low,
                 long high, long* value, bool* present) {
    auto it = entry.find(key);
    *present = it != entry.end();
    if (!*present) return true;
    if (!it->is_number_integer())
        return Refuse(reader, "%s: \"%s\" must be a whole number", who, key);
    bool inRange;
    if (it->is_number_unsigned()) {
        uint64_t v = it->get<uint64_t>();
        inRange = v <= uint64_t(high) && long(v) >= low;
        *value = inRange ? long(v) : 0;
    } else {
        int64_t v = it->get<int64_t>();
        inRange = v >= low && v <= high;
        *value = inRange ? long(v) : 0;
    }
    if (!inRange)
        return Refuse(reader, "%s: \"%s\" %s is outside %ld..%ld", who, key, it->dump().c_str(),
                      low, high);
    return true;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in hexadecimal digits.
bool ParseUuid(const std::string& text, uint8_t out[16]) {
    if (text.size() != 36) return false;
    int byte = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i++] != '-') return false;
            continue;
        }
        int value = 0;
        for (int k = 0; k < 2; ++k, ++i) {
            const char c = text[i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        out[byte++] = uint8_t(value);
    }
    return byte == 16;
}

// A local IPv4 address under `key`; `present` false when it is absent.
bool ReadInterface(Reader& reader, const json& entry, const char* who, uint32_t* address) {
    auto it = entry.find("interface");
    if (it == entry.end()) return true;
    in_addr parsed;
    if (!it->is_string() ||
        inet_pton(AF_INET, it->get_ref<const std::string&>().c_str(), &parsed) != 1 ||
        parsed.s_addr == 0)
        return Refuse(reader, "%s\"interface\" must be a numeric IPv4 address of this machine",
                      who);
    *address = ntohl(parsed.s_addr);
    return true;
}

bool IsKnownKey(LiveProtocol protocol, const std::string& key) {
    static const char* const kCommon[] = {"protocol", "address", "ports", "udp_port", "interface"};
    for (const char* k : kCommon)
        if (key == k) return true;
    if (protocol == LiveDdp) return false;
    if (key == "universe" || key == "pixels_per_universe") return true;
    if (protocol == LiveSacn) return key == "priority" || key == "sync_universe";
    return key == "sync";
}

bool ReadOutput(Reader& reader, const json& entry, int index, bool portUsed[kPortCount]) {
    char who[96];
    snprintf(who, sizeof who, "outputs[%d]", index);
    if (!entry.is_object()) return Refuse(reader, "%s: must be an object", who);

    LiveOutput& out = reader.config->outputs[index];
    memset(&out, 0, sizeof out);

    auto protocol = entry.find("protocol");
    if (protocol == entry.end()) return Refuse(reader, "%s: \"protocol\" is missing", who);
    if (!protocol->is_string()) return Refuse(reader, "%s: \"protocol\" must be a string", who);
    const std::string& name = protocol->get_ref<const std::string&>();
    if (name == "sacn") {
        out.protocol = LiveSacn;
    } else if (name == "artnet") {
        out.protocol = LiveArtNet;
    } else if (name == "ddp") {
        out.protocol = LiveDdp;
    } else {
        return Refuse(reader, "%s: unknown protocol \"%s\" (sacn, artnet or ddp)", who,
                      name.c_str());
    }

    auto address = entry.find("address");
    if (address == entry.end()) return Refuse(reader, "%s: \"address\" is missing", who);
    if (!address->is_string()) return Refuse(reader, "%s: \"address\" must be a string", who);
    const std::string& text = address->get_ref<const std::string&>();
    snprintf(who, sizeof who, "outputs[%d] (%s %.40s)", index, name.c_str(), text.c_str());

    for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (!IsKnownKey(out.protocol, it.key()))
            return Refuse(reader, "%s: \"%s\" is not a setting of %s", who, it.key().c_str(),
                          name.c_str());
    }

    if (text == "multicast") {
        if (out.protocol != LiveSacn)
            return Refuse(reader, "%s: \"multicast\" is for sacn only; give a numeric IPv4 address",
                          who);
        out.multicast = true;
    } else {
        in_addr parsed;
        if (inet_pton(AF_INET, text.c_str(), &parsed) != 1)
            return Refuse(reader, "%s: \"address\" must be a numeric IPv4 address%s", who,
                          out.protocol == LiveSacn ? " or \"multicast\"" : "");
        out.address = ntohl(parsed.s_addr);
        if (out.address == 0) return Refuse(reader, "%s: 0.0.0.0 is not a destination", who);
    }

    auto ports = entry.find("ports");
    if (ports == entry.end()) return Refuse(reader, "%s: \"ports\" is missing", who);
    if (!ports->is_array() || ports->empty())
        return Refuse(reader, "%s: \"ports\" must be a list of port numbers 1..256", who);
    for (const json& port : *ports) {
        if (!port.is_number_integer())
            return Refuse(reader, "%s: port %s is not a port number 1..256", who,
                          port.dump().c_str());
        int64_t number = port.is_number_unsigned()
                             ? int64_t(std::min<uint64_t>(port.get<uint64_t>(), 1000))
                             : port.get<int64_t>();
        if (number < 1 || number > kPortCount)
            return Refuse(reader, "%s: port %s is outside 1..256", who, port.dump().c_str());
        if (portUsed[number - 1])
            return Refuse(reader, "%s: port %d is listed twice", who, int(number));
        portUsed[number - 1] = true;
        out.ports[out.portCount++] = uint8_t(number - 1);
    }

    char prefix[110];
    snprintf(prefix, sizeof prefix, "%s: ", who);
    out.interfaceAddress = reader.config->interfaceAddress;
    if (!ReadInterface(reader, entry, prefix, &out.interfaceAddress)) return false;

    long value;
    bool present;
    out.udpPort = out.protocol == LiveSacn     ? kSacnUdpPort
                  : out.protocol == LiveArtNet ? kArtNetUdpPort
                                               : kDdpUdpPort;
    if (!ReadInteger(reader, entry, "udp_port", who, 1, 65535, &value, &present)) return false;
    if (present) out.udpPort = uint16_t(value);

    if (out.protocol == LiveDdp) return true;

    out.pixelsPerUniverse = kDefaultPixelsPerUniverse;
    if (!ReadInteger(reader, entry, "pixels_per_universe", who, 1, kMaxPixelsPerUniverse, &value,
                     &present))
        return false;
    if (present) out.pixelsPerUniverse = uint16_t(value);

    if (out.protocol == LiveSacn) {
        out.universe = 1;
        if (!ReadInteger(reader, entry, "universe", who, 1, kSacnMaxUniverse, &value, &present))
            return false;
        if (present) out.universe = uint16_t(value);
        out.priority = kDefaultSacnPriority;
        if (!ReadInteger(reader, entry, "priority", who, 0, kMaxSacnPriority, &value, &present))
            return false;
        if (present) out.priority = uint8_t(value);
        if (!ReadInteger(reader, entry, "sync_universe", who, 1, kSacnMaxUniverse, &value,
                         &present))
            return false;
        if (present) out.syncUniverse = uint16_t(value);
        return true;
    }

    out.universe = 0;
    if (!ReadInteger(reader, entry, "universe", who, 0, kArtNetMaxPortAddress, &value, &present))
        return false;
    if (present) out.universe = uint16_t(value);
    auto sync = entry.find("sync");
    if (sync != entry.end()) {
        if (!sync->is_boolean()) return Refuse(reader, "%s: \"sync\" must be true or false", who);
        out.artSync = sync->get<bool>();
    }
    return true;
}

bool ReadDocument(Reader& reader, const json& document) {
    LiveConfig& config = *reader.config;
    if (!document.is_object()) return Refuse(reader, "the file must hold one JSON object");
    static const char* const kTopKeys[] = {"source_name", "cid", "interface", "artnet_source_port",
                                           "outputs"};
    for (auto it = document.begin(); it != document.end(); ++it) {
        bool known = false;
        for (const char* key : kTopKeys) known = known || it.key() == key;
        if (!known)
            return Refuse(reader,
                          "\"%s\" is not a setting (source_name, cid, interface, "
                          "artnet_source_port, outputs)",
                          it.key().c_str());
    }
    auto cid = document.find("cid");
    if (cid != document.end()) {
        if (!cid->is_string() || !ParseUuid(cid->get_ref<const std::string&>(), config.cid))
            return Refuse(reader,
                          "\"cid\" must be a UUID like \"6f1c0e2a-4b7d-4e59-9a31-2c8d5f0b7e14\"");
        config.cidGiven = true;
    }
    if (!ReadInterface(reader, document, "", &config.interfaceAddress)) return false;
    config.artnetSourcePort = kArtNetUdpPort;
    long port;
    bool present;
    if (!ReadInteger(reader, document, "artnet_source_port", "the file", 0, 65535, &port, &present))
        return false;
    if (present) config.artnetSourcePort = uint16_t(port);
    snprintf(config.sourceName, sizeof config.sourceName, "Quorvane");
    auto name = document.find("source_name");
    if (name != document.end()) {
        if (!name->is_string()) return Refuse(reader, "\"source_name\" must be a string");
        const std::string& text = name->get_ref<const std::string&>();
        if (text.size() > 63 || text.find('\0') != std::string::npos)
            return Refuse(reader, "\"source_name\" is longer than 63 bytes");
        memcpy(config.sourceName, text.c_str(), text.size() + 1);
    }
    auto outputs = document.find("outputs");
    if (outputs == document.end()) return Refuse(reader, "\"outputs\" is missing");
    if (!outputs->is_array() || outputs->empty())
        return Refuse(reader, "\"outputs\" must be a list of at least one output");
    if (outputs->size() > size_t(kPortCount))
        return Refuse(reader, "\"outputs\" lists more than 256 outputs");
    bool portUsed[kPortCount] = {};
    for (size_t i = 0; i < outputs->size(); ++i) {
        if (!ReadOutput(reader, (*outputs)[i], int(i), portUsed)) return false;
        config.outputCount = int(i) + 1;
    }
    return true;
}

const char* LiveProtocolName(LiveProtocol protocol) {
    switch (protocol) {
        case LiveSacn:
            return "sacn";
        case LiveArtNet:
            return "artnet";
        case LiveDdp:
            return "ddp";
    }
    return "?";
}

}  // namespace

void DescribeLiveOutput(const LiveConfig& config, int index, char* text, size_t size) {
    const LiveOutput& out = config.outputs[index];
    if (out.multicast) {
        snprintf(text, size, "outputs[%d] (%s multicast)", index, LiveProtocolName(out.protocol));
        return;
    }
    in_addr address;
    address.s_addr = htonl(out.address);
    char dotted[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    snprintf(text, size, "outputs[%d] (%s %s)", index, LiveProtocolName(out.protocol), dotted);
}

bool ParseLiveOutputs(const char* text, size_t size, LiveConfig* config, char* error,
                      size_t errorSize) {
    memset(config, 0, sizeof *config);
    Reader reader{config, error, errorSize};
    bool ok;
    try {
        json document = json::parse(text, text + size);
        ok = ReadDocument(reader, document);
    } catch (const json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 3, ...": keep the part after the
        // tag.
        const char* what = e.what();
        const char* tagEnd = strchr(what, ']');
        ok = Refuse(reader, "not valid JSON: %s", tagEnd ? tagEnd + 2 : what);
    }
    if (!ok) config->outputCount = 0;
    return ok;
}

bool ReadLiveOutputs(const char* path, LiveConfig* config, char* error, size_t errorSize) {
    std::vector<uint8_t> bytes;
    long fileSize = FileSizeOf(path);
    if (fileSize < 0 || !ReadFilePrefix(path, kMaxOutputsFileSize, bytes)) {
        snprintf(error, errorSize, "%s: cannot be read", path);
        return false;
    }
    if (size_t(fileSize) > kMaxOutputsFileSize) {
        snprintf(error, errorSize, "%s: larger than 1 MiB, not an outputs file", path);
        return false;
    }
    char message[400];
    if (!ParseLiveOutputs(reinterpret_cast<const char*>(bytes.data()), bytes.size(), config,
                          message, sizeof message)) {
        snprintf(error, errorSize, "%s: %s", path, message);
        return false;
    }
    return true;
}

std::string Dotted(uint32_t value) {
    in_addr address;
    address.s_addr = htonl(value);
    char dotted[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    return dotted;
}
