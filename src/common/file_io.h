// File reads that never block and file writes that never leave a damaged
// file behind.
//
// Reads: every path the program or its tools read must name a regular file
// (directly or through symbolic links). A FIFO, socket, device, directory or
// a name that does not exist (a URL such as tcp://host:port is one) is a file
// that cannot be opened. Opens are non-blocking and the opened descriptor is
// checked again, so a FIFO swapped in after the check cannot stall a read.
//
// Writes: the new content is written to a temporary file beside the target,
// synced, renamed over it, and the directory is synced; a failure leaves the
// old file as it was. The calls go through a table so tests can make any one
// of them fail.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct FileSyscalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* data, size_t size);
    ssize_t (*write)(int fd, const void* data, size_t size);
    ssize_t (*pwrite)(int fd, const void* data, size_t size, off_t offset);
    int (*fsync)(int fd);
    int (*ftruncate)(int fd, off_t length);
    int (*fstat)(int fd, struct stat* info);
    int (*stat)(const char* path, struct stat* info);
    int (*lstat)(const char* path, struct stat* info);
    ssize_t (*readlink)(const char* path, char* buffer, size_t size);
    int (*fchmod)(int fd, mode_t mode);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
};

// The table in use; tests replace entries and call ResetFileSyscalls after.
FileSyscalls& CurrentFileSyscalls();
void ResetFileSyscalls();

// Replaces the file at `path` with `size` bytes and makes the change durable
// (file and directory synced). A symbolic link is written through: its final
// target gets the content and the link stays. The old file's permission bits
// are kept. Where no temporary file can be made beside the target (a
// directory we may not write into), or it may not replace the target (a
// sticky directory), but the file itself is writable, the file is rewritten
// in place, and put back as it was when that fails. An existing
// target that may not be written (read-only) or is not a regular file is
// left alone. Returns whether the new content is in place and synced.
bool SaveFileReplacing(const char* path, const void* data, size_t size);

// Writes all `size` bytes at the descriptor's position (`at` < 0) or at
// offset `at`, through the table, again after EINTR and short writes;
// false with errno set (EIO when nothing could be written).
bool WriteFully(int fd, const void* data, size_t size, off_t at = -1);

// Where a save of `path` lands, for writers that stream their own
// temporary file (`<target>.part`) and rename it as SaveFileReplacing does:
// symbolic links followed to the final name (`target`), and the permission
// bits of the old file (`mode`; 0 when there is none, so a new file takes
// the default ones).
// False with errno set when the links cannot be followed, or EINVAL when
// something other than a regular file is there.
bool SaveTargetOf(const char* path, std::string* target, mode_t* mode);

// Makes the renames into the directory of `path` durable ("." for a name
// without one). True also where the directory may not be read.
bool SyncDirectoryOf(const char* path);

// Whether `path` names an existing regular file (symbolic links followed).
bool IsRegularFile(const char* path);

// Opens `path` (flags O_RDONLY or O_RDWR) only when it is a regular file,
// without blocking. Returns the descriptor, or -1 with errno set (EINVAL for
// something that is not a regular file).
int OpenRegularFile(const char* path, int flags);

// Creates or truncates `path` for writing, without blocking, only where it
// is (or becomes) a regular file. Returns the descriptor, or -1 with errno
// set (EINVAL for something that exists and is not a regular file).
int OpenRegularFileForWriting(const char* path);

// The same as a stdio stream for binary reading; `size`, when given, gets
// the file's size in bytes. nullptr when it cannot be opened.
FILE* OpenRegularFileForReading(const char* path, long* size = nullptr);

// The cause of a failed open for a message: "not a regular file" for what
// OpenRegularFile refuses, otherwise the system's text for `error`.
const char* OpenFailureText(int error);

// A name through which a library that opens files by name reaches exactly
// the file behind `fd` (a descriptor of a regular file), never anything the
// name could otherwise mean to it (a URL, a numbered image sequence).
std::string DescriptorPath(int fd);

// Size of the file in bytes, or -1 when it cannot be opened (or is not a
// regular file).
long FileSizeOf(const char* path);

// Up to `limit` bytes from the start of the file; false when it cannot be
// opened for reading (or, with `forUpdate`, for reading and writing).
bool ReadFilePrefix(const char* path, size_t limit, std::vector<uint8_t>& bytes,
                    bool forUpdate = false);

// Up to `size` bytes from byte `offset` of the file into `data`; `got`
// tells how many came. False when the file cannot be opened or the offset
// cannot be reached.
bool ReadFileAt(const char* path, long offset, void* data, size_t size, size_t* got);
