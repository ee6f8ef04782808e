// Parsing and building of the layout file formats, and the cut-or-refuse
// rules for untrusted input (see file_formats.h).
#include "files/file_formats.h"

#include <cstring>

#include "common/common.h"
#include "files/aes.h"

// ---- chain file --------------------------------------------------------------

bool ParseChainFile(const uint8_t* bytes, size_t size, ChainFileData& out) {
    if (size < kChainHeaderSize) return false;
    size_t fileCount = ReadLE16(bytes + 4);
    uint16_t port = ReadLE16(bytes + 6);
    if (port >= kPortCount) return false;
    if (size < kChainHeaderSize + 4 * fileCount) return false;
    std::memcpy(out.color, bytes, 3);
    out.port = port;
    const uint8_t* xs = bytes + kChainHeaderSize;
    const uint8_t* ys = xs + 2 * fileCount;
    size_t kept = fileCount < size_t(kChainCapacity) ? fileCount : size_t(kChainCapacity);
    size_t i = 0;
    for (; i < kept; ++i) {
        uint16_t x = ReadLE16(xs + 2 * i);
        uint16_t y = ReadLE16(ys + 2 * i);
        if (x > kGridMax || y > kGridMax) break;
        out.points[i] = {x, y};
    }
    out.count = uint16_t(i);
    return true;
}

std::vector<uint8_t> BuildChainFile(const uint8_t color[3], uint16_t portIndex,
                                    const ChainPoint* points, uint16_t count) {
    std::vector<uint8_t> bytes(kChainHeaderSize + 4 * size_t(count), 0);
    std::memcpy(bytes.data(), color, 3);
    WriteLE16(bytes.data() + 4, count);
    WriteLE16(bytes.data() + 6, portIndex);
    uint8_t* xs = bytes.data() + kChainHeaderSize;
    uint8_t* ys = xs + 2 * size_t(count);
    for (size_t i = 0; i < count; ++i) {
        WriteLE16(xs + 2 * i, points[i].x);
        WriteLE16(ys + 2 * i, points[i].y);
    }
    return bytes;
}

// ---- project header ------------------------------------------------------------

void ApplyProjectHeaderBytes(ProjectHeader& header, const uint8_t* bytes, size_t size) {
    if (size > kProjectHeaderSize) size = kProjectHeaderSize;
    if (size > 0) std::memcpy(header.bytes, bytes, size);
}

bool HeaderPortFlag(const ProjectHeader& header, int port) {
    return header.bytes[port] == 1;
}

void SetHeaderPortFlag(ProjectHeader& header, int port, bool used) {
    header.bytes[port] = used ? 1 : 0;
}

void SetHeaderView(ProjectHeader& header, uint16_t scrollX, uint16_t scrollY, uint8_t cellSize) {
    WriteLE16(header.bytes + kHeaderScrollXOffset, scrollX);
    WriteLE16(header.bytes + kHeaderScrollYOffset, scrollY);
    header.bytes[kHeaderCellSizeOffset] = cellSize;
}

HeaderView ClampedHeaderView(const ProjectHeader& header) {
    uint16_t x = ReadLE16(header.bytes + kHeaderScrollXOffset);
    uint16_t y = ReadLE16(header.bytes + kHeaderScrollYOffset);
    int32_t cell = header.bytes[kHeaderCellSizeOffset];
    if (x > kGridSide) x = 0;
    if (y > kGridSide) y = kGridSide;
    if (cell == 0 || cell > 16) cell = 16;
    return {cell, x, y};
}

// ---- import list -------------------------------------------------------------------

int ParseImportNames(const char* text, ImportNameList& list) {
    std::memset(&list, 0, sizeof list);
    size_t length = std::strlen(text);
    size_t position = 0;
    int count = 0;
    while (position < length) {
        const char* found = std::strstr(text + position, ".iql");
        if (found == nullptr) break;
        size_t end = size_t(found - text) + 4;
        size_t nameLength = end - position;
        if (count == kImportNameCount || nameLength >= kImportNameSize) break;
        std::memcpy(list.names[count], text + position, nameLength);
        ++count;
        position = end + 2;
    }
    list.count = uint16_t(count);
    return count;
}

