// Files made through a folder handle on Windows: placed whole, never
// replacing anything, never under a name Windows would take for something
// else, in a folder that cannot be moved away while it is open.
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "output/outfolders.h"
#include "platform/win32/win32_os.h"
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

class Placement : public ::testing::Test {
protected:
    FolderHandle Open(const std::string& path) {
        long error = 0;
        return FolderHandle(os.OpenFolder(path, &error));
    }
    Os::Placement Place(const FolderHandle& folder, const std::string& name,
                        const std::vector<uint8_t>& bytes = kBytes) {
        long error = 0;
        return os.PlaceNewFile(folder.Get(), name, bytes.data(), bytes.size(), &error);
    }

    platform::Win32Os os;
    ScratchFolder scratch;
};

TEST_F(Placement, MakesTheFileWhole) {
    FolderHandle folder = Open(scratch.path());
    ASSERT_NE(folder.Get(), platform::kInvalidHandle);
    ASSERT_EQ(Place(folder, "m.eml"), Os::Placement::Placed);
    EXPECT_EQ(ReadWholeFile(scratch / "m.eml"), kBytes);
    ASSERT_EQ(Place(folder, "empty.eml", {}), Os::Placement::Placed);
    EXPECT_EQ(fs::file_size(scratch / "empty.eml"), 0u);
    // No staging file is left behind.
    EXPECT_EQ(ListFolder(scratch.path()), (std::vector<std::string>{"empty.eml", "m.eml"}));
}

TEST_F(Placement, NeverReplacesWhatIsThere) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    fs::create_directory(scratch / "out\\folder.eml");
    const std::string file = scratch.WriteFile("out\\file.eml", "earlier");
    for (const char* name : {"folder.eml", "file.eml", "FILE.EML"}) {
        EXPECT_EQ(Place(folder, name), Os::Placement::NameTaken) << name;
    }
    EXPECT_EQ(Text(ReadWholeFile(file)), "earlier");
    EXPECT_EQ(ListFolder(scratch / "out"), (std::vector<std::string>{"file.eml", "folder.eml"}));
}

// Names that leave the folder, name a stream of another file ("a:b"), or
// that Windows takes for a device or refuses, are never placed: the
// engine then names the message by its number.
TEST_F(Placement, RefusesNamesThatAreNoPlainFileInTheFolder) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    for (const char* name : {"", ".", "..", "..\\escape.eml", "a/b.eml", "a\\b.eml", "stream.eml:x", "CON",
                             "con.eml", "NUL .eml", "COM1.eml", "lpt9.txt", "tab\there.eml", "q?.eml", "a*.eml"}) {
        EXPECT_EQ(Place(folder, name), Os::Placement::Failed) << name;
        EXPECT_FALSE(os.ExistsIn(folder.Get(), name)) << name;
    }
    EXPECT_EQ(ListFolder(scratch.path()), std::vector<std::string>{"out"});
    EXPECT_TRUE(ListFolder(scratch / "out").empty());
    // Names that only look like devices are names.
    for (const char* name : {"CONSOLE.eml", "COM10.eml", "AUX_.eml", "nul_.eml"}) {
        EXPECT_EQ(Place(folder, name), Os::Placement::Placed) << name;
    }
}

TEST_F(Placement, TheOpenFolderCannotBeMovedAwayOrRemoved) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    std::error_code refused;
    fs::rename(scratch / "out", scratch / "moved", refused);
    EXPECT_TRUE(refused);
    fs::remove(scratch / "out", refused);
    EXPECT_TRUE(refused);
    ASSERT_EQ(Place(folder, "m.eml"), Os::Placement::Placed);
    EXPECT_EQ(ListFolder(scratch / "out"), std::vector<std::string>{"m.eml"});
}

TEST_F(Placement, AFailedCopyLeavesNothingBehind) {
    fs::create_directory(scratch / "out");
    FolderHandle folder = Open(scratch / "out");
    long error = 0;
    EXPECT_EQ(os.PlaceFileCopy(folder.Get(), "m.eml", scratch / "no such file", &error), Os::Placement::Failed);
    EXPECT_EQ(error, testing::kErrorNotFound);
    EXPECT_TRUE(ListFolder(scratch / "out").empty());
    const std::string source = scratch.WriteFile("source", kBytes);
    EXPECT_EQ(os.PlaceFileCopy(folder.Get(), "copy.eml", source, &error), Os::Placement::Placed);
    EXPECT_EQ(ReadWholeFile(scratch / "out\\copy.eml"), kBytes);
    EXPECT_EQ(ListFolder(scratch / "out"), std::vector<std::string>{"copy.eml"});
}

TEST_F(Placement, AHandleThatIsNoOpenFolderPlacesNothing) {
    const std::string source = scratch.WriteFile("source", kBytes);
    long error = 0;
    EXPECT_EQ(os.PlaceFileCopy(platform::kInvalidHandle, "m.eml", source, &error), Os::Placement::Failed);
    EXPECT_EQ(os.OpenFolder(source, &error), platform::kInvalidHandle);  // a file, not a folder
    EXPECT_EQ(os.OpenFolder(scratch / "missing", &error), platform::kInvalidHandle);
    EXPECT_FALSE(os.ExistsIn(platform::kInvalidHandle, "source"));
}

TEST(Subfolders, AreMadeOrOpenedButNeverAFile) {
    ScratchFolder scratch;
    platform::Win32Os os;
    long error = 0;
    FolderHandle folder(os.OpenFolder(scratch.path(), &error));
    scratch.WriteFile("file", "x");

    FolderHandle made(os.OpenSubfolder(folder.Get(), "made", &error));
    EXPECT_NE(made.Get(), platform::kInvalidHandle);
    EXPECT_TRUE(fs::is_directory(scratch / "made"));
    FolderHandle again(os.OpenSubfolder(folder.Get(), "made", &error));
    EXPECT_NE(again.Get(), platform::kInvalidHandle);  // an existing folder is used as it is
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "file", &error), platform::kInvalidHandle);
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "..", &error), platform::kInvalidHandle);
    EXPECT_EQ(os.OpenSubfolder(folder.Get(), "AUX", &error), platform::kInvalidHandle);

    // Entries are counted through the handle.
    scratch.WriteFile("made\\a", "1");
    scratch.WriteFile("made\\b", "2");
    EXPECT_EQ(CountFolderEntries(FolderRef{scratch / "made", made.Get()}), 2u);
    EXPECT_EQ(CountFolderEntries(FolderRef{scratch / "made", platform::kInvalidHandle}), 0u);
}

}  // namespace
}  // namespace varrow
