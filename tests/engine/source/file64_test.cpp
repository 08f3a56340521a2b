// The windowed, sector-aligned reader over a simulated device and real files.
#include "source/file64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>

#include "held_file.h"
#include "scratch.h"
#include "sim_os.h"
#include "system_facts.h"

namespace varrow {
namespace {

using testing::ScratchFolder;
using testing::SimDevice;
using testing::SimOs;

constexpr uint32_t kReadFlags = CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary;

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

class ReaderOnSimDevice : public ::testing::Test {
protected:
    SimOs sim;
    platform::ScopedOs scoped{sim};
    SimDevice& device = sim.AddDevice("/dev/sim0");

    void OpenOrFail(CFile64Ex& file, const std::string& path = "/dev/sim0") {
        CFileException error;
        ASSERT_TRUE(file.Open(path, kReadFlags, &error)) << error.m_cause;
    }
};

TEST_F(ReaderOnSimDevice, ReadAcrossTheEndOfWindowAFillsWindowBAtTheNextOffset) {
    device.bytes = Pattern(20000);
    CFile64Ex file(4096);
    OpenOrFail(file);
    uint8_t first[16];
    ASSERT_EQ(file.Read(first, 16), 16u);  // window A now holds [0, 4096)
    ASSERT_EQ(file.m_pWindowA->position, 0u);
    ASSERT_EQ(file.m_pWindowA->length, 4096u);
    ASSERT_FALSE(file.m_pWindowB->Usable());

    file.Seek(4088, CFile64::begin);
    uint8_t straddling[16];
    ASSERT_EQ(file.Read(straddling, 16), 16u);
    EXPECT_EQ(0, std::memcmp(straddling, device.bytes.data() + 4088, 16));
    EXPECT_EQ(file.m_pWindowB->position, 4096u);
    EXPECT_EQ(file.m_pWindowB->length, 4096u);
    EXPECT_EQ(file.m_pWindowA->position, 0u);
    EXPECT_EQ(file.GetPosition(), 4104u);
}

TEST_F(ReaderOnSimDevice, RefillAtAnUnalignedOffsetTakesNineSectorReads) {
    device.bytes = Pattern(20000);
    CFile64Ex file(4096);
    OpenOrFail(file);
    device.ResetCounters();

    file.Seek(1000, CFile64::begin);
    uint8_t bytes[16];
    ASSERT_EQ(file.Read(bytes, 16), 16u);
    EXPECT_EQ(0, std::memcmp(bytes, device.bytes.data() + 1000, 16));

    // A head of 24 bytes from the sector at 512, seven whole sectors and a
    // tail of 488 bytes, each one whole sector at its aligned place.
    ASSERT_EQ(device.reads, 9);
    EXPECT_EQ(device.seeks, 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(device.readLog[i].first, 512u + 512u * i);
        EXPECT_EQ(device.readLog[i].second, 512u);
    }
    EXPECT_EQ(file.m_pWindowA->position, 1000u);
    EXPECT_EQ(file.m_pWindowA->length, 4096u);
    EXPECT_EQ(0, std::memcmp(file.m_pWindowA->data, device.bytes.data() + 1000, 4096));
}

TEST_F(ReaderOnSimDevice, ShortReadAtTheEndOfAThousandByteFileSetsEndOfFile) {
    device.bytes = Pattern(1000);
    CFile64Ex file(4096);
    OpenOrFail(file);
    uint8_t bytes[16];
    file.Seek(992, CFile64::begin);
    EXPECT_EQ(file.Read(bytes, 16), 8u);
    EXPECT_TRUE(file.IsEOF());
    EXPECT_EQ(0, std::memcmp(bytes, device.bytes.data() + 992, 8));
    file.Seek(1000, CFile64::begin);
    EXPECT_EQ(file.Read(bytes, 16), 0u);
    EXPECT_TRUE(file.IsEOF());
}

TEST_F(ReaderOnSimDevice, FailingSectorReadsAsZerosAndTheNextSectorFromItsPlace) {
    device.bytes = Pattern(8192);
    device.badSectors = {2};  // bytes 1024..1535
    CFile64Ex file(4096);
    OpenOrFail(file);
    std::vector<uint8_t> bytes(4096);
    ASSERT_EQ(file.Read(bytes.data(), 4096), 4096u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), device.bytes.data(), 1024));
    EXPECT_TRUE(std::all_of(bytes.begin() + 1024, bytes.begin() + 1536, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 1536, device.bytes.data() + 1536, 4096 - 1536));
    EXPECT_FALSE(file.IsEOF());
}


