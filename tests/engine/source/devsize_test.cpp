// The disk length and volume capacity queries.
#include "source/devsize.h"

#include <gtest/gtest.h>

#include "sim_os.h"
#include "source/file64.h"
#include "varrow.h"

namespace varrow {
namespace {

using testing::SimOs;

class SizeQueries : public ::testing::Test {
protected:
    SimOs sim;
    platform::ScopedOs scoped{sim};

    platform::Handle OpenSim(const std::string& path) {
        long error = 0;
        return sim.Open(path, platform::OpenRequest{}, &error);
    }
};

TEST_F(SizeQueries, InvalidHandlesAndNullResultsWriteNothing) {
    uint64_t length = 77;
    EXPECT_EQ(GetDeviceLength(-1, &length), 0);
    EXPECT_EQ(GetDeviceLength(0, &length), 0);
    EXPECT_EQ(length, 77u);
    auto& disk = sim.AddDevice("/dev/simdisk");
    disk.answersLength = true;
    EXPECT_EQ(GetDeviceLength(OpenSim("/dev/simdisk"), nullptr), 0);
    EXPECT_EQ(GetVolumeSize(nullptr, &length), 0);
    EXPECT_EQ(GetVolumeSize("/", nullptr), 0);
    EXPECT_EQ(length, 77u);
}

TEST_F(SizeQueries, ReportedLengthWinsOverGeometry) {
    auto& disk = sim.AddDevice("/dev/simdisk");
    disk.answersLength = true;
    disk.reportedLength = 80026361856;
    disk.answersGeometry = true;
    disk.geometry = {1, 12, 1, 1, 512};
    uint64_t length = 0;
    EXPECT_EQ(GetDeviceLength(OpenSim("/dev/simdisk"), &length), 1);
    EXPECT_EQ(length, 80026361856u);
}

TEST_F(SizeQueries, GeometryCountsWholeCylinders) {
    auto& disk = sim.AddDevice("/dev/simdisk");
    disk.answersGeometry = true;
    disk.geometry = {1024, 12, 255, 63, 512};
    uint64_t length = 0;
    EXPECT_EQ(GetDeviceLength(OpenSim("/dev/simdisk"), &length), 1);
    EXPECT_EQ(length, 8422686720u);
}

TEST_F(SizeQueries, ADeviceThatAnswersNeitherGivesNothing) {
    sim.AddDevice("/dev/simdisk");
    uint64_t length = 5;
    EXPECT_EQ(GetDeviceLength(OpenSim("/dev/simdisk"), &length), 0);
    EXPECT_EQ(length, 5u);
}

TEST_F(SizeQueries, ClustersWhenThe64BitQueryIsMissing) {
    sim.volumeSpace64Available = false;
    sim.volumeClusters["C:"] = platform::VolumeClusters{8, 512, 0, 2000000};
    uint64_t size = 0;
    EXPECT_EQ(GetVolumeSize("C:", &size), 1);
    EXPECT_EQ(size, 8192000000u);
}

TEST_F(SizeQueries, VolumeSizeIsTheTotalNotTheFreeSpace) {
    sim.volumeTotals["D:"] = 1000;  // the simulation reports half of it as available
    uint64_t size = 0;
    EXPECT_EQ(GetVolumeSize("D:", &size), 1);
    EXPECT_EQ(size, 1000u);
}

}  // namespace
}  // namespace varrow