// ---- encrypted chain record -----------------------------------------------------------

const uint8_t ImportBaseKey[kImportKeySize] = {
    0x51, 0x7a, 0x3c, 0x94, 0xe2, 0x08, 0x6b, 0xd1, 0x2f, 0xa5, 0x90, 0x47, 0xce, 0x13, 0x7e, 0xb8,
    0x64, 0x0d, 0xf9, 0x32, 0x8a, 0x5e, 0xc7, 0x21, 0x9b, 0x46, 0xe0, 0x7d, 0x15, 0xaf, 0x68, 0xc3,
};

// Bytes 0..15 of the base key as they are, bytes 16..31 XOR the record's
// key variation bytes 20..35.
static void ImportFileKey(const uint8_t* record, uint8_t key[kImportKeySize]) {
    for (size_t k = 0; k < 16; ++k) key[k] = ImportBaseKey[k];
    for (size_t k = 0; k < 16; ++k)
        key[16 + k] = ImportBaseKey[16 + k] ^ record[kImportKeyVariationOffset + k];
}

static bool CipherCoordinates(ImportRecord& record, bool decrypt) {
    uint8_t keyBytes[kImportKeySize];
    ImportFileKey(record.bytes, keyBytes);
    AesKey key = {};
    bool ready = AesExpandKey(key, keyBytes, sizeof keyBytes);
    if (ready) {
        uint8_t* area = record.bytes + kImportCoordinateOffset;
        size_t blocks = kImportCoordinateSize / kAesBlockSize;
        ready = decrypt ? AesDecryptBlocks(key, area, blocks) : AesEncryptBlocks(key, area, blocks);
    }
    AesReleaseKey(key);
    return ready;
}

bool DecryptImportRecord(ImportRecord& record) {
    return CipherCoordinates(record, true);
}
bool EncryptImportRecord(ImportRecord& record) {
    return CipherCoordinates(record, false);
}

uint16_t ImportPortField(const ImportRecord& record) {
    return ReadLE16(record.bytes);
}
uint16_t ImportLedCount(const ImportRecord& record) {
    return ReadLE16(record.bytes + 2);
}

ChainPoint ImportLedPoint(const ImportRecord& record, int i) {
    const uint8_t* slot = record.bytes + kImportCoordinateOffset + 4 * size_t(i);
    return {ReadLE16(slot), uint16_t(kGridMax - ReadLE16(slot + 2))};
}

void SetImportLedPoint(ImportRecord& record, int i, ChainPoint point) {
    uint8_t* slot = record.bytes + kImportCoordinateOffset + 4 * size_t(i);
    WriteLE16(slot, point.x);
    WriteLE16(slot + 2, uint16_t(kGridMax - point.y));
}

ImportDecode DecodeImportFile(const uint8_t* bytes, size_t size, ImportRecord& out) {
    if (size != kImportRecordSize) return ImportDecode::BadSize;
    uint16_t portNumber = ReadLE16(bytes);
    if (portNumber == 0 || portNumber > kPortCount) return ImportDecode::BadPort;
    std::memcpy(out.bytes, bytes, kImportRecordSize);
    uint16_t count = ImportLedCount(out);
    if (count > kChainCapacity) count = kChainCapacity;
    if (!DecryptImportRecord(out)) return ImportDecode::BadSize;
    int kept = 0;
    for (; kept < count; ++kept) {
        const uint8_t* slot = out.bytes + kImportCoordinateOffset + 4 * size_t(kept);
        if (ReadLE16(slot) > kGridMax || ReadLE16(slot + 2) > kGridMax) break;
    }
    WriteLE16(out.bytes + 2, uint16_t(kept));
    WriteLE16(out.bytes, uint16_t(portNumber - 1));
    return ImportDecode::Ok;
}
