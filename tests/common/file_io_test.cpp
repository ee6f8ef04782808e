// Whole-file replacement: the new content appears complete or not at all,
// whichever system call fails, through links, keeping the permission bits,
// and in place where no temporary file may be made. And the read side:
// only regular files open, nothing blocks, prefixes and ranges, and reads failed
// through the table.
#include "common/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void TearDown() override { ResetFileSyscalls(); }

    // Every entry in the directory, so a stray temporary file shows up.
    std::vector<std::string> Entries(const std::string& dir = "") const {
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(dir.empty() ? dir_.path() : dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScopedTempDir dir_;
};

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool IsLink(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST_F(FileIoTest, ReplacesTheWholeFileAndKeepsItsMode) {
    const std::string target = dir_.File("Configuration.dat");
    WriteWholeFile(target, std::string(2000, 'o'));
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);  // not what the umask gives
    const std::string fresh(1024, 'n');
    ASSERT_TRUE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
    EXPECT_EQ(ReadWholeFile(target), fresh);
    EXPECT_EQ(ModeOf(target), mode_t(0604));
    EXPECT_EQ(Entries(), std::vector<std::string>{"Configuration.dat"});
    EXPECT_EQ(FileSizeOf(target.c_str()), 1024);

    // A new file, an empty content, and a leftover temporary of a save that
    // was cut short.
    const std::string other = dir_.File("new.bin");
    WriteWholeFile(other + ".part", "stale");
    ASSERT_TRUE(SaveFileReplacing(other.c_str(), "", 0));
    EXPECT_EQ(FileSizeOf(other.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(other + ".part"));

    // A directory that may be written but not read cannot be synced; the
    // save stands.
    CurrentFileSyscalls().open = [](const char* path, int flags, mode_t mode) {
        if (flags & O_DIRECTORY) {
            errno = EACCES;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    EXPECT_TRUE(SaveFileReplacing(target.c_str(), "again", 5));
    EXPECT_EQ(ReadWholeFile(target), "again");
}

TEST_F(FileIoTest, WritesThroughSymbolicLinks) {
    std::filesystem::create_directory(dir_.File("real"));
    const std::string target = dir_.File("real/show.led");
    WriteWholeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    // link -> hop (relative, in another directory) -> real/show.led
    ASSERT_EQ(::symlink("real/hop", dir_.File("link").c_str()), 0);
    ASSERT_EQ(::symlink("show.led", dir_.File("real/hop").c_str()), 0);
    ASSERT_TRUE(SaveFileReplacing(dir_.File("link").c_str(), "new", 3));
    EXPECT_TRUE(IsLink(dir_.File("link")));
    EXPECT_TRUE(IsLink(dir_.File("real/hop")));
    EXPECT_EQ(ReadWholeFile(target), "new");
    EXPECT_EQ(ModeOf(target), mode_t(0640));
    EXPECT_EQ(Entries(dir_.File("real")), (std::vector<std::string>{"hop", "show.led"}));

    // A dangling link makes its target; a loop of links saves nothing.
    ASSERT_EQ(::symlink("real/later.led", dir_.File("dangling").c_str()), 0);
    ASSERT_TRUE(SaveFileReplacing(dir_.File("dangling").c_str(), "x", 1));
    EXPECT_EQ(ReadWholeFile(dir_.File("real/later.led")), "x");
    ASSERT_EQ(::symlink("loop2", dir_.File("loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", dir_.File("loop2").c_str()), 0);
    EXPECT_FALSE(SaveFileReplacing(dir_.File("loop1").c_str(), "x", 1));
    EXPECT_TRUE(IsLink(dir_.File("loop1")));
}

// The root user is not bound by permission bits: these tables make the
// refusals that a plain user meets.
int OpenRefusingUpdate(const char* path, int flags, mode_t mode) {
    if ((flags & O_ACCMODE) != O_RDONLY && !(flags & O_CREAT)) {
        errno = EACCES;
        return -1;
    }
    return ::open(path, flags, mode);
}
int OpenRefusingNewFiles(const char* path, int flags, mode_t mode) {
    if (flags & O_CREAT) {
        errno = EACCES;
        return -1;
    }
    return ::open(path, flags, mode);
}

TEST_F(FileIoTest, LeavesReadOnlyAndSpecialTargetsAlone) {
    const std::string target = dir_.File("Configuration.dat");
    const std::string old(1024, 'o');
    WriteWholeFile(target, old);
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    if (::access(target.c_str(), W_OK) == 0) CurrentFileSyscalls().open = OpenRefusingUpdate;
    const std::string fresh(1024, 'n');
    EXPECT_FALSE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
    EXPECT_EQ(ReadWholeFile(target), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Configuration.dat"});
    ResetFileSyscalls();

    // A FIFO (no reader: a blocking open would hang here), a directory and a
    // device stay what they are.
    ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0644), 0);
    std::filesystem::create_directory(dir_.File("folder"));
    for (const std::string& path :
         {dir_.File("fifo"), dir_.File("folder"), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(SaveFileReplacing(path.c_str(), "x", 1));
    }
    EXPECT_FALSE(std::filesystem::exists("/dev/null.part"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir_.File("fifo")));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.File("folder")));
    EXPECT_FALSE(SaveFileReplacing("", "x", 1));
}

TEST_F(FileIoTest, RewritesInPlaceWhereNoNewFileMayBeMade) {
    std::filesystem::create_directory(dir_.File("locked"));
    const std::string target = dir_.File("locked/1show.quor.line");
    WriteWholeFile(target, std::string(300, 'o'));
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir_.File("locked").c_str(), 0555), 0);
    if (::access(dir_.File("locked").c_str(), W_OK) == 0)
        CurrentFileSyscalls().open = OpenRefusingNewFiles;
    struct stat before;
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    for (const std::string& fresh : {std::string(100, 'n'), std::string(700, 'N')}) {
        ASSERT_TRUE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
        EXPECT_EQ(ReadWholeFile(target), fresh);
    }
    struct stat after;
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, rewritten
    EXPECT_EQ(Entries(dir_.File("locked")), std::vector<std::string>{"1show.quor.line"});

    // No file yet: nothing can be made.
    EXPECT_FALSE(SaveFileReplacing(dir_.File("locked/new").c_str(), "x", 1));
    ::chmod(dir_.File("locked").c_str(), 0755);
}

// Fails the Nth call made through the table (every entry counts); a failing
// write or pwrite puts half of its bytes on disk first, the worst a real
// failure can leave.
struct CallFailer {
    FileSyscalls real;
    int failAt;
    int calls;
    const char* failed;
    bool refuseNewFiles;  // the directory takes no new file
    bool refuseRename;    // nor a rename over the target (sticky)
    std::string trace;    // the calls made, in order
} g_failer;

bool Fails(const char* name) {
    g_failer.trace += std::string(name) + " ";
    if (++g_failer.calls != g_failer.failAt) return false;
    g_failer.failed = name;
    errno = EIO;
    return true;
}

FileSyscalls FailingTable() {
    FileSyscalls s;
    s.open = [](const char* path, int flags, mode_t mode) {
        if (Fails("open")) return -1;
        if (g_failer.refuseNewFiles) return OpenRefusingNewFiles(path, flags, mode);
        return g_failer.real.open(path, flags, mode);
    };
    s.close = [](int fd) {
        const bool fail = Fails("close");
        const int result = g_failer.real.close(fd);  // closed all the same, as on Linux
        return fail ? -1 : result;
    };
    s.read = [](int fd, void* data, size_t size) -> ssize_t {
        return Fails("read") ? -1 : g_failer.real.read(fd, data, size);
    };
    s.write = [](int fd, const void* data, size_t size) -> ssize_t {
        if (!Fails("write")) return g_failer.real.write(fd, data, size);
        g_failer.real.write(fd, data, size / 2);
        errno = EIO;
        return -1;
    };
    s.pwrite = [](int fd, const void* data, size_t size, off_t offset) -> ssize_t {
        if (!Fails("pwrite")) return g_failer.real.pwrite(fd, data, size, offset);
        g_failer.real.pwrite(fd, data, size / 2, offset);
        errno = EIO;
        return -1;
    };
    s.fsync = [](int fd) { return Fails("fsync") ? -1 : g_failer.real.fsync(fd); };
    s.ftruncate = [](int fd, off_t length) {
        return Fails("ftruncate") ? -1 : g_failer.real.ftruncate(fd, length);
    };
    s.fstat = [](int fd, struct stat* info) {
        return Fails("fstat") ? -1 : g_failer.real.fstat(fd, info);
    };
    s.stat = [](const char* path, struct stat* info) {
        return Fails("stat") ? -1 : g_failer.real.stat(path, info);
    };
    s.lstat = [](const char* path, struct stat* info) {
        return Fails("lstat") ? -1 : g_failer.real.lstat(path, info);
    };
    s.readlink = [](const char* path, char* buffer, size_t size) -> ssize_t {
        return Fails("readlink") ? -1 : g_failer.real.readlink(path, buffer, size);
    };
    s.fchmod = [](int fd, mode_t mode) {
        return Fails("fchmod") ? -1 : g_failer.real.fchmod(fd, mode);
    };
    s.rename = [](const char* from, const char* to) {
        if (Fails("rename")) return -1;
        if (g_failer.refuseRename) {
            errno = EPERM;
            return -1;
        }
        return g_failer.real.rename(from, to);
    };
    s.unlink = [](const char* path) { return Fails("unlink") ? -1 : g_failer.real.unlink(path); };
    return s;
}

TEST_F(FileIoTest, FailingAnyOneCallLeavesTheOldOrTheNewFileWhole) {
    enum Refused { Nothing, NewFiles, Rename };
    struct Case {
        const char* name;
        bool oldFile;
        bool throughLink;
        bool stalePart;  // a temporary file left by an interrupted save
        Refused refused;
        size_t oldSize;
        size_t newSize;
    } cases[] = {
        {"replace", true, false, false, Nothing, 1024, 1024},
        {"new file", false, false, false, Nothing, 0, 1024},
        {"through a link", true, true, false, Nothing, 1024, 1500},
        {"stale temporary", true, false, true, Nothing, 1024, 700},
        {"in place, longer", true, false, false, NewFiles, 600, 1500},
        {"in place, shorter", true, false, false, NewFiles, 1500, 600},
        {"in place, no rename", true, false, false, Rename, 1500, 600},
    };
    ResetFileSyscalls();
    g_failer.real = CurrentFileSyscalls();
    for (const Case& c : cases) {
        const std::string old(c.oldSize, 'o');
        const std::string fresh(c.newSize, 'n');
        const std::string target = dir_.File("show.led");
        const std::string name = c.throughLink ? dir_.File("link") : target;
        bool finished = false;
        for (int n = 1; !finished; ++n) {
            SCOPED_TRACE(std::string(c.name) + ", call " + std::to_string(n));
            ASSERT_LT(n, 100);
            for (const std::string& entry : Entries()) std::filesystem::remove(dir_.File(entry));
            if (c.oldFile) {
                WriteWholeFile(target, old);
                ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
            }
            if (c.throughLink) {
                ASSERT_EQ(::symlink("show.led", name.c_str()), 0);
            }
            if (c.stalePart) WriteWholeFile(target + ".part", "stale");
            g_failer.failAt = n;
            g_failer.calls = 0;
            g_failer.failed = nullptr;
            g_failer.trace.clear();
            g_failer.refuseNewFiles = c.refused == NewFiles;
            g_failer.refuseRename = c.refused == Rename;
            CurrentFileSyscalls() = FailingTable();
            const bool saved = SaveFileReplacing(name.c_str(), fresh.data(), fresh.size());
            ResetFileSyscalls();

            finished = g_failer.failed == nullptr;
            const std::string now = ReadWholeFile(target);
            if (saved || finished) {
                EXPECT_TRUE(saved);  // a run without a failure saves
                EXPECT_EQ(now, fresh);
                // Durable: the data is synced before the rename, and the
                // rename by a sync of the directory.
                const std::string& t = g_failer.trace;
                const size_t rename = t.find("rename");
                if (c.refused != Nothing) {
                    EXPECT_NE(t.find("fsync", t.rfind("pwrite")), std::string::npos) << t;
                } else {
                    ASSERT_NE(rename, std::string::npos) << t;
                    EXPECT_NE(t.rfind("fsync", rename), std::string::npos) << t;
                    EXPECT_GT(t.rfind("fsync"), rename) << t;
                }
            } else if (c.oldFile) {
                EXPECT_TRUE(now == old || now == fresh) << g_failer.failed << ": " << now.size();
            } else {
                EXPECT_TRUE(now.empty() || now == fresh) << g_failer.failed;
            }
            if (c.oldFile && (now == fresh || saved)) {
                EXPECT_EQ(ModeOf(target), mode_t(0640));
            }
            if (c.throughLink) {
                EXPECT_TRUE(IsLink(name));
            }
            // Only a failed clean-up may leave a temporary file behind, or
            // a stale one stay that was not reached.
            const bool cleanupFailed =
                g_failer.failed != nullptr && std::strcmp(g_failer.failed, "unlink") == 0;
            if (!cleanupFailed && std::filesystem::exists(target + ".part")) {
                EXPECT_TRUE(c.stalePart && ReadWholeFile(target + ".part") == "stale");
            }
        }
    }
}

// Path kinds that must never open as a file, nor block the caller.
class NotAFile : public FileIoTest {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0644), 0);
        std::filesystem::create_directory(dir_.File("folder"));
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir_.File("socket").c_str());
        ASSERT_EQ(::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::symlink("fifo", dir_.File("link-to-fifo").c_str()), 0);
    }
    void TearDown() override {
        ::close(socket_);
        FileIoTest::TearDown();
    }
    int socket_ = -1;
};

