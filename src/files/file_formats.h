// The byte formats of the layout files, as pure functions from bytes to
// records and back: the chain file, the project header, the import list and
// the encrypted chain record. Nothing here touches the layout model, so the
// parsers can be tested and fuzzed on their own. Every parser takes
// untrusted input and keeps its output within the record it fills.
//
// Limits of untrusted input, the same everywhere: a file too short for what
// its header claims, or naming a port that does not exist, is refused whole;
// a count above its table is cut to the table; a chain is cut before its
// first LED off the grid; a name list is cut before its first name that does
// not fit (the 257th, or one longer than 511 characters).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/layout.h"

// ---- chain file: 256-byte header, N x values, N y values ----------------------

constexpr size_t kChainHeaderSize = 256;

struct ChainFileData {
    uint8_t color[3];  // red, green, blue
    uint16_t count;    // LEDs kept, at most 2048
    uint16_t port;     // port index 0..255
    ChainPoint points[kChainCapacity];
};

// False when the file is refused: shorter than its header and both arrays,
// or a port index above 255. N above 2048 keeps the first 2048 LEDs; the
// chain ends before the first LED with x or y above 2047.
bool ParseChainFile(const uint8_t* bytes, size_t size, ChainFileData& out);
// The 256 + 4N bytes of a chain file (count at most 2048).
std::vector<uint8_t> BuildChainFile(const uint8_t color[3], uint16_t portIndex,
                                    const ChainPoint* points, uint16_t count);

// ---- project header: 10240 bytes ------------------------------------------------

constexpr size_t kProjectHeaderSize = 10240;
constexpr size_t kHeaderScrollXOffset = 512;
constexpr size_t kHeaderScrollYOffset = 514;
constexpr size_t kHeaderCellSizeOffset = 516;

struct ProjectHeader {
    uint8_t bytes[kProjectHeaderSize];
};

// Copies the first `size` bytes (at most 10240) over the header; the bytes
// beyond keep their values.
void ApplyProjectHeaderBytes(ProjectHeader& header, const uint8_t* bytes, size_t size);
// Only the value 1 counts as set.
bool HeaderPortFlag(const ProjectHeader& header, int port);
void SetHeaderPortFlag(ProjectHeader& header, int port, bool used);
void SetHeaderView(ProjectHeader& header, uint16_t scrollX, uint16_t scrollY, uint8_t cellSize);

// The view an opened header gives: x above 2048 becomes 0, y above 2048
// becomes 2048, a cell size of 0 or above 16 becomes 16.
struct HeaderView {
    int32_t cellSize;
    uint16_t scrollX;
    uint16_t scrollY;
};
HeaderView ClampedHeaderView(const ProjectHeader& header);

// ---- import list: names of .iql files, one a line ---------------------------------

constexpr int kImportNameCount = 256;
constexpr size_t kImportNameSize = 512;

struct ImportNameList {
    char names[kImportNameCount][kImportNameSize];
    uint16_t count;
};

// Empties the list, then takes every entry of the NUL-terminated text: the
// text up to and including the next ".iql" (case-sensitive), skipping the
// two characters after it. Gives the number of entries.
int ParseImportNames(const char* text, ImportNameList& list);

// ---- encrypted chain record: 65796 bytes -------------------------------------------

constexpr size_t kImportRecordSize = 65796;
constexpr size_t kImportKeyVariationOffset = 20;
constexpr size_t kImportCoordinateOffset = 260;
constexpr size_t kImportCoordinateSize = 65536;
constexpr size_t kImportKeySize = 32;

struct ImportRecord {
    uint8_t bytes[kImportRecordSize];
};

// The fixed key every .iql file is encrypted with, before the per-file
// variation of its bytes 16..31.
extern const uint8_t ImportBaseKey[kImportKeySize];

// The coordinate area deciphered (or enciphered) as 4096 independent AES-256
// blocks with the record's file key; bytes 0..259 unchanged. False only when
// the cipher could not be set up.
bool DecryptImportRecord(ImportRecord& record);
bool EncryptImportRecord(ImportRecord& record);

uint16_t ImportPortField(const ImportRecord& record);
uint16_t ImportLedCount(const ImportRecord& record);
// Slot i of the (deciphered) coordinate area as a grid point: (x, 2047 - y).
ChainPoint ImportLedPoint(const ImportRecord& record, int i);
// Writes slot i from a grid point (the maker tool).
void SetImportLedPoint(ImportRecord& record, int i, ChainPoint point);

enum class ImportDecode { Ok, BadSize, BadPort };

// A whole .iql file into a table entry: refused when its size is not 65796
// bytes or its port number is 0 or above 256; N above 2048 becomes 2048;
// deciphered; the chain cut before its first LED off the grid; the port
// field then holds the port index.
ImportDecode DecodeImportFile(const uint8_t* bytes, size_t size, ImportRecord& out);
