// The disk length and volume capacity queries on this Windows system, and
// the reader on raw volumes and disks where the system offers them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "scratch.h"
#include "source/file64.h"
#include "varrow.h"

namespace varrow {
namespace {

TEST(SizeQueriesOnThisSystem, VolumeCapacityAndNonVolumes) {
    ULARGE_INTEGER available{}, total{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, nullptr));
    uint64_t size = 0;
    EXPECT_EQ(GetVolumeSize("C:\\", &size), 1);
    EXPECT_EQ(size, total.QuadPart);

    uint64_t untouched = 9;
    EXPECT_EQ(GetVolumeSize("C:\\no\\such\\folder\\", &untouched), 0);
    EXPECT_EQ(GetVolumeSize("", &untouched), 0);
    EXPECT_EQ(untouched, 9u);

    testing::ScratchFolder scratch;
    const std::string file = scratch.WriteFile("plain", "not a disk");
    const HANDLE plain = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(plain, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetDeviceLength(reinterpret_cast<intptr_t>(plain), &untouched), 0);
    EXPECT_EQ(untouched, 9u);
    CloseHandle(plain);
}

// Reads the first sector of a raw source through the reader, as a recovery
// does; skipped where the system does not let this process open it.
void ReadFirstSector(const std::string& path) {
    CFile64Ex source;
    CFileException error;
    if (!source.Open(path, CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary, &error)) {
        GTEST_SKIP() << path << " cannot be opened here (error " << error.m_lOsError
                     << "): Wine offers no raw volumes or disks, and Windows opens them for an "
                        "administrator only";
    }
    EXPECT_GT(source.GetLength(), 0u);
    char sector[512];
    EXPECT_EQ(source.Read(sector, sizeof sector), sizeof sector);
    EXPECT_EQ(source.GetPosition(), sizeof sector);
}

TEST(RawSourcesOnThisSystem, TheFirstPhysicalDisk) { ReadFirstSector("\\\\.\\PHYSICALDRIVE0"); }

TEST(RawSourcesOnThisSystem, TheSystemVolume) { ReadFirstSector("\\\\.\\C:"); }

}  // namespace
}  // namespace varrow
