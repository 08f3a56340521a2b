// Path operations and the absolute form of paths.
#include "base/paths.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/os.h"
#include "scratch.h"
#include "session.h"
#include "system_facts.h"

namespace varrow {
namespace {

struct PathCase {
    std::string path, directory, fileName, extension, withoutExtension, title;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << '"' << c.path << '"'; }

class PathOperations : public ::testing::TestWithParam<PathCase> {};

// Rows are written with '/', which stands for the platform's separator.
TEST_P(PathOperations, SplitAtTheLastSeparatorAndDot) {
    const PathCase& c = GetParam();
    const std::string path = testing::NativePath(c.path);
    EXPECT_EQ(GetPathDirectory(path), testing::NativePath(c.directory));
    EXPECT_EQ(GetPathFileName(path), testing::NativePath(c.fileName));
    EXPECT_EQ(GetPathExtension(path), testing::NativePath(c.extension));
    EXPECT_EQ(RemovePathExtension(path), testing::NativePath(c.withoutExtension));
    EXPECT_EQ(GetPathTitle(path), testing::NativePath(c.title));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathOperations,
    ::testing::Values(PathCase{"/out/Re.eml", "/out/", "Re.eml", ".eml", "/out/Re", "Re"},
                      PathCase{"/out/Re.hello.eml", "/out/", "Re.hello.eml", ".eml",
                               "/out/Re.hello", "Re.hello"},
                      PathCase{"/a.b/file", "/a.b/", "file", "", "/a.b/file", "file"},
                      PathCase{"name", "", "name", "", "name", "name"},
                      PathCase{"/out/", "/out/", "", "", "/out/", ""},
                      PathCase{"/out/.hidden", "/out/", ".hidden", ".hidden", "/out/", ""},
                      PathCase{"", "", "", "", "", ""}));

// A colon separates on Windows only, where the other slash is no separator.
const std::vector<PathCase> kPosixRows = {
    PathCase{"C:x.eml", "", "C:x.eml", ".eml", "C:x", "C:x"},
    PathCase{"a\\b.eml", "", "a\\b.eml", ".eml", "a\\b", "a\\b"},
};
const std::vector<PathCase> kWindowsRows = {
    PathCase{"C:x.eml", "C:", "x.eml", ".eml", "C:x", "x"},
    PathCase{"D:/mail.old/Re.eml", "D:/mail.old/", "Re.eml", ".eml", "D:/mail.old/Re", "Re"},
    PathCase{"C:a.b", "C:", "a.b", ".b", "C:a", "a"},
    PathCase{"C:.b", "C:", ".b", ".b", "C:", ""},
};

INSTANTIATE_TEST_SUITE_P(ThisPlatform, PathOperations,
                         ::testing::ValuesIn(testing::kWindowsNames ? kWindowsRows : kPosixRows));

TEST(PathOperations, TrailingSeparator) {
    EXPECT_EQ(AddTrailingBackslash(""), testing::NativePath("/"));
    EXPECT_EQ(AddTrailingBackslash(testing::NativePath("/out")), testing::NativePath("/out/"));
    EXPECT_EQ(AddTrailingBackslash(testing::NativePath("/out/")), testing::NativePath("/out/"));
}

TEST(AbsolutePaths, AreResolvedAgainstTheCurrentDirectoryLexically) {
    EXPECT_EQ(AbsolutePath("out", "/home/u"), "/home/u/out");
    EXPECT_EQ(AbsolutePath("out/", "/home/u"), "/home/u/out/");
    EXPECT_EQ(AbsolutePath("./a/../b//c", "/home/u/"), "/home/u/b/c");
    EXPECT_EQ(AbsolutePath("../../../..", "/home/u"), "/");
    EXPECT_EQ(AbsolutePath("/x/./y/..", "/ignored"), "/x");
    EXPECT_EQ(AbsolutePath(".", "/home/u"), "/home/u");
    EXPECT_EQ(AbsolutePath("", "/home/u"), "");
    EXPECT_EQ(AbsolutePath("rel", ""), "");
}

TEST(AbsolutePaths, GetFullPathRefusesWhatTheSystemCannotTake) {
    testing::ScratchFolder scratch;
    EXPECT_EQ(GetFullPath(""), "");
    EXPECT_EQ(GetFullPath(std::string(5000, 'a')), "");
    EXPECT_EQ(GetFullPath(scratch / testing::NativePath("x/../y")), scratch / "y");
    EXPECT_FALSE(GetFullPath("relative").empty());
    // The longest path the system takes (259 bytes on Windows, in its
    // 260-byte buffer), and one byte more.
    const size_t longest = platform::SystemOs().MaxPathLength();
    const std::string root = GetFullPath(testing::NativePath("/"));
    const std::string fits = root + std::string(longest - root.size(), 'a');
    EXPECT_EQ(GetFullPath(fits), fits);
    EXPECT_EQ(GetFullPath(fits + "a"), "");
}

}  // namespace
}  // namespace varrow
