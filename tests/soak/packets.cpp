// Packet making for the soak. The layouts follow the control program's
// encoder (README "The command channel"): big-endian code at 0-1, port or
// small fields at 2-3, colours at 4-6, paths at 4 (at 12 for 209), the
// decimal text fields of 185 and 209.
#include "packets.h"

#include <cstdio>
#include <cstring>

#include "common/protocol.h"

namespace {

struct CommandWeight {
    CommandCode code;
    int weight;
};

// Loads come often, so that the layout holds LEDs for the conversions.
constexpr CommandWeight kCommands[] = {
    {CommandCode::UndoLastLed, 3},
    {CommandCode::SaveChainFile, 4},
    {CommandCode::LoadChainFile, 10},
    {CommandCode::SelectPort, 6},
    {CommandCode::SetVideoPath, 8},
    {CommandCode::SetPortColor, 3},
    {CommandCode::SetBackgroundColor, 1},
    {CommandCode::SetFrameColor, 1},
    {CommandCode::SetGridDotColor, 1},
    {CommandCode::SetChainLineColor, 1},
    {CommandCode::StartVideo, 8},
    {CommandCode::SetLedShapeDisk, 1},
    {CommandCode::SetLedShapeSquare, 1},
    {CommandCode::KeyPress, 5},
    {CommandCode::ClearPort, 3},
    {CommandCode::StopVideo, 3},
    {CommandCode::SaveProject, 4},
    {CommandCode::OpenFile, 8},
    {CommandCode::SetEditMode, 2},
    {CommandCode::LoadBackgroundImage, 6},
    {CommandCode::RemoveBackgroundImage, 2},
    {CommandCode::SetLedSize, 2},
    {CommandCode::ToggleVideoPause, 2},
    {CommandCode::SaveFrameImage, 3},
    {CommandCode::ToggleBoundingFrame, 1},
    {CommandCode::SetVideoResize, 3},
    {CommandCode::ViewJump, 3},
    {CommandCode::SetRawFramePath, 4},
    {CommandCode::ConvertRawFrames, 5},
};
static_assert(std::size(kCommands) == 29, "every command code");

CommandCode PickCode(SoakRandom& random) {
    int total = 0;
    for (const CommandWeight& c : kCommands) total += c.weight;
    int pick = Between(random, 0, total - 1);
    for (const CommandWeight& c : kCommands) {
        if (pick < c.weight) return c.code;
        pick -= c.weight;
    }
    return kCommands[0].code;
}

void PutBE16(Bytes& packet, size_t at, uint16_t value) {
    packet[at] = uint8_t(value >> 8);
    packet[at + 1] = uint8_t(value);
}

bool IsUrlOrAbsolute(const std::string& path) {
    return path.empty() || path[0] == '/' || path.find(':') != std::string::npos;
}

std::string LongPath(SoakRandom& random) {
    static const size_t kLengths[] = {500, 511, 512, 600, 1900};
    return std::string(kLengths[Below(random, std::size(kLengths))], 'a') + ".quor";
}

// A path to read: mostly from the pool the command expects, sometimes from
// another pool, missing, too long or (when made) a special path; relative
// or absolute.
std::string ReadPath(SoakRandom& random, const FixturePools& pools,
                     const std::vector<std::string>& primary) {
    const std::vector<std::string>* all[] = {&pools.chains,  &pools.projects, &pools.lists,
                                             &pools.bitmaps, &pools.videos,   &pools.raws};
    const int choice = Between(random, 0, 99);
    std::string path;
    if (choice < 10 && !pools.special.empty()) {
        return PickFrom(random, pools.special);
    } else if (choice < 20) {
        const std::vector<std::string>& other = *all[Below(random, std::size(all))];
        path = PickFrom(random, other);
    } else if (choice < 24) {
        path = Chance(random, 0.5) ? "missing.quor" : "nodir/missing.iqp";
    } else if (choice < 27) {
        return LongPath(random);
    } else {
        path = PickFrom(random, primary);
    }
    if (!IsUrlOrAbsolute(path) && Chance(random, 0.3)) path = pools.dir + "/" + path;
    return path;
}

// A path to write, always inside the work directory.
std::string WritePath(SoakRandom& random, const FixturePools& pools,
                      const std::vector<std::string>& targets,
                      const std::vector<std::string>& overwritable) {
    const int choice = Between(random, 0, 99);
    std::string path;
    if (choice < 8) return LongPath(random);
    if (choice < 18)
        path = PickFrom(random, overwritable);
    else
        path = PickFrom(random, targets);
    if (Chance(random, 0.3)) path = pools.dir + "/" + path;
    return path;
}

Bytes Header(CommandCode code, size_t size) {
    Bytes packet(size, 0);
    PutBE16(packet, 0, uint16_t(code));
    return packet;
}

Bytes WithPath(CommandCode code, size_t offset, const std::string& path) {
    Bytes packet = Header(code, offset + path.size() + 1);
    std::memcpy(packet.data() + offset, path.data(), path.size());
    return packet;
}

uint16_t PortNumber(SoakRandom& random) {  // 1..256, sometimes beyond
    if (Chance(random, 0.1)) return uint16_t(Chance(random, 0.5) ? 0 : random.engine());
    return uint16_t(Between(random, 1, 256));
}
uint16_t PortIndex(SoakRandom& random) {  // 0..255, sometimes beyond
    if (Chance(random, 0.1)) return uint16_t(Chance(random, 0.5) ? 256 : random.engine());
    return uint16_t(Between(random, 0, 255));
}

// Decimal text of a size, as the control program writes it, or something
// that is not quite one.
std::string SizeText(SoakRandom& random, const FixturePools& pools, size_t width) {
    static const char* const kOdd[] = {"0", "-1", "9999", "4096", " 12", "+8", "1x", "", "007"};
    std::string text;
    if (Chance(random, 0.15))
        text = kOdd[Below(random, std::size(kOdd))];
    else if (Chance(random, 0.6) && !pools.rawSides.empty())
        text = std::to_string(PickFrom(random, pools.rawSides));
    else
        text = std::to_string(Between(random, 1, 2048));
    if (text.size() > width) text.resize(width);
    return text;
}

Bytes ValidPacket(SoakRandom& random, const FixturePools& pools, CommandCode code) {
    Bytes packet;
    switch (code) {
        case CommandCode::UndoLastLed:
        case CommandCode::SelectPort:
        case CommandCode::ClearPort:
            packet = Header(code, 4);
            PutBE16(packet, 2,
                    code == CommandCode::UndoLastLed ? PortNumber(random) : PortIndex(random));
            break;
        case CommandCode::SaveChainFile:
            packet = WithPath(code, 4, WritePath(random, pools, pools.chainTargets, pools.chains));
            PutBE16(packet, 2, PortNumber(random));
            break;
        case CommandCode::LoadChainFile:
            packet = WithPath(code, 4, ReadPath(random, pools, pools.chains));
            break;
        case CommandCode::SetVideoPath:
            packet = WithPath(code, 4, ReadPath(random, pools, pools.videos));
            break;
        case CommandCode::SetPortColor:
        case CommandCode::SetBackgroundColor:
        case CommandCode::SetFrameColor:
        case CommandCode::SetGridDotColor:
        case CommandCode::SetChainLineColor:
            packet = Header(code, 7);
            if (code == CommandCode::SetPortColor) PutBE16(packet, 2, PortNumber(random));
            for (int k = 4; k < 7; ++k) packet[size_t(k)] = uint8_t(random.engine());
            break;
        case CommandCode::StartVideo:
            packet = Header(code, 10);
            packet[2] =
                uint8_t(Chance(random, 0.9) ? Between(random, 0, 5) : int(random.engine() & 0xFF));
            for (int k = 3; k < 6; ++k)
                packet[size_t(k)] = uint8_t(Chance(random, 0.8) ? Between(random, 0, 100)
                                                                : int(random.engine() & 0xFF));
            packet[6] =
                uint8_t(Chance(random, 0.9) ? Between(random, 0, 2) : int(random.engine() & 0xFF));
            for (int k = 7; k < 10; ++k)
                packet[size_t(k)] = uint8_t(Chance(random, 0.7) ? 0 : int(random.engine() & 0xFF));
            break;
        case CommandCode::KeyPress: {
            static const uint8_t kKeys[] = {'w', 'a', 's', 'd', 'W', 'A', 'S', 'D', '+', '=',
                                            '-', 26,  'F', '&', 'K', 246, 244, 251, 226};
            packet = Header(code, 4);
            packet[3] = Chance(random, 0.8) ? kKeys[Below(random, std::size(kKeys))]
                                            : uint8_t(random.engine());
            break;
        }
        case CommandCode::SaveProject:
            packet =
                WithPath(code, 4, WritePath(random, pools, pools.projectTargets, pools.projects));
            break;
        case CommandCode::OpenFile:
            packet = WithPath(
                code, 4,
                ReadPath(random, pools, Chance(random, 0.5) ? pools.projects : pools.lists));
            break;
        case CommandCode::SetEditMode:
            packet = Header(code, 4);
            packet[3] =
                uint8_t(Chance(random, 0.8) ? Between(random, 0, 1) : int(random.engine() & 0xFF));
            break;
        case CommandCode::LoadBackgroundImage:
            packet = WithPath(code, 4, ReadPath(random, pools, pools.bitmaps));
            break;
        case CommandCode::SetLedSize:
            packet = Header(code, 5);
            packet[4] =
                uint8_t(Chance(random, 0.8) ? Between(random, 0, 10) : int(random.engine() & 0xFF));
            break;
        case CommandCode::SetVideoResize: {
            packet = Header(code, 16);
            const std::string width = SizeText(random, pools, 4),
                              height = SizeText(random, pools, 4);
            std::memcpy(packet.data() + 4, width.data(), width.size());
            std::memcpy(packet.data() + 9, height.data(), height.size());
            packet[14] = uint8_t(Chance(random, 0.7) ? 1 : 0);
            packet[15] =
                uint8_t(Chance(random, 0.8) ? Between(random, 0, 7) : int(random.engine() & 0xFF));
            break;
        }
        case CommandCode::ViewJump: {
            static const uint8_t kTargets[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 160, 161, 162};
            packet = Header(code, 4);
            packet[3] = Chance(random, 0.8) ? kTargets[Below(random, std::size(kTargets))]
                                            : uint8_t(random.engine());
            break;
        }
        case CommandCode::SetRawFramePath:
            packet = WithPath(code, 4, ReadPath(random, pools, pools.raws));
            break;
        case CommandCode::ConvertRawFrames: {
            packet = WithPath(code, 12,
                              WritePath(random, pools, pools.videoTargets, pools.videoTargets));
            const std::string width = SizeText(random, pools, 4),
                              height = SizeText(random, pools, 4);
            std::memcpy(packet.data() + 4, width.data(), width.size());
            std::memcpy(packet.data() + 8, height.data(), height.size());
            break;
        }
        default:  // the commands without fields
            packet = Header(code, 2);
            break;
    }
    // Now and then the whole buffer, as some clients send it.
    if (Chance(random, 0.1)) packet.resize(kMailboxSize, 0);
    return packet;
}

void Mutate(SoakRandom& random, Bytes& packet) {
    switch (Between(random, 0, 4)) {
        case 0: {  // a few bytes changed
            const int changes = Between(random, 1, 4);
            for (int c = 0; c < changes; ++c)
                packet[Below(random, packet.size())] = uint8_t(random.engine());
            break;
        }
        case 1:  // cut short: the rest comes from older packets
            packet.resize(size_t(Between(random, 1, int(packet.size()))));
            break;
        case 2: {  // longer, with random bytes
            const size_t from = packet.size();
            packet.resize(size_t(Between(random, int(from), int(kMailboxSize))));
            for (size_t i = from; i < packet.size(); ++i) packet[i] = uint8_t(random.engine());
            break;
        }
        case 3: {  // no NUL up to the end of the buffer
            const size_t from = packet.size() > 4 ? packet.size() - 1 : 4;
            packet.resize(kMailboxSize);
            for (size_t i = from; i < kMailboxSize; ++i) packet[i] = uint8_t('A' + i % 26);
            break;
        }
        default:  // port or small fields
            if (packet.size() < 4) packet.resize(4);
            packet[2] = uint8_t(random.engine());
            packet[3] = uint8_t(random.engine());
            break;
    }
}

std::string PathAt(const uint8_t* mailbox, size_t offset) {
    const void* nul = std::memchr(mailbox + offset, 0, kMailboxSize - offset);
    const size_t length =
        nul ? size_t(static_cast<const uint8_t*>(nul) - (mailbox + offset)) : kMailboxSize - offset;
    return std::string(reinterpret_cast<const char*>(mailbox + offset), length);
}

const char* CommandName(uint16_t code) {
    switch (CommandCode(code)) {
        case CommandCode::UndoLastLed:
            return "undo";
        case CommandCode::SaveChainFile:
            return "save chain";
        case CommandCode::LoadChainFile:
            return "load chain";
        case CommandCode::SelectPort:
            return "select port";
        case CommandCode::SetVideoPath:
            return "video path";
        case CommandCode::SetPortColor:
            return "port colour";
        case CommandCode::SetBackgroundColor:
            return "background colour";
        case CommandCode::SetFrameColor:
            return "frame colour";
        case CommandCode::SetGridDotColor:
            return "grid dot colour";
        case CommandCode::SetChainLineColor:
            return "chain line colour";
        case CommandCode::StartVideo:
            return "start video";
        case CommandCode::SetLedShapeDisk:
            return "disk";
        case CommandCode::SetLedShapeSquare:
            return "square";
        case CommandCode::KeyPress:
            return "key";
        case CommandCode::ClearPort:
            return "clear port";
        case CommandCode::StopVideo:
            return "stop video";
        case CommandCode::SaveProject:
            return "save project";
        case CommandCode::OpenFile:
            return "open file";
        case CommandCode::SetEditMode:
            return "edit mode";
        case CommandCode::LoadBackgroundImage:
            return "background image";
        case CommandCode::RemoveBackgroundImage:
            return "remove background";
        case CommandCode::SetLedSize:
            return "LED size";
        case CommandCode::ToggleVideoPause:
            return "pause";
        case CommandCode::SaveFrameImage:
            return "save frame";
        case CommandCode::ToggleBoundingFrame:
            return "bounding frame";
        case CommandCode::SetVideoResize:
            return "resize";
        case CommandCode::ViewJump:
            return "view jump";
        case CommandCode::SetRawFramePath:
            return "raw path";
        case CommandCode::ConvertRawFrames:
            return "raw to video";
    }
    return nullptr;
}

int PathOffsetOf(uint16_t code) {
    switch (CommandCode(code)) {
        case CommandCode::SaveChainFile:
        case CommandCode::LoadChainFile:
        case CommandCode::SetVideoPath:
        case CommandCode::SaveProject:
        case CommandCode::OpenFile:
        case CommandCode::LoadBackgroundImage:
        case CommandCode::SetRawFramePath:
            return 4;
        case CommandCode::ConvertRawFrames:
            return 12;
        default:
            return -1;
    }
}

}  // namespace