TEST_F(ReaderOnSimDevice, FailingLastSectorGivesNoZerosPastTheEndOfTheSource) {
    device.bytes = Pattern(1000);  // the last sector holds 488 bytes
    device.blockDevice = true;
    device.answersLength = true;
    device.reportedLength = 1000;
    device.badSectors = {1};
    CFile64Ex file(4096);
    OpenOrFail(file);
    std::vector<uint8_t> bytes(4096, 0xAA);
    file.Seek(900, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 4096), 100u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 100, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(file.Failures().Bytes(), 488u);
    EXPECT_EQ(file.Failures().Sectors(512), 1u);
    // A read that starts beyond the bytes the failed sector holds finds the end.
    file.Seek(1200, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 16), 0u);
}
TEST_F(ReaderOnSimDevice, FailedSeekEndsTheReadShort) {
    device.bytes = Pattern(20000);
    device.seekFails = [](uint64_t position) { return position >= 8192; };
    CFile64Ex file(4096);
    OpenOrFail(file);
    std::vector<uint8_t> bytes(16);
    // The refill at 8180 seeks once, to the sector at 7680, and then reads
    // on: window A covers [8180, 12276).
    file.Seek(8180, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 16), 16u);
    // Six bytes from window A; the refill at 12276 would seek to 11776.
    file.Seek(12270, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 16), 6u);
    EXPECT_TRUE(file.IsEOF());
    EXPECT_EQ(0, std::memcmp(bytes.data(), device.bytes.data() + 12270, 6));
}

TEST_F(ReaderOnSimDevice, MisplacedSeekEndsTheReadShort) {
    device.bytes = Pattern(20000);
    device.seekLandsAt = [](uint64_t position) { return position == 4096 ? 4608 : position; };
    CFile64Ex file(4096);
    OpenOrFail(file);
    std::vector<uint8_t> bytes(16);
    file.Seek(4096, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 16), 0u);
    EXPECT_TRUE(file.IsEOF());
    file.Seek(4097, CFile64::begin);  // seeks to the sector at 4096 too
    EXPECT_EQ(file.Read(bytes.data(), 16), 0u);
    file.Seek(5000, CFile64::begin);
    EXPECT_EQ(file.Read(bytes.data(), 16), 16u);
}

TEST_F(ReaderOnSimDevice, SeekKeepsEndOfFileOnlyWhenThePositionStays) {
    device.bytes = Pattern(100);
    CFile64Ex file(4096);
    OpenOrFail(file);
    uint8_t bytes[16];
    file.Seek(90, CFile64::begin);
    EXPECT_EQ(file.Read(bytes, 16), 10u);
    ASSERT_TRUE(file.IsEOF());
    file.Seek(100, CFile64::begin);
    EXPECT_TRUE(file.IsEOF());
    file.Seek(0, CFile64::current);
    EXPECT_TRUE(file.IsEOF());
    file.Seek(5, CFile64::begin);
    EXPECT_FALSE(file.IsEOF());
}

TEST_F(ReaderOnSimDevice, ReadOfNothingLeavesEndOfFileAlone) {
    device.bytes = Pattern(100);
    CFile64Ex file(4096);
    OpenOrFail(file);
    uint8_t bytes[16];
    file.Seek(95, CFile64::begin);
    file.Read(bytes, 16);
    ASSERT_TRUE(file.IsEOF());
    EXPECT_EQ(file.Read(bytes, 0), 0u);
    EXPECT_TRUE(file.IsEOF());
}

TEST_F(ReaderOnSimDevice, SeekArithmeticWrapsAndCountsFromTheEnd) {
    device.bytes = Pattern(1000);
    CFile64Ex file(4096);
    OpenOrFail(file);
    EXPECT_EQ(file.Seek(-10, CFile64::end), 990u);
    EXPECT_EQ(file.Seek(20, CFile64::current), 1010u);
    EXPECT_EQ(file.Seek(-1, CFile64::begin), UINT64_MAX);
    EXPECT_EQ(file.Seek(1, CFile64::current), 0u);
    EXPECT_EQ(file.Seek(5, 7), 0u);  // an unknown origin changes nothing
}

TEST_F(ReaderOnSimDevice, LargeReadsBypassTheWindowsInWholeWindows) {
    device.bytes = Pattern(30000);
    CFile64Ex file(4096);
    OpenOrFail(file);
    std::vector<uint8_t> bytes(10000);
    file.Seek(100, CFile64::begin);
    ASSERT_EQ(file.Read(bytes.data(), 10000), 10000u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), device.bytes.data() + 100, 10000));
    // 8192 bytes went straight to the caller; only the last 1808 through a window.
    EXPECT_EQ(file.m_pWindowA->position, 8292u);
    EXPECT_FALSE(file.m_pWindowB->Usable());
}

