// File writes that never leave a damaged file behind, and the reads of
// every file the program takes in. The new content is written to a
// temporary file beside the target and renamed over it only when every byte
// is on disk; a failure leaves the old file as it was. Writes and reads go
// through a small table so tests can make one of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct FileSyscalls {
    FILE* (*open)(const char* path, const char* mode);
    size_t (*write)(const void* data, size_t size, size_t count, FILE* file);
    int (*flush)(FILE* file);
    int (*close)(FILE* file);
    int (*rename)(const char* from, const char* to);
    size_t (*read)(void* data, size_t size, size_t count, FILE* file);
};

// The table in use; tests replace entries and call ResetFileSyscalls after.
FileSyscalls& CurrentFileSyscalls();
void ResetFileSyscalls();

// Replaces the file at `path` with `size` bytes. An existing file that may
// not be written (read-only) is left alone, as a direct write would fail.
// Returns whether the new content is in place.
bool SaveFileReplacing(const char* path, const void* data, size_t size);

// Size of the file in bytes, or -1 when it cannot be opened.
long FileSizeOf(const char* path);

// Up to `limit` bytes from the start of the file; false when it cannot be
// opened for reading.
bool ReadFilePrefix(const char* path, size_t limit, std::vector<uint8_t>& bytes);

// Up to `size` bytes from byte `offset` of the file into `data`; `got`
// tells how many came. False when the file cannot be opened or the offset
// cannot be reached.
bool ReadFileAt(const char* path, long offset, void* data, size_t size, size_t* got);
