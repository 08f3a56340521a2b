// The temporary message file and the copy of its bytes it keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembly/message_file.h"
#include "scratch.h"

namespace varrow {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;

constexpr uint32_t kWriteFlags =
    CFile64::modeCreate | CFile64::modeWrite | CFile64::shareExclusive | CFile64::typeBinary;

class MessageFileTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string path = scratch / "message.tmp";
    MessageFile file;

    void SetUp() override { ASSERT_TRUE(file.Open(path, kWriteFlags, nullptr)); }
    void Write(const std::vector<uint8_t>& bytes) {
        file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
};

TEST_F(MessageFileTest, KeepsWhatItWritesUpToTheLimit) {
    const std::vector<uint8_t> piece(4096, 'm');
    for (size_t written = 0; written < MessageFile::kKeptBytes; written += piece.size()) Write(piece);
    file.Close();
    ASSERT_NE(file.Content(), nullptr);
    EXPECT_EQ(file.Content()->size(), MessageFile::kKeptBytes);
    EXPECT_EQ(*file.Content(), ReadWholeFile(path));
}

TEST_F(MessageFileTest, ALongerMessageIsLeftToTheFile) {
    const std::vector<uint8_t> piece(4096, 'm');
    for (size_t written = 0; written <= MessageFile::kKeptBytes; written += piece.size()) Write(piece);
    file.Close();
    EXPECT_EQ(file.Content(), nullptr);
    EXPECT_EQ(ReadWholeFile(path).size(), MessageFile::kKeptBytes + piece.size());
}

TEST_F(MessageFileTest, WritesAfterAMoveOfThePositionAreLeftToTheFile) {
    Write({'a', 'b', 'c'});
    file.Seek(1, CFile64::begin);
    Write({'x'});
    EXPECT_EQ(file.Content(), nullptr);

    MessageFile truncated;
    ASSERT_TRUE(truncated.Open(scratch / "other.tmp", kWriteFlags, nullptr));
    truncated.Write("abc", 3);
    truncated.SetLength(1);
    EXPECT_EQ(truncated.Content(), nullptr);
}

}  // namespace
}  // namespace varrow
