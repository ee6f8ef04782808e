// Path splitting and joining in the Windows and the Posix convention.
#include <gtest/gtest.h>

#include "common/common.h"

namespace {

struct SplitCase {
    const char* path;
    PathStyle style;
    const char* directory;
    const char* fileName;
};

const SplitCase kSplitCases[] = {
    // Windows: directories end at '\' or '/', file names start after '\' only.
    {"C:\\a\\b.quor", PathStyle::Windows, "C:\\a", "b.quor"},
    {"C:/a/b.quor", PathStyle::Windows, "C:/a", "C:/a/b.quor"},
    {"C:\\a/b\\c.line", PathStyle::Windows, "C:\\a/b", "c.line"},
    {"C:\\a\\b/c.line", PathStyle::Windows, "C:\\a\\b", "b/c.line"},
    {"b.quor", PathStyle::Windows, "", "b.quor"},
    {"\\b.quor", PathStyle::Windows, "\\", "b.quor"},
    {"/b.quor", PathStyle::Windows, "/", "/b.quor"},
    {"C:\\a\\", PathStyle::Windows, "C:\\a", ""},
    {"", PathStyle::Windows, "", ""},
    // Posix: both split at '/'; a backslash is an ordinary character.
    {"/home/u/b.quor", PathStyle::Posix, "/home/u", "b.quor"},
    {"dir\\b.quor", PathStyle::Posix, "", "dir\\b.quor"},
    {"/x/dir\\b.quor", PathStyle::Posix, "/x", "dir\\b.quor"},
    {"b.quor", PathStyle::Posix, "", "b.quor"},
    {"/b.quor", PathStyle::Posix, "/", "b.quor"},  // the root, not the current directory
    {"a/", PathStyle::Posix, "a", ""},
    {"", PathStyle::Posix, "", ""},
};

TEST(PathsTest, SplitsInBothConventions) {
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DirectoryOf(c.path, c.style), c.directory);
        EXPECT_EQ(FileNameOf(c.path, c.style), c.fileName);
    }
}

TEST(PathsTest, JoinsWithTheConventionsSeparator) {
    EXPECT_EQ(JoinPath("C:\\a", "1_b.led", PathStyle::Windows), "C:\\a\\1_b.led");
    EXPECT_EQ(JoinPath("/home/u", "1_b.led", PathStyle::Posix), "/home/u/1_b.led");
    // An empty directory is the current one: the bare name, not "/name".
    EXPECT_EQ(JoinPath("", "1_b.led", PathStyle::Windows), "1_b.led");
    EXPECT_EQ(JoinPath("", "1_b.led", PathStyle::Posix), "1_b.led");
    // The root ends in its separator already.
    EXPECT_EQ(JoinPath("/", "1_b.led", PathStyle::Posix), "/1_b.led");
    EXPECT_EQ(JoinPath("\\", "1_b.led", PathStyle::Windows), "\\1_b.led");
    EXPECT_EQ(JoinPath("C:\\", "1_b.led", PathStyle::Windows), "C:\\1_b.led");
    // Splitting and joining again gives the path back.
    for (auto [path, style] :
         {std::pair{"C:\\a\\b.quor", PathStyle::Windows},
          std::pair{"/home/u/b.quor", PathStyle::Posix}, std::pair{"b.quor", PathStyle::Posix},
          std::pair{"/b.quor", PathStyle::Posix}, std::pair{"\\b.quor", PathStyle::Windows}}) {
        EXPECT_EQ(JoinPath(DirectoryOf(path, style), FileNameOf(path, style), style), path);
    }
}

TEST(PathsTest, NativeOverloadsUseThePlatformsConvention) {
    ASSERT_EQ(NativePathStyle(), PathStyle::Posix);
    EXPECT_EQ(FileNameOf("/a/dir\\b.quor"), "dir\\b.quor");
    EXPECT_EQ(DirectoryOf("/a/b.quor"), "/a");
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
}

}  // namespace