TEST_F(ReaderOnSimDevice, SectorSizeComesFromTheDeviceAndFallsBackTo512) {
    SimDevice& disk = sim.AddDevice("/dev/simdisk");
    disk.bytes = Pattern(65536);
    disk.blockDevice = true;
    disk.sectorSize = 4096;
    CFile64Ex file;
    OpenOrFail(file, "/dev/simdisk");
    EXPECT_EQ(file.SectorSize(), 4096u);
    uint8_t bytes[16];
    file.Seek(5000, CFile64::begin);
    disk.ResetCounters();
    ASSERT_EQ(file.Read(bytes, 16), 16u);
    EXPECT_EQ(0, std::memcmp(bytes, disk.bytes.data() + 5000, 16));
    for (const auto& [position, size] : disk.readLog) {
        EXPECT_EQ(position % 4096, 0u);
        EXPECT_EQ(size, 4096u);
    }

    device.bytes = Pattern(100);  // an ordinary file: 512
    CFile64Ex plain;
    OpenOrFail(plain);
    EXPECT_EQ(plain.SectorSize(), 512u);

    SimDevice& zero = sim.AddDevice("/dev/simzero");
    zero.blockDevice = true;
    zero.sectorSize = 0;  // the query reports 0
    CFile64Ex reportsZero;
    OpenOrFail(reportsZero, "/dev/simzero");
    EXPECT_EQ(reportsZero.SectorSize(), 512u);
}

TEST_F(ReaderOnSimDevice, PhysicalDrivePrefixIsCaseSensitive) {
    SimDevice& disk = sim.AddDevice("\\\\.\\PHYSICALDRIVE1");
    disk.answersGeometry = true;
    disk.geometry.bytesPerSector = 2048;
    disk.answersLength = true;
    disk.reportedLength = 123456789;
    CFile64Ex upper;
    OpenOrFail(upper, "\\\\.\\PHYSICALDRIVE1");
    EXPECT_TRUE(upper.IsPhysicalDrive());
    EXPECT_EQ(upper.SectorSize(), 2048u);
    EXPECT_EQ(upper.GetLength(), 123456789u);
    EXPECT_EQ(upper.GetFilePath(), "\\\\.\\PHYSICALDRIVE1");

    SimDevice& lower = sim.AddDevice("\\\\.\\physicaldrive1");
    lower.answersLength = true;
    lower.reportedLength = 99;
    sim.volumeSectorSizes["physicaldrive1"] = 1024;
    sim.volumeTotals["physicaldrive1"] = 5555;
    CFile64Ex asVolume;
    OpenOrFail(asVolume, "\\\\.\\physicaldrive1");
    EXPECT_FALSE(asVolume.IsPhysicalDrive());
    EXPECT_EQ(asVolume.SectorSize(), 1024u);
    EXPECT_EQ(asVolume.GetLength(), 5555u);
}

TEST_F(ReaderOnSimDevice, LengthOfWholeDisksPartitionsAndFiles) {
    SimDevice& disk = sim.AddDevice("/dev/simdisk");
    disk.blockDevice = disk.wholeDisk = true;
    disk.answersLength = true;
    disk.reportedLength = 1u << 20;
    CFile64Ex wholeDisk;
    OpenOrFail(wholeDisk, "/dev/simdisk");
    EXPECT_TRUE(wholeDisk.IsPhysicalDrive());
    EXPECT_EQ(wholeDisk.GetLength(), 1u << 20);

    SimDevice& partition = sim.AddDevice("/dev/simdisk1");
    partition.blockDevice = true;
    partition.answersLength = true;
    partition.reportedLength = 4096;
    CFile64Ex part;
    OpenOrFail(part, "/dev/simdisk1");
    EXPECT_FALSE(part.IsPhysicalDrive());
    EXPECT_EQ(part.GetLength(), 4096u);

    SimDevice& silent = sim.AddDevice("/dev/simsilent");
    silent.blockDevice = silent.wholeDisk = true;
    CFile64Ex unknown;
    OpenOrFail(unknown, "/dev/simsilent");
    EXPECT_EQ(unknown.GetLength(), 0u);

    device.bytes = Pattern(777);
    CFile64Ex plain;
    OpenOrFail(plain);
    EXPECT_EQ(plain.GetLength(), 777u);
}

TEST_F(ReaderOnSimDevice, UnsupportedOperationsRaise) {
    device.bytes = Pattern(10);
    CFile64Ex file;
    OpenOrFail(file);
    EXPECT_THROW(file.Duplicate(), CNotSupportedException);
    EXPECT_THROW(file.LockRange(0, 1), CNotSupportedException);
    EXPECT_THROW(file.UnlockRange(0, 1), CNotSupportedException);
    std::string text;
    CNotSupportedException().GetErrorMessage(text, 4095);
    EXPECT_EQ(text, "An unsupported operation was attempted.");
}

// --- Real files --------------------------------------------------------

