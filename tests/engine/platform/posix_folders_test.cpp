// Files made through a folder handle on POSIX: placed whole, never
// replacing anything, never through a link, with the modes new files have.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "output/outfolders.h"
#include "platform/posix/posix_os.h"
#include "scratch.h"
#include "system_facts.h"

namespace varrow {
namespace {

using platform::Os;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::Text;
namespace fs = std::filesystem;

const std::vector<uint8_t> kBytes = {'S', 'u', 'b', 'j', 'e', 'c', 't', ':', ' ', 'x', '\r', '\n'};

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Both ways of placing: as an unnamed file that is then linked, and staged
// under a name of this process as on file systems without unnamed files.
class Placement : public ::testing::TestWithParam<bool> {
protected:
    Placement() : os(GetParam()) {}

    FolderHandle Open(const std::string& path) {
        long error = 0;
        return FolderHandle(os.OpenFolder(path, &error));
    }
    Os::Placement Place(const FolderHandle& folder, const std::string& name,
                        const std::vector<uint8_t>& bytes = kBytes) {
        long error = 0;
        return os.PlaceNewFile(folder.Get(), name, bytes.data(), bytes.size(), &error);
    }

    platform::PosixOs os;
    ScratchFolder scratch;
};

TEST_P(Placement, MakesTheFileWholeWithTheModeOfNewFiles) {
    FolderHandle folder = Open(scratch.path());
    ASSERT_NE(folder.Get(), platform::kInvalidHandle);
    ASSERT_EQ(Place(folder, "m.eml"), Os::Placement::Placed);
    EXPECT_EQ(ReadWholeFile(scratch / "m.eml"), kBytes);
    struct stat status {};
    ASSERT_EQ(::stat((scratch / "m.eml").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u & ~CurrentUmask());
    // An empty message is a file too.
    ASSERT_EQ(Place(folder, "empty.eml", {}), Os::Placement::Placed);
    EXPECT_EQ(fs::file_size(scratch / "empty.eml"), 0u);
    EXPECT_EQ(ListFolder(scratch.path()), (std::vector<std::string>{"empty.eml", "m.eml"}));
}

TEST_P(Placement, NeverReplacesWhatIsThereWhateverItIs) {
    const std::string outside = scratch.WriteFile("outside", "keep me");
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    fs::create_directory(scratch / "out/folder.eml");
    fs::create_symlink(outside, scratch / "out/link.eml");
    fs::create_symlink(scratch / "out/missing", scratch / "out/dangling.eml");
    fs::create_symlink(scratch / "out/missing-dir", scratch / "out/dangling-dir.eml");
    const std::string file = scratch.WriteFile("out/file.eml", "earlier");
    for (const char* name : {"folder.eml", "link.eml", "dangling.eml", "file.eml"}) {
        EXPECT_EQ(Place(folder, name), Os::Placement::NameTaken) << name;
    }
    EXPECT_EQ(Text(ReadWholeFile(outside)), "keep me");
    EXPECT_EQ(Text(ReadWholeFile(file)), "earlier");
    EXPECT_FALSE(fs::exists(scratch / "out/missing"));  // the dangling link was not followed
    EXPECT_EQ(ListFolder(scratch / "out"),
              (std::vector<std::string>{"dangling-dir.eml", "dangling.eml", "file.eml",
                                        "folder.eml", "link.eml"}));
}

TEST_P(Placement, RefusesNamesThatReachOutOfTheFolder) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    for (const char* name : {"", ".", "..", "../escape.eml", "a/b.eml"}) {
        EXPECT_EQ(Place(folder, name), Os::Placement::Failed) << name;
    }
    EXPECT_EQ(ListFolder(scratch.path()), std::vector<std::string>{"out"});
    EXPECT_TRUE(ListFolder(scratch / "out").empty());
}

TEST_P(Placement, GoesToTheFolderThatWasOpenedEvenWhenItsPathNowLeadsElsewhere) {
    fs::create_directory(scratch / "out");
    fs::create_directory(scratch / "elsewhere");
    FolderHandle folder = Open(scratch / "out");
    // The folder is moved aside and a link to another folder takes its name.
    fs::rename(scratch / "out", scratch / "moved");
    fs::create_directory_symlink(scratch / "elsewhere", scratch / "out");
    ASSERT_EQ(Place(folder, "m.eml"), Os::Placement::Placed);
    EXPECT_EQ(ListFolder(scratch / "moved"), std::vector<std::string>{"m.eml"});
    EXPECT_TRUE(ListFolder(scratch / "elsewhere").empty());
}

TEST_P(Placement, AFailedWriteLeavesNothingBehind) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    long error = 0;
    EXPECT_EQ(os.PlaceFileCopy(folder.Get(), "m.eml", scratch / "no such file", &error),
              Os::Placement::Failed);
    EXPECT_EQ(error, testing::kErrorNotFound);
    EXPECT_TRUE(ListFolder(scratch / "out").empty());
    // A copy that works carries the bytes of its source.
    const std::string source = scratch.WriteFile("source", kBytes);
    EXPECT_EQ(os.PlaceFileCopy(folder.Get(), "copy.eml", source, &error), Os::Placement::Placed);
    EXPECT_EQ(ReadWholeFile(scratch / "out/copy.eml"), kBytes);
    EXPECT_EQ(ListFolder(scratch / "out"), std::vector<std::string>{"copy.eml"});
}

INSTANTIATE_TEST_SUITE_P(BothWays, Placement, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Unnamed") : std::string("Staged");
                         });

TEST(Subfolders, AreMadeOrOpenedButNeverReachedThroughALink) {
    ScratchFolder scratch;
    platform::PosixOs os;
    long error = 0;
    FolderHandle folder(os.OpenFolder(scratch.path(), &error));
    fs::create_directory(scratch / "elsewhere");
    fs::create_directory_symlink(scratch / "elsewhere", scratch / "linked");
    scratch.WriteFile("file", "x");

    FolderHandle made(os.OpenSubfolder(folder.Get(), "made", &error));
    EXPECT_NE(made.Get(), platform::kInvalidHandle);
    EXPECT_TRUE(fs::is_directory(scratch / "made"));
    FolderHandle again(os.OpenSubfolder(folder.Get(), "made", &error));
    EXPECT_NE(again.Get(), platform::kInvalidHandle);  // an existing folder is used as it is
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "linked", &error), platform::kInvalidHandle);
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "file", &error), platform::kInvalidHandle);
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "..", &error), platform::kInvalidHandle);
    EXPECT_TRUE(ListFolder(scratch / "elsewhere").empty());

    // Entries are counted through the handle.
    scratch.WriteFile("made/a", "1");
    scratch.WriteFile("made/b", "2");
    EXPECT_EQ(CountFolderEntries(FolderRef{scratch / "made", made.Get()}), 2u);
    EXPECT_EQ(CountFolderEntries(FolderRef{scratch / "made", platform::kInvalidHandle}), 0u);
}

}  // namespace
}  // namespace varrow
