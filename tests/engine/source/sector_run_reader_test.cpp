// Runs of many sectors read in one call: how much of each is clean, what is
// carried from one run to the next, and when runs cannot stand for the
// source's windows.
#include "source/sector_run_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sim_os.h"
#include "source/file64.h"

namespace varrow {
namespace {

using testing::SimDevice;
using testing::SimOs;

constexpr uint32_t kWindow = 4096;
constexpr uint32_t kRun = 4 * kWindow;

class SectorRuns : public ::testing::TestWithParam<uint32_t> {
protected:
    SimOs sim;
    platform::ScopedOs scoped{sim};
    CFile64Ex source{kWindow};

    SimDevice& Device(size_t size, uint32_t sectorSize = 512) {
        SimDevice& device = sim.AddDevice("/dev/runs");
        device = SimDevice{};
        for (size_t i = 0; i < size; ++i)
            device.bytes.push_back(static_cast<uint8_t>(i * 7 + i / 251));
        device.sectorSize = sectorSize;
        device.blockDevice = true;
        return device;
    }
    void Open() {
        CFileException error(CFileException::none, -1);
        ASSERT_TRUE(source.Open("/dev/runs", CFile64::modeRead | CFile64::shareDenyNone, &error));
    }
    uint32_t ReadAhead() const { return GetParam(); }
};

TEST_P(SectorRuns, DeliverWholeRunsAndTheWholeWindowsOfTheLast) {
    const SimDevice& device = Device(2 * kRun + kWindow + 100);
    Open();
    SectorRunReader reader(source, kRun, ReadAhead());
    ASSERT_TRUE(reader.Usable());
    for (uint64_t start = 0; start < 2 * kRun; start += kRun) {
        ASSERT_EQ(reader.ReadRun(start), kRun) << start;
        EXPECT_TRUE(std::equal(reader.Run(), reader.Run() + kRun, device.bytes.begin() + start));
        reader.CarryOver();
        // The carry is the run's last bytes, for a header that starts there.
        EXPECT_TRUE(std::equal(reader.Carry(), reader.Carry() + SectorRunReader::kCarry,
                               device.bytes.begin() + start + kRun - SectorRunReader::kCarry));
    }
    // The last run: one whole window; its 100 bytes beyond are the source's
    // to deliver through the windows.
    EXPECT_EQ(reader.ReadRun(2 * kRun), kWindow);
    EXPECT_TRUE(std::equal(reader.Run(), reader.Run() + kWindow, device.bytes.begin() + 2 * kRun));
}

TEST_P(SectorRuns, ARunWithAFailingSectorIsLeftToTheSectorBySectorPath) {
    SimDevice& device = Device(3 * kRun);
    device.badSectors = {kRun / 512 + 9};  // in the second run's third window
    Open();
    SectorRunReader reader(source, kRun, ReadAhead());
    EXPECT_EQ(reader.ReadRun(0), kRun);
    // The device refuses the whole transfer: nothing of the run is clean, and
    // the caller reads it through the source, which turns the one sector
    // into zeros.
    EXPECT_EQ(reader.ReadRun(kRun), 0u);
    EXPECT_EQ(reader.ReadRun(2 * kRun), kRun);
    EXPECT_TRUE(std::equal(reader.Run(), reader.Run() + kRun, device.bytes.begin() + 2 * kRun));
}

TEST_P(SectorRuns, AreNotUsedWhereTheyCannotStandForTheWindows) {
    Device(kRun);
    Open();
    EXPECT_FALSE(SectorRunReader(source, kRun + 512, ReadAhead()).Usable());  // not whole windows
    EXPECT_FALSE(SectorRunReader(source, 0, ReadAhead()).Usable());
    EXPECT_TRUE(SectorRunReader(source, kRun, ReadAhead()).Usable());
}

TEST_P(SectorRuns, OnALargeSectorDeviceRunsAreWholeSectors) {
    Device(2 * kRun, 4096);
    Open();
    EXPECT_TRUE(SectorRunReader(source, kRun, ReadAhead()).Usable());
    CFile64Ex wide(2 * kWindow);
    CFileException error(CFileException::none, -1);
    ASSERT_TRUE(wide.Open("/dev/runs", CFile64::modeRead | CFile64::shareDenyNone, &error));
    EXPECT_FALSE(SectorRunReader(wide, 3 * kWindow, ReadAhead()).Usable());  // half a window
}

INSTANTIATE_TEST_SUITE_P(ReadAhead, SectorRuns, ::testing::Values(0u, 2u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return "Ahead" + std::to_string(info.param);
                         });

// With read-ahead both threads read runs and work on them. Here the
// helper is slow, so the caller reads runs further on while it waits.
// Whichever thread did, each run is worked on once, in the buffer it is
// handed over in, and what the work raised on one run is raised when the
// caller takes that run, not before.
class RunsReadAhead : public SectorRuns {};

TEST_P(RunsReadAhead, EachRunIsWorkedOnOnceAndAFailureComesInItsTurn) {
    class Work : public RunReadAhead::RunWork {
    public:
        void Do(size_t buffer, uint64_t start, const uint8_t* run, uint32_t delivered) override {
            const bool helper = std::this_thread::get_id() != caller;
            if (helper) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::lock_guard<std::mutex> lock(mutex);
            done.push_back({start, buffer});
            byCaller += helper ? 0 : 1;
            firstBytes[buffer] = delivered > 0 ? run[0] : -1;
            if (start == failAt) throw std::runtime_error("the work failed");
        }
        const std::thread::id caller = std::this_thread::get_id();
        std::mutex mutex;
        std::vector<std::pair<uint64_t, size_t>> done;
        int byCaller = 0;
        std::map<size_t, int> firstBytes;
        uint64_t failAt = UINT64_MAX;
    };
    const SimDevice& device = Device(12 * kRun);
    Open();
    // Runs the caller worked on, over all cases: which thread takes a run
    // is up to the scheduler, so one case alone may find the helper ahead
    // of the caller throughout on a busy machine.
    int byCaller = 0;
    for (const uint64_t failing : {0, 3, 4, 5, 6, 7, 20}) {
        SCOPED_TRACE(::testing::Message() << "failing run " << failing);
        Work work;
        work.failAt = failing * kRun;
        {
            SectorRunReader reader(source, kRun, ReadAhead(), UINT64_MAX, &work);
            for (uint64_t index = 0; index < 12; ++index) {
                if (index == failing) {
                    EXPECT_THROW(reader.ReadRun(index * kRun), std::runtime_error);
                    break;
                }
                ASSERT_EQ(reader.ReadRun(index * kRun), kRun);
                ASSERT_GE(reader.WorkBuffer(), 0);
                std::lock_guard<std::mutex> lock(work.mutex);
                EXPECT_EQ(work.firstBytes[static_cast<size_t>(reader.WorkBuffer())],
                          device.bytes[index * kRun]);
                EXPECT_EQ(reader.Run()[0], device.bytes[index * kRun]);
            }
        }
        byCaller += work.byCaller;
        std::vector<uint64_t> starts;
        for (const auto& [start, buffer] : work.done) starts.push_back(start);
        std::sort(starts.begin(), starts.end());
        EXPECT_EQ(std::adjacent_find(starts.begin(), starts.end()), starts.end()) << "worked twice";
        ASSERT_GE(starts.size(), std::min<uint64_t>(failing + 1, 12));
        for (size_t i = 0; i < starts.size(); ++i) EXPECT_EQ(starts[i], i * kRun);
    }
    EXPECT_GT(byCaller, 0) << "the caller waited instead of reading";
}

INSTANTIATE_TEST_SUITE_P(ReadAhead, RunsReadAhead, ::testing::Values(1u, 2u, 4u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return "Ahead" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace varrow