TEST(ReaderOnRealFiles, EveryOffsetAndSizeGivesTheFilesBytes) {
    ScratchFolder scratch;
    std::mt19937 random(42);
    std::vector<uint8_t> bytes(70001);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    const std::string path = scratch.WriteFile("image.bin", bytes);

    CFile64Ex file(4096);
    CFileException error;
    ASSERT_TRUE(file.Open(path, kReadFlags, &error));
    EXPECT_EQ(file.GetLength(), bytes.size());
    uint8_t block[16];
    for (uint64_t at = 0; at < bytes.size(); ++at) {
        file.Seek(static_cast<int64_t>(at), CFile64::begin);
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(16, bytes.size() - at));
        ASSERT_EQ(file.Read(block, 16), want) << at;
        ASSERT_EQ(0, std::memcmp(block, bytes.data() + at, want)) << at;
    }
    std::vector<uint8_t> piece(20000);
    for (int i = 0; i < 300; ++i) {
        const uint64_t at = random() % bytes.size();
        const uint32_t size = random() % piece.size();
        file.Seek(static_cast<int64_t>(at), CFile64::begin);
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(size, bytes.size() - at));
        ASSERT_EQ(file.Read(piece.data(), size), want);
        ASSERT_EQ(0, std::memcmp(piece.data(), bytes.data() + at, want));
        EXPECT_EQ(file.IsEOF(), want < size);
    }
}

TEST(ReaderOnRealFiles, OpenFailuresFillTheRecordWithTheNameAsGiven) {
    ScratchFolder scratch;
    CFile64Ex file;
    CFileException error(CFileException::none, -1);
    EXPECT_FALSE(file.Open("no-such-file.img", kReadFlags, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, testing::kErrorNotFound);
    EXPECT_EQ(error.m_strFileName, "no-such-file.img");
    EXPECT_EQ(file.m_hFile, platform::kInvalidHandle);

    CFileException folder;
    EXPECT_FALSE(file.Open(scratch.path(), kReadFlags, &folder));
    EXPECT_EQ(folder.m_cause, CFileException::accessDenied);

    EXPECT_FALSE(file.Open(scratch / "missing/deeper", kReadFlags, nullptr));
}

TEST(ReaderOnRealFiles, AFileHeldExclusivelyElsewhereIsASharingViolation) {
    ScratchFolder scratch;
    const std::string path = scratch.WriteFile("locked.img", "0123456789");
    testing::HeldFile holder(path, testing::HeldFile::Hold::Exclusively);
    ASSERT_TRUE(holder.held());

    CFile64Ex file;
    CFileException error;
    EXPECT_FALSE(file.Open(path, kReadFlags, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(error.m_strFileName, path);

    holder.Release();
    EXPECT_TRUE(file.Open(path, kReadFlags, &error));
}

TEST(ReaderOnRealFiles, CreatingNeverEmptiesAFileThatAnotherOpenerHolds) {
    ScratchFolder scratch;
    const std::string path = scratch.WriteFile("held.eml", "keep me");
    testing::HeldFile holder(path, testing::HeldFile::Hold::AllowingReaders);
    ASSERT_TRUE(holder.held());
    CFile64 writer;
    CFileException error;
    EXPECT_FALSE(writer.Open(path, CFile64::modeCreate | CFile64::modeWrite | CFile64::shareExclusive,
                             &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    holder.Release();
    EXPECT_EQ(testing::ReadWholeFile(path).size(), 7u);
}

TEST(ReaderOnRealFiles, PlainFileWritesSeeksAndCloses) {
    ScratchFolder scratch;
    const std::string path = scratch / "plain.bin";
    CFile64 file;
    CFileException error;
    ASSERT_TRUE(file.Open(path, CFile64::modeCreate | CFile64::modeReadWrite | CFile64::shareExclusive,
                          &error));
    EXPECT_EQ(file.GetFilePath(), path);
    EXPECT_EQ(file.GetFileName(), "plain.bin");
    file.Write("abcdef", 6);
    EXPECT_EQ(file.GetLength(), 6u);
    EXPECT_EQ(file.Seek(2, CFile64::begin), 2u);
    char two[2];
    EXPECT_EQ(file.Read(two, 2), 2u);
    EXPECT_EQ(std::string(two, 2), "cd");
    file.SetLength(3);
    EXPECT_EQ(file.GetLength(), 3u);
    file.Close();
    EXPECT_EQ(file.m_hFile, platform::kInvalidHandle);
    EXPECT_TRUE(file.GetFilePath().empty());
    EXPECT_THROW(file.Read(two, 2), CFileException);

    // Creating an existing file empties it.
    ASSERT_TRUE(file.Open(path, CFile64::modeCreate | CFile64::modeWrite | CFile64::shareExclusive, &error));
    EXPECT_EQ(file.GetLength(), 0u);
}

}  // namespace
}  // namespace varrow
