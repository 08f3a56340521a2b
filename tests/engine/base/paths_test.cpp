// Path operations and the absolute form of paths.
#include "base/paths.h"

#include <gtest/gtest.h>

#include "session.h"

namespace varrow {
namespace {

struct PathCase {
    std::string path, directory, fileName, extension, withoutExtension, title;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << '"' << c.path << '"'; }

class PathOperations : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathOperations, SplitAtTheLastSeparatorAndDot) {
    const PathCase& c = GetParam();
    EXPECT_EQ(GetPathDirectory(c.path), c.directory);
    EXPECT_EQ(GetPathFileName(c.path), c.fileName);
    EXPECT_EQ(GetPathExtension(c.path), c.extension);
    EXPECT_EQ(RemovePathExtension(c.path), c.withoutExtension);
    EXPECT_EQ(GetPathTitle(c.path), c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathOperations,
    ::testing::Values(PathCase{"/out/Re.eml", "/out/", "Re.eml", ".eml", "/out/Re", "Re"},
                      PathCase{"/out/Re.hello.eml", "/out/", "Re.hello.eml", ".eml",
                               "/out/Re.hello", "Re.hello"},
                      PathCase{"/a.b/file", "/a.b/", "file", "", "/a.b/file", "file"},
                      PathCase{"name", "", "name", "", "name", "name"},
                      PathCase{"/out/", "/out/", "", "", "/out/", ""},
                      PathCase{"C:x.eml", "", "C:x.eml", ".eml", "C:x", "C:x"},
                      PathCase{"/out/.hidden", "/out/", ".hidden", ".hidden", "/out/", ""},
                      PathCase{"", "", "", "", "", ""}));

TEST(PathOperations, TrailingSeparator) {
    EXPECT_EQ(AddTrailingBackslash(""), "/");
    EXPECT_EQ(AddTrailingBackslash("/out"), "/out/");
    EXPECT_EQ(AddTrailingBackslash("/out/"), "/out/");
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
    EXPECT_EQ(GetFullPath(""), "");
    EXPECT_EQ(GetFullPath(std::string(5000, 'a')), "");
    EXPECT_EQ(GetFullPath("/tmp/x/../y"), "/tmp/y");
    EXPECT_FALSE(GetFullPath("relative").empty());
}

}  // namespace
}  // namespace varrow
