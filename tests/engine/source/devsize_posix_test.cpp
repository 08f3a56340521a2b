// The disk length and volume capacity queries on this POSIX system.
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "scratch.h"
#include "varrow.h"

namespace varrow {
namespace {

TEST(SizeQueriesOnThisSystem, MountedFileSystemAndNonVolumes) {
    struct statvfs root {};
    ASSERT_EQ(statvfs("/", &root), 0);
    uint64_t size = 0;
    EXPECT_EQ(GetVolumeSize("/", &size), 1);
    EXPECT_EQ(size, uint64_t{root.f_blocks} * root.f_frsize);

    uint64_t untouched = 9;
    EXPECT_EQ(GetVolumeSize("C:", &untouched), 0);
    EXPECT_EQ(GetVolumeSize("/no/such/volume", &untouched), 0);
    EXPECT_EQ(untouched, 9u);

    testing::ScratchFolder scratch;
    const std::string file = scratch.WriteFile("plain", "not a disk");
    const int fd = ::open(file.c_str(), O_RDONLY);
    EXPECT_EQ(GetDeviceLength(fd, &untouched), 0);
    EXPECT_EQ(untouched, 9u);
    ::close(fd);
}

}  // namespace
}  // namespace varrow
