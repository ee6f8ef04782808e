// Checked, non-blocking opens of regular files, and whole-file replacement
// through a synced temporary file, a rename and a synced directory.
#include "common/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/common.h"

namespace {

int DefaultOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
int DefaultClose(int fd) {
    return ::close(fd);
}
ssize_t DefaultRead(int fd, void* data, size_t size) {
    return ::read(fd, data, size);
}
ssize_t DefaultWrite(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
ssize_t DefaultPwrite(int fd, const void* data, size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}
int DefaultFsync(int fd) {
    return ::fsync(fd);
}
int DefaultFtruncate(int fd, off_t length) {
    return ::ftruncate(fd, length);
}
int DefaultFstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}
int DefaultStat(const char* path, struct stat* info) {
    return ::stat(path, info);
}
int DefaultLstat(const char* path, struct stat* info) {
    return ::lstat(path, info);
}
ssize_t DefaultReadlink(const char* path, char* buffer, size_t size) {
    return ::readlink(path, buffer, size);
}
int DefaultFchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int DefaultRename(const char* from, const char* to) {
    return ::rename(from, to);
}
int DefaultUnlink(const char* path) {
    return ::unlink(path);
}

const FileSyscalls kDefaultSyscalls = {DefaultOpen,   DefaultClose, DefaultRead,      DefaultWrite,
                                       DefaultPwrite, DefaultFsync, DefaultFtruncate, DefaultFstat,
                                       DefaultStat,   DefaultLstat, DefaultReadlink,  DefaultFchmod,
                                       DefaultRename, DefaultUnlink};

FileSyscalls g_syscalls = kDefaultSyscalls;

// Symbolic links followed before a save gives up, as the kernel does.
constexpr int kMaxLinkHops = 40;

// Errors of making or renaming the temporary file that mean "no file may be
// made or replaced here", after which a writable target is rewritten in place.
bool NoNewFileAllowed(int error) {
    return error == EACCES || error == EPERM || error == ENAMETOOLONG;
}

// Reads from the descriptor's position up to `limit` bytes or the end.
bool ReadUpTo(int fd, size_t limit, std::vector<uint8_t>& bytes) {
    bytes.clear();
    uint8_t chunk[65536];
    while (bytes.size() < limit) {
        const size_t wanted = std::min(sizeof chunk, limit - bytes.size());
        const ssize_t n = g_syscalls.read(fd, chunk, wanted);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return true;
}

// The directory whose entry a save of `path` changes: "." for a bare name.
std::string DirectoryToSync(const char* path) {
    const std::string directory = DirectoryOf(path, PathStyle::Posix);
    return directory.empty() ? std::string(".") : directory;
}

// Follows symbolic links from `path` to the name a save writes. `exists`
// tells whether something is there, and `info` what (not followed).
bool ResolveLinks(const char* path, std::string& target, bool& exists, struct stat& info) {
    target = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        if (g_syscalls.lstat(target.c_str(), &info) != 0) {
            exists = false;
            return errno == ENOENT;
        }
        exists = true;
        if (!S_ISLNK(info.st_mode)) return true;
        char buffer[PATH_MAX];
        const ssize_t n = g_syscalls.readlink(target.c_str(), buffer, sizeof buffer);
        if (n <= 0 || size_t(n) >= sizeof buffer) return false;
        const std::string link(buffer, size_t(n));
        const size_t slash = target.rfind('/');
        if (link[0] == '/' || slash == std::string::npos)
            target = link;
        else
            target = target.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

// The temporary file beside the target; a leftover of an interrupted save
// is removed first.
int CreateTemporary(const std::string& temporary, mode_t mode) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    int fd = g_syscalls.open(temporary.c_str(), flags, mode);
    if (fd < 0 && errno == EEXIST) {
        if (g_syscalls.unlink(temporary.c_str()) != 0) return -1;
        fd = g_syscalls.open(temporary.c_str(), flags, mode);
    }
    return fd;
}

// Content, permission bits and sync; the descriptor is closed in any case.
bool FillTemporary(int fd, const uint8_t* data, size_t size, bool keepMode, mode_t mode) {
    bool ok = WriteFully(fd, data, size);
    ok = ok && (!keepMode || g_syscalls.fchmod(fd, mode) == 0);
    ok = ok && g_syscalls.fsync(fd) == 0;
    return g_syscalls.close(fd) == 0 && ok;
}

// Makes the rename durable. A directory we may not read cannot be synced;
// the rename stands and nothing more can be done there.
bool SyncDirectory(const std::string& directory) {
    const int fd =
        g_syscalls.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) return errno == EACCES;
    const bool synced = g_syscalls.fsync(fd) == 0;
    return g_syscalls.close(fd) == 0 && synced;
}

// Rewrites the open target in place. When any step fails the old content is
// written back, so the file is the old or the new one, never a mix, unless
// the machine stops in between (no temporary file means no atomic swap).
bool RewriteInPlace(int fd, const uint8_t* data, size_t size) {
    std::vector<uint8_t> old;
    if (!ReadUpTo(fd, SIZE_MAX, old)) return false;
    if (WriteFully(fd, data, size, 0) && g_syscalls.ftruncate(fd, off_t(size)) == 0 &&
        g_syscalls.fsync(fd) == 0)
        return true;
    if (WriteFully(fd, old.data(), old.size(), 0)) g_syscalls.ftruncate(fd, off_t(old.size()));
    g_syscalls.fsync(fd);
    return false;
}

// `fd` when what it names is a regular file (its status in `info`);
// otherwise it is closed and the result is -1.
int KeepIfRegular(int fd, struct stat& info) {
    if (g_syscalls.fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        g_syscalls.close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// The open of a regular file with its status, or -1.
int OpenChecked(const char* path, int flags, struct stat& info) {
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return -1;
    }
    // Checked before the open, so a device or FIFO is never opened at all,
    // and again on the descriptor, as the name may have changed in between
    // (the open cannot block on a FIFO: it is non-blocking).
    if (g_syscalls.stat(path, &info) != 0) return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = g_syscalls.open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) return -1;
    return KeepIfRegular(fd, info);
}

}  // namespace

