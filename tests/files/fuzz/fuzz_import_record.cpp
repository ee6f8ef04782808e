// Fuzzes the .iql record decoder. The input is taken as it is and also
// padded or cut to the record size, so the decryption and the checks after
// it run on every input.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/file_formats.h"

static void Check(const uint8_t* data, size_t size) {
    static ImportRecord record;
    if (DecodeImportFile(data, size, record) != ImportDecode::Ok) return;
    if (size != kImportRecordSize) std::abort();
    if (ImportPortField(record) >= kPortCount) std::abort();
    uint16_t count = ImportLedCount(record);
    if (count > kChainCapacity) std::abort();
    for (int i = 0; i < count; ++i) {
        ChainPoint point = ImportLedPoint(record, i);
        if (point.x > kGridMax || point.y > kGridMax) std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size);
    static std::vector<uint8_t> whole(kImportRecordSize);
    std::memset(whole.data(), 0, whole.size());
    std::memcpy(whole.data(), data, size < whole.size() ? size : whole.size());
    Check(whole.data(), whole.size());
    return 0;
}