Bytes MakePacket(SoakRandom& random, const FixturePools& pools) {
    if (Chance(random, 0.05)) {
        Bytes packet(size_t(Between(random, 1, int(kMailboxSize))));
        for (uint8_t& b : packet) b = uint8_t(random.engine());
        if (packet.size() >= 2 && Chance(random, 0.7)) {
            packet[0] = 0;
            packet[1] = uint8_t(Between(random, 160, 209));
        }
        return packet;
    }
    Bytes packet = ValidPacket(random, pools, PickCode(random));
    if (Chance(random, 0.25)) Mutate(random, packet);
    return packet;
}

bool IsCommandCode(uint16_t code) {
    return CommandName(code) != nullptr;
}

bool WritesStayInside(const uint8_t* mailbox, const std::string& dir) {
    const uint16_t code = uint16_t(mailbox[0] << 8 | mailbox[1]);
    if (code != uint16_t(CommandCode::SaveChainFile) &&
        code != uint16_t(CommandCode::SaveProject) &&
        code != uint16_t(CommandCode::ConvertRawFrames))
        return true;
    const std::string path = PathAt(mailbox, size_t(PathOffsetOf(code)));
    if (path.size() > 511) return true;  // refused by the program
    if (path.find(':') != std::string::npos) return false;
    std::string rest = path;
    if (!path.empty() && path[0] == '/') {
        if (path.compare(0, dir.size() + 1, dir + "/") != 0) return false;
        rest = path.substr(dir.size() + 1);
    }
    // No ".." component anywhere.
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        if (rest.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

std::string PacketText(const uint8_t* bytes, size_t size, const std::string& dir) {
    std::string text;
    size_t i = 0;
    auto printable = [](uint8_t b) { return b >= 0x20 && b <= 0x7E; };
    while (i < size) {
        if (!text.empty()) text += ' ';
        size_t run = 1;
        while (i + run < size && bytes[i + run] == bytes[i]) ++run;
        size_t textRun = 0;
        while (i + textRun < size && printable(bytes[i + textRun])) ++textRun;
        char hex[32];
        if (run >= 8 && run >= textRun) {
            std::snprintf(hex, sizeof hex, "%02X*%zu", bytes[i], run);
            text += hex;
            i += run;
        } else if (textRun >= 3) {
            text += '"';
            const size_t end = i + textRun;
            while (i < end) {
                if (!dir.empty() && end - i >= dir.size() &&
                    std::memcmp(bytes + i, dir.data(), dir.size()) == 0) {
                    text += "{dir}";
                    i += dir.size();
                    continue;
                }
                if (bytes[i] == '"' || bytes[i] == '\\') text += '\\';
                text += char(bytes[i]);
                ++i;
            }
            text += '"';
        } else {
            std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
            text += hex;
            ++i;
        }
    }
    return text;
}

bool ParsePacketText(const std::string& text, const std::string& dir, Bytes& out,
                     std::string& error) {
    out.clear();
    size_t i = 0;
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text.compare(i, 5, "{dir}") == 0) {
                    out.insert(out.end(), dir.begin(), dir.end());
                    i += 5;
                } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'x' &&
                           i + 3 < text.size() && hexValue(text[i + 2]) >= 0 &&
                           hexValue(text[i + 3]) >= 0) {
                    out.push_back(uint8_t(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3])));
                    i += 4;
                } else if (text[i] == '\\' && i + 1 < text.size()) {
                    out.push_back(uint8_t(text[i + 1]));
                    i += 2;
                } else {
                    out.push_back(uint8_t(text[i++]));
                }
            }
            if (i >= text.size()) {
                error = "unterminated text";
                return false;
            }
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || hexValue(text[i]) < 0 || hexValue(text[i + 1]) < 0) {
            error = "expected a hex byte at \"" + text.substr(i, 10) + "\"";
            return false;
        }
        const uint8_t value = uint8_t(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
        i += 2;
        size_t count = 1;
        if (i < text.size() && text[i] == '*') {
            ++i;
            count = 0;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                count = count * 10 + size_t(text[i++] - '0');
        }
        out.insert(out.end(), count, value);
    }
    if (out.empty() || out.size() > kMailboxSize) {
        error = "a packet has 1 to 2048 bytes, this one " + std::to_string(out.size());
        return false;
    }
    return true;
}

std::string DescribePacket(const Bytes& packet, const uint8_t* mailbox) {
    const uint16_t code = uint16_t(mailbox[0] << 8 | mailbox[1]);
    std::string text = std::to_string(code);
    const char* name = CommandName(code);
    text += name ? std::string(" ") + name : std::string(" (no command)");
    text += ", " + std::to_string(packet.size()) + " bytes";
    const int offset = name ? PathOffsetOf(code) : -1;
    if (offset >= 0) {
        std::string path = PathAt(mailbox, size_t(offset));
        if (path.size() > 80)
            path = path.substr(0, 60) + "...(" + std::to_string(path.size()) + " bytes)";
        for (char& c : path)
            if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E) c = '?';
        text += ", path \"" + path + "\"";
    }
    return text;
}
