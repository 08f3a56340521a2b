// Temporary files, folder counts and rollover subfolder names.
#include "output/outfolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "base/paths.h"
#include "scratch.h"
#include "sim_os.h"
#include "links_and_fifos.h"

namespace varrow {
namespace {

using testing::ListFolder;
using testing::ScopedTmpdir;
using testing::ScratchFolder;
namespace fs = std::filesystem;

TEST(TemporaryFiles, AreNewEmptyAndDistinctInTheTemporaryFolder) {
    ScratchFolder scratch;
    ScopedTmpdir tmpdir(scratch.path());
    ASSERT_EQ(GetTempDirectory(), scratch.path() + kPathSeparator);

    const std::string first = MakeTempFileName();
    const std::string second = MakeTempFileName();
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(GetPathDirectory(name), scratch.path() + kPathSeparator);
        EXPECT_EQ(GetPathFileName(name).rfind("QXT", 0), 0u) << name;
        ASSERT_TRUE(fs::is_regular_file(name)) << name;
        EXPECT_EQ(fs::file_size(name), 0u);
    }
    fs::remove(first);
    EXPECT_TRUE(fs::exists(second));  // one's delete leaves the other
}

TEST(TemporaryFiles, AMissingTemporaryFolderGivesNoName) {
    ScratchFolder scratch;
    ScopedTmpdir tmpdir(scratch / "missing");
    EXPECT_EQ(MakeTempFileName(), "");
    EXPECT_TRUE(ListFolder(scratch.path()).empty());
}

// An Os that cannot name a temporary folder.
class OsWithoutTempFolder : public testing::SimOs {
public:
    std::string TempDirectory() override { return {}; }
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override {
        ++creates;
        return SimOs::CreateTempFile(folder, prefix);
    }
    int creates = 0;
};

TEST(TemporaryFiles, NoTemporaryFolderMakesNoFileElsewhere) {
    OsWithoutTempFolder os;
    platform::ScopedOs scoped{os};
    EXPECT_EQ(GetTempDirectory(), "");
    EXPECT_EQ(MakeTempFileName(), "");
    EXPECT_EQ(os.creates, 0);
}

TEST(CountFolderEntries, CountsFilesAndFoldersButNotTheirContents) {
    ScratchFolder scratch;
    EXPECT_EQ(CountFolderEntries(scratch.path()), 0u);
    scratch.WriteFile("a.eml", "a");
    scratch.WriteFile("b.eml", "b");
    scratch.WriteFile(".hidden", "");
    fs::create_directory(scratch / "Recovered_Msg1");
    scratch.WriteFile("Recovered_Msg1/inside.eml", "");
    EXPECT_EQ(CountFolderEntries(scratch.path()), 4u);
    EXPECT_EQ(CountFolderEntries(scratch.path() + "/"), 4u);
    // A dangling link is an entry too, where links can be made.
    if (testing::MakeLink(scratch / "nowhere", scratch / "link")) {
        EXPECT_EQ(CountFolderEntries(scratch.path()), 5u);
    }
}

TEST(CountFolderEntries, IsZeroForWhatCannotBeListed) {
    ScratchFolder scratch;
    EXPECT_EQ(CountFolderEntries(scratch / "missing"), 0u);
    EXPECT_EQ(CountFolderEntries(scratch.WriteFile("file", "x")), 0u);
}

TEST(SubfolderNames, FollowTheProcessWideCounter) {
    SetSubfolderCounter(1);
    EXPECT_EQ(NextSubfolderName(), "Recovered_Msg1");
    EXPECT_EQ(NextSubfolderName(), "Recovered_Msg2");
    SetSubfolderCounter(4294967295u);
    EXPECT_EQ(NextSubfolderName(), "Recovered_Msg4294967295");
    SetSubfolderCounter(1);
}

}  // namespace
}  // namespace varrow
