// Whole-file replacement: the new content appears complete or not at all,
// and a failed save leaves neither a damaged target nor a temporary file.
// Reads: prefixes and ranges, and reads failed through the table.
#include "common/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void TearDown() override { ResetFileSyscalls(); }

    // Every entry in the directory, so a stray temporary file shows up.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    ScopedTempDir dir_;
};

TEST_F(FileIoTest, ReplacesTheWholeFile) {
    const std::string target = dir_.File("Configuration.dat");
    WriteWholeFile(target, std::string(2000, 'o'));
    const std::string fresh(1024, 'n');
    ASSERT_TRUE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
    EXPECT_EQ(ReadWholeFile(target), fresh);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Configuration.dat"});
    EXPECT_EQ(FileSizeOf(target.c_str()), 1024);
    EXPECT_EQ(FileSizeOf(dir_.File("missing").c_str()), -1);

    // A new file, and an empty content.
    const std::string other = dir_.File("new.bin");
    ASSERT_TRUE(SaveFileReplacing(other.c_str(), "", 0));
    EXPECT_EQ(FileSizeOf(other.c_str()), 0);
}

struct Failure {
    const char* name;
    void (*inject)(FileSyscalls&);
};

const Failure kFailures[] = {
    {"open",
     [](FileSyscalls& s) { s.open = [](const char*, const char*) -> FILE* { return nullptr; }; }},
    {"short write",
     [](FileSyscalls& s) {
         s.write = [](const void* data, size_t, size_t count, FILE* file) {
             return std::fwrite(data, 1, count / 2, file);
         };
     }},
    {"flush", [](FileSyscalls& s) { s.flush = [](FILE*) { return EOF; }; }},
    {"close",
     [](FileSyscalls& s) {
         s.close = [](FILE* file) {
             std::fclose(file);
             return EOF;
         };
     }},
    {"rename", [](FileSyscalls& s) { s.rename = [](const char*, const char*) { return -1; }; }},
};

TEST_F(FileIoTest, AFailedStepKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string target = dir_.File("Configuration.dat");
    const std::string old(1024, 'o');
    const std::string fresh(1024, 'n');
    for (const Failure& failure : kFailures) {
        SCOPED_TRACE(failure.name);
        WriteWholeFile(target, old);
        ResetFileSyscalls();
        failure.inject(CurrentFileSyscalls());
        EXPECT_FALSE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
        EXPECT_EQ(ReadWholeFile(target), old);
        EXPECT_EQ(Entries(), std::vector<std::string>{"Configuration.dat"});

        // Without an old file, a failed save creates nothing.
        std::remove(target.c_str());
        EXPECT_FALSE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
        EXPECT_TRUE(Entries().empty());
    }
}

TEST_F(FileIoTest, LeavesAReadOnlyTargetAlone) {
    const std::string target = dir_.File("Configuration.dat");
    const std::string old(1024, 'o');
    WriteWholeFile(target, old);
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    if (access(target.c_str(), W_OK) == 0) {
        // The permission bits do not bind this user (root): refuse the
        // update like the system does for everyone else.
        CurrentFileSyscalls().open = [](const char* path, const char* mode) -> FILE* {
            struct stat info;
            if (std::string(mode) == "rb+" && stat(path, &info) == 0 && (info.st_mode & 0222) == 0)
                return nullptr;
            return std::fopen(path, mode);
        };
    }
    const std::string fresh(1024, 'n');
    EXPECT_FALSE(SaveFileReplacing(target.c_str(), fresh.data(), fresh.size()));
    EXPECT_EQ(ReadWholeFile(target), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Configuration.dat"});
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
    CurrentFileSyscalls().read = [](void*, size_t, size_t, FILE*) -> size_t { return 0; };
    ASSERT_TRUE(ReadFilePrefix(path.c_str(), 4, bytes));
    EXPECT_TRUE(bytes.empty());
    ASSERT_TRUE(ReadFileAt(path.c_str(), 0, range, sizeof range, &got));
    EXPECT_EQ(got, 0u);

    // An open that fails: nothing can be read, and the size is unknown.
    CurrentFileSyscalls().open = [](const char*, const char*) -> FILE* { return nullptr; };
    EXPECT_FALSE(ReadFilePrefix(path.c_str(), 4, bytes));
    EXPECT_FALSE(ReadFileAt(path.c_str(), 0, range, sizeof range, &got));
    EXPECT_EQ(FileSizeOf(path.c_str()), -1);
}

}  // namespace