TEST_F(NotAFile, NoPathButARegularFileOpens) {
    const std::string kinds[] = {dir_.File("fifo"),
                                 dir_.File("folder"),
                                 dir_.File("socket"),
                                 dir_.File("link-to-fifo"),
                                 "/dev/null",
                                 "/dev/zero",
                                 "tcp://127.0.0.1:2023",
                                 "http://127.0.0.1/x.avi",
                                 dir_.File("missing"),
                                 ""};
    for (const std::string& path : kinds) {
        SCOPED_TRACE(path);
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(IsRegularFile(path.c_str()));
        EXPECT_EQ(OpenRegularFile(path.c_str(), O_RDONLY), -1);
        EXPECT_EQ(OpenRegularFileForReading(path.c_str()), nullptr);
        EXPECT_EQ(FileSizeOf(path.c_str()), -1);  // a directory once gave LONG_MAX
        EXPECT_FALSE(ReadFilePrefix(path.c_str(), 16, bytes));
    }

    // A regular file, also through a link, and the name a library can open it by.
    WriteWholeFile(dir_.File("file"), "content");
    ASSERT_EQ(::symlink("file", dir_.File("link-to-file").c_str()), 0);
    long size = 0;
    FILE* file = OpenRegularFileForReading(dir_.File("link-to-file").c_str(), &size);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(ReadWholeFile(DescriptorPath(::fileno(file))), "content");
    std::fclose(file);
}