FileSyscalls& CurrentFileSyscalls() {
    return g_syscalls;
}

void ResetFileSyscalls() {
    g_syscalls = kDefaultSyscalls;
}

bool WriteFully(int fd, const void* data, size_t size, off_t at) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n =
            at < 0 ? g_syscalls.write(fd, bytes, size) : g_syscalls.pwrite(fd, bytes, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes += n;
        size -= size_t(n);
        if (at >= 0) at += n;
    }
    return true;
}

bool SaveFileReplacing(const char* path, const void* data, size_t size) {
    if (path == nullptr || *path == '\0') return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::string target;
    bool exists = false;
    struct stat info;
    if (!ResolveLinks(path, target, exists, info)) return false;

    // An existing target must be a regular file we may write; it stays open
    // for a rewrite in place.
    int existing = -1;
    if (exists) {
        if (!S_ISREG(info.st_mode)) return false;
        existing = OpenChecked(target.c_str(), O_RDWR, info);
        if (existing < 0) return false;
    }
    const mode_t mode = exists ? (info.st_mode & 07777) : 0666;

    const std::string temporary = target + ".part";
    const int fd = CreateTemporary(temporary, exists ? 0600 : 0666);
    bool saved = false;
    if (fd < 0) {
        saved = existing >= 0 && NoNewFileAllowed(errno) && RewriteInPlace(existing, bytes, size);
    } else if (!FillTemporary(fd, bytes, size, exists, mode)) {
        g_syscalls.unlink(temporary.c_str());
    } else if (g_syscalls.rename(temporary.c_str(), target.c_str()) != 0) {
        // Another user's file in a sticky directory (such as /tmp) may be
        // written but not replaced.
        const int error = errno;
        g_syscalls.unlink(temporary.c_str());
        saved = existing >= 0 && NoNewFileAllowed(error) && RewriteInPlace(existing, bytes, size);
    } else {
        saved = SyncDirectory(DirectoryToSync(target.c_str()));
    }
    if (existing >= 0) g_syscalls.close(existing);
    return saved;
}

bool SaveTargetOf(const char* path, std::string* target, mode_t* mode) {
    bool exists = false;
    struct stat info;
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return false;
    }
    if (!ResolveLinks(path, *target, exists, info)) return false;
    if (exists && !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    *mode = exists ? (info.st_mode & 07777) : 0;
    return true;
}

bool SyncDirectoryOf(const char* path) {
    return SyncDirectory(DirectoryToSync(path));
}

bool IsRegularFile(const char* path) {
    struct stat info;
    return path != nullptr && *path != '\0' && g_syscalls.stat(path, &info) == 0 &&
           S_ISREG(info.st_mode);
}

int OpenRegularFile(const char* path, int flags) {
    struct stat info;
    return OpenChecked(path, flags, info);
}

int OpenRegularFileForWriting(const char* path) {
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return -1;
    }
    struct stat info;
    if (g_syscalls.stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // O_TRUNC does nothing to a FIFO or device swapped in meanwhile, and the
    // descriptor check then refuses it.
    const int fd = g_syscalls.open(
        path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    return KeepIfRegular(fd, info);
}

FILE* OpenRegularFileForReading(const char* path, long* size) {
    struct stat info;
    const int fd = OpenChecked(path, O_RDONLY, info);
    if (fd < 0) return nullptr;
    FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        g_syscalls.close(fd);
        return nullptr;
    }
    if (size != nullptr) *size = long(info.st_size);
    return file;
}

const char* OpenFailureText(int error) {
    return error == EINVAL ? "not a regular file" : std::strerror(error);
}

std::string DescriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

long FileSizeOf(const char* path) {
    struct stat info;
    const int fd = OpenChecked(path, O_RDONLY, info);
    if (fd < 0) return -1;
    g_syscalls.close(fd);
    return long(info.st_size);
}

bool ReadFilePrefix(const char* path, size_t limit, std::vector<uint8_t>& bytes, bool forUpdate) {
    bytes.clear();
    const int fd = OpenRegularFile(path, forUpdate ? O_RDWR : O_RDONLY);
    if (fd < 0) return false;
    const bool read = ReadUpTo(fd, limit, bytes);
    g_syscalls.close(fd);
    if (!read) bytes.clear();
    return read;
}

bool ReadFileAt(const char* path, long offset, void* data, size_t size, size_t* got) {
    *got = 0;
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return false;
    bool reached = ::lseek(fd, off_t(offset), SEEK_SET) == off_t(offset);
    uint8_t* target = static_cast<uint8_t*>(data);
    while (reached && *got < size) {
        const ssize_t n = g_syscalls.read(fd, target + *got, size - *got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) reached = false;
        if (n <= 0) break;
        *got += size_t(n);
    }
    g_syscalls.close(fd);
    return reached;
}
