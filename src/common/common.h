// Shared helpers every subsystem uses: the packed colour of the settings and
// port records, path splitting in both path conventions, and little/big-endian
// byte access for the file formats and the wire protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A colour as the bytes red, green, blue and one spare byte. Read as a
// little-endian 32-bit number it is 0x00BBGGRR (spare byte in the high byte).
struct PackedColor {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t spare;
};
static_assert(sizeof(PackedColor) == 4);

// red = (value & 0xFF) / 255, green = ((value >> 8) & 0xFF) / 255,
// blue = ((value >> 16) & 0xFF) / 255.
void ColorToFloats(uint32_t packedValue, float rgb[3]);
void ColorToFloats(PackedColor color, float rgb[3]);

// Windows: directories end at the last backslash or slash, file names start
// after the last backslash only. Posix: both split at the last slash.
enum class PathStyle { Windows, Posix };

// The style of the platform we run on (chosen when it is built).
PathStyle NativePathStyle();

// The text before the last separator, without it; "" when there is none,
// the separator itself when it is the first character (the root).
std::string DirectoryOf(const char* path, PathStyle style);
std::string DirectoryOf(const char* path);
// The text after the last separator (extension included); the whole path
// when there is none.
std::string FileNameOf(const char* path, PathStyle style);
std::string FileNameOf(const char* path);

// directory + separator + name, with no second separator after a directory
// that ends in one (the root); an empty directory means the current
// directory, so the result is the bare name.
std::string JoinPath(const std::string& directory, const std::string& name, PathStyle style);
std::string JoinPath(const std::string& directory, const std::string& name);

// Whether `text` ends with `end`.
inline bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

inline uint16_t ReadBE16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t ReadBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint16_t ReadLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t ReadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t ReadLE64(const uint8_t* p) {
    return uint64_t(ReadLE32(p)) | (uint64_t(ReadLE32(p + 4)) << 32);
}
inline void WriteBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void WriteBE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline void WriteLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void WriteLE64(uint8_t* p, uint64_t v) {
    WriteLE32(p, uint32_t(v));
    WriteLE32(p + 4, uint32_t(v >> 32));
}