TEST_F(NotAFile, AFifoSwappedInAfterTheCheckDoesNotBlock) {
    // The check sees a regular file; the open then meets the FIFO.
    CurrentFileSyscalls().stat = [](const char*, struct stat* info) {
        *info = {};
        info->st_mode = S_IFREG | 0644;
        return 0;
    };
    std::vector<uint8_t> bytes;
    EXPECT_EQ(OpenRegularFile(dir_.File("fifo").c_str(), O_RDONLY), -1);
    EXPECT_FALSE(ReadFilePrefix(dir_.File("fifo").c_str(), 16, bytes));
    EXPECT_EQ(FileSizeOf(dir_.File("folder").c_str()), -1);
}

TEST_F(FileIoTest, ReadsGoThroughTheTableSoATestCanFailThem) {
    const std::string path = dir_.File("data.bin");
    WriteWholeFile(path, "0123456789");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFilePrefix(path.c_str(), 4, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");
    char range[8] = {};
    size_t got = 0;
    ASSERT_TRUE(ReadFileAt(path.c_str(), 7, range, sizeof range, &got));
    EXPECT_EQ(std::string(range, got), "789");

    // A read that delivers nothing: the callers see a short file.
    CurrentFileSyscalls().read = [](int, void*, size_t) -> ssize_t { return 0; };
    ASSERT_TRUE(ReadFilePrefix(path.c_str(), 4, bytes));
    EXPECT_TRUE(bytes.empty());
    ASSERT_TRUE(ReadFileAt(path.c_str(), 0, range, sizeof range, &got));
    EXPECT_EQ(got, 0u);

    // An open that fails: nothing can be read, and the size is unknown.
    CurrentFileSyscalls().open = [](const char*, int, mode_t) -> int {
        errno = EACCES;
        return -1;
    };
    EXPECT_FALSE(ReadFilePrefix(path.c_str(), 4, bytes));
    EXPECT_FALSE(ReadFileAt(path.c_str(), 0, range, sizeof range, &got));
    EXPECT_EQ(FileSizeOf(path.c_str()), -1);
}

}  // namespace
