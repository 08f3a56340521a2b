// A source opened once more for the read-ahead thread: its own file
// position (so its own read-ahead in the kernel), the same bytes, and no
// effect on the share lock of the handle it came from.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/posix_os.h"
#include "scratch.h"

namespace varrow {
namespace {

using platform::Handle;
using platform::kInvalidHandle;
using testing::ScratchFolder;

constexpr platform::OpenRequest kHeldExclusively{platform::Access::Read, platform::Share::Exclusive,
                                                 platform::Disposition::OpenExisting, false};

std::string ReadAtPointer(platform::Os& os, Handle handle, uint32_t count) {
    std::string bytes(count, '\0');
    uint32_t got = 0;
    long error = 0;
    EXPECT_TRUE(os.Read(handle, bytes.data(), count, &got, &error));
    bytes.resize(got);
    return bytes;
}

TEST(ReopenedHandle, HasAFilePositionOfItsOwnOverTheSameBytes) {
    ScratchFolder scratch;
    const std::string path = scratch.WriteFile("disk.img", "0123456789abcdefghij");
    platform::PosixOs os;
    long error = 0;
    const Handle original = os.Open(path, platform::OpenRequest{}, &error);
    ASSERT_NE(original, kInvalidHandle);
    const Handle again = os.Reopen(original, &error);
    ASSERT_NE(again, kInvalidHandle);

    uint64_t landed = 0;
    ASSERT_TRUE(os.Seek(original, 10, platform::SeekFrom::Begin, &landed, &error));
    ASSERT_TRUE(os.Seek(again, 3, platform::SeekFrom::Begin, &landed, &error));
    EXPECT_EQ(ReadAtPointer(os, original, 4), "abcd");
    EXPECT_EQ(ReadAtPointer(os, again, 4), "3456");

    char run[5] = {};
    uint32_t got = 0;
    ASSERT_TRUE(os.ReadAt(again, 16, run, 4, &got, &error));
    EXPECT_EQ(std::string(run, got), "ghij");
    EXPECT_TRUE(os.Close(again, &error));
    EXPECT_TRUE(os.Close(original, &error));
}

TEST(ReopenedHandle, ClosingItKeepsTheOriginalsShareLock) {
    ScratchFolder scratch;
    const std::string path = scratch.WriteFile("held.img", "held");
    platform::PosixOs os;
    long error = 0;
    const Handle original = os.Open(path, kHeldExclusively, &error);
    ASSERT_NE(original, kInvalidHandle);
    const Handle again = os.Reopen(original, &error);
    ASSERT_NE(again, kInvalidHandle);
    EXPECT_TRUE(os.Close(again, &error));

    // Another opener is still refused while the original is open.
    EXPECT_EQ(os.Open(path, kHeldExclusively, &error), kInvalidHandle);
    EXPECT_TRUE(os.Close(original, &error));
    const Handle later = os.Open(path, kHeldExclusively, &error);
    EXPECT_NE(later, kInvalidHandle);
    os.Close(later, &error);
}

TEST(ReopenedHandle, OfAHandleThatIsNotOpenFails) {
    platform::PosixOs os;
    long error = 0;
    EXPECT_EQ(os.Reopen(987654, &error), kInvalidHandle);
    EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace varrow
