// Pass 1: header acceptance, the chain index and the byte-by-byte scan over
// files and simulated devices.
#include "link/classic/chain_indexer.h"
#include "scan/block_layout.h"
#include "scan/reference_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "link/block_index.h"
#include "scratch.h"
#include "session.h"
#include "sim_os.h"
#include "source/file64.h"

namespace varrow {
namespace {

using testing::EventRecorder;
using testing::ScratchFolder;
using testing::SimDevice;
using testing::SimOs;

constexpr uint32_t kReadFlags = CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary;

using IndexContents = std::map<uint32_t, std::vector<uint64_t>>;

void PutLittleEndian32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutHeader(std::vector<uint8_t>& image, size_t position, const BlockHeader& header) {
    uint8_t* at = image.data() + position;
    PutLittleEndian32(at, header.selfOffset);
    PutLittleEndian32(at + 4, header.blockSize);
    PutLittleEndian32(at + 8, header.dataLength);
    PutLittleEndian32(at + 12, header.nextOffset);
}

// Only the 16 header bytes, for headers that lie inside other blocks or
// close to the end of a source.
void PutHeader(std::vector<uint8_t>& image, size_t position, uint32_t selfOffset,
               uint32_t nextOffset) {
    PutHeader(image, position, BlockHeader{selfOffset, 512, 100, nextOffset});
}

// A whole block, header and 512-byte data area, growing the image when
// needed. The text in the data area cannot form an accepted header.
void PutBlock(std::vector<uint8_t>& image, size_t position, const BlockHeader& header) {
    const size_t end = position + kBlockHeaderSize + kBlockDataSize;
    if (image.size() < end) image.resize(end);
    PutHeader(image, position, header);
    std::fill(image.begin() + position + kBlockHeaderSize, image.begin() + end, uint8_t{'m'});
}

void PutBlock(std::vector<uint8_t>& image, size_t position, uint32_t selfOffset,
              uint32_t nextOffset) {
    PutBlock(image, position, BlockHeader{selfOffset, 512, 100, nextOffset});
}

IndexContents ContentsOf(const BlockIndex& index) {
    IndexContents contents;
    for (uint32_t offset : index.OffsetsInWalkingOrder()) {
        const PositionList* list = index.Find(offset);
        contents[offset] = {list->begin(), list->end()};
    }
    return contents;
}

// Records what reaches the sink, and how many questions the front end had
// been asked by then.
class RecordingSink : public BlockSink {
public:
    explicit RecordingSink(const EventRecorder& recorder) : recorder_(recorder) {}
    void Accept(const BlockHeader&, uint64_t position) override {
        positions.push_back(position);
        questionsBefore.push_back(recorder_.questions);
    }
    std::vector<uint64_t> positions;
    std::vector<int> questionsBefore;

private:
    const EventRecorder& recorder_;
};

// A recovery session whose events are recorded, and helpers that open a
// source and run the scan over it.
class ScanFixture {
protected:
    EventRecorder recorder;
    RecoverySession session{&EventRecorder::Callback, &recorder};
    RecordingSink sink{recorder};

    void ScanInto(const std::string& path, BlockSink& target) {
        CFile64Ex file(4096);
        CFileException error(CFileException::none, -1);
        ASSERT_TRUE(file.Open(path, kReadFlags, &error)) << path;
        ScanBlocks(session, file, target);
    }
    void Index(const std::string& path) {
        ChainIndexer indexer(session.linkedBlocks, session.chainHeads);
        ScanInto(path, indexer);
    }
    void ExpectIndexes(const IndexContents& heads, const IndexContents& linked) {
        EXPECT_EQ(ContentsOf(session.chainHeads), heads);
        EXPECT_EQ(ContentsOf(session.linkedBlocks), linked);
        for (const auto& [offset, positions] : ContentsOf(session.chainHeads)) {
            EXPECT_EQ(session.linkedBlocks.Find(offset), nullptr) << offset << " is in both indexes";
        }
    }
};

class ScanOfAFile : public ::testing::Test, public ScanFixture {
protected:
    ScratchFolder scratch;
    std::string Write(const std::vector<uint8_t>& image) { return scratch.WriteFile("image", image); }
};

// --- Headers -----------------------------------------------------------

TEST(BlockHeaders, DecodeFourLittleEndianFields) {
    const uint8_t bytes[16] = {0x01, 0x02, 0x03, 0x04, 0x00, 0x02, 0x00, 0x00,
                               0xFF, 0x01, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12};
    const BlockHeader header = DecodeBlockHeader(bytes);
    EXPECT_EQ(header.selfOffset, 0x04030201u);
    EXPECT_EQ(header.blockSize, 512u);
    EXPECT_EQ(header.dataLength, 0x1FFu);
    EXPECT_EQ(header.nextOffset, 0x12345678u);
}

struct AcceptanceRow {
    const char* name;
    BlockHeader header;
    bool accepted;
};

void PrintTo(const AcceptanceRow& row, std::ostream* out) { *out << row.name; }

class HeaderAcceptance : public ::testing::TestWithParam<AcceptanceRow>, public ScanFixture {};

// Each row is decided by IsAcceptedHeader and, as the only header of a
// small file, by the scan.
TEST_P(HeaderAcceptance, DecidesWhetherTheScanIndexesTheBlock) {
    const AcceptanceRow& row = GetParam();
    std::vector<uint8_t> image;
    PutBlock(image, 40, row.header);
    EXPECT_EQ(IsAcceptedHeader(DecodeBlockHeader(image.data() + 40)), row.accepted);

    ScratchFolder scratch;
    ScanInto(scratch.WriteFile("image", image), sink);
    EXPECT_EQ(sink.positions, row.accepted ? std::vector<uint64_t>{40} : std::vector<uint64_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderAcceptance,
    ::testing::Values(
        AcceptanceRow{"Typical", {1000, 512, 100, 0}, true},
        AcceptanceRow{"OneUsedByte", {1000, 512, 1, 2000}, true},
        AcceptanceRow{"FullDataArea", {1000, 512, 512, 2000}, true},
        AcceptanceRow{"SmallestOffset", {1, 512, 100, 0}, true},
        AcceptanceRow{"LargestOffsets", {0xFFFFFFFF, 512, 100, 0xFFFFFFFE}, true},
        AcceptanceRow{"NextBelowSelf", {2000, 512, 100, 1000}, true},
        AcceptanceRow{"BlockSize511", {1000, 511, 100, 0}, false},
        AcceptanceRow{"BlockSize513", {1000, 513, 100, 0}, false},
        AcceptanceRow{"BlockSizeZero", {1000, 0, 100, 0}, false},
        AcceptanceRow{"BlockSizeByteSwapped", {1000, 0x00020000, 100, 0}, false},
        AcceptanceRow{"NoUsedBytes", {1000, 512, 0, 0}, false},
        AcceptanceRow{"DataLength513", {1000, 512, 513, 0}, false},
        AcceptanceRow{"DataLengthAllBits", {1000, 512, 0xFFFFFFFF, 0}, false},
        AcceptanceRow{"SelfOffsetZero", {0, 512, 100, 2000}, false},
        AcceptanceRow{"NextIsSelf", {1000, 512, 100, 1000}, false}),
    [](const ::testing::TestParamInfo<AcceptanceRow>& info) { return info.param.name; });

// --- The chain index, fed directly ---------------------------------------

class ChainIndexing : public ::testing::Test, public ScanFixture {
protected:
    ChainIndexer indexer{session.linkedBlocks, session.chainHeads};
    void SetUp() override {
        session.linkedBlocks.Reset(kLinkedBlockBuckets);
        session.chainHeads.Reset(kChainHeadBuckets);
    }
    void Feed(uint32_t selfOffset, uint32_t nextOffset, uint64_t position) {
        indexer.Accept(BlockHeader{selfOffset, 512, 100, nextOffset}, position);
    }
};

TEST_F(ChainIndexing, SuccessorsMetBeforeTheirHeadMoveOverInTheirOrder) {
    Feed(2000, 3000, 0);    // two copies of the middle block, taken for heads
    Feed(2000, 3000, 600);
    ExpectIndexes({{2000, {0, 600}}}, {{3000, {}}});
    Feed(1000, 2000, 1200);  // the head names them
    Feed(3000, 0, 1800);
    Feed(1000, 2000, 2400);
    Feed(3000, 0, 3000);
    ExpectIndexes({{1000, {1200, 2400}}}, {{2000, {0, 600}}, {3000, {1800, 3000}}, {0, {}}});
}

TEST_F(ChainIndexing, TwoBlocksNamingOneAnotherLeaveNoHead) {
    // A loop has no first block: both end up as successors.
    Feed(1000, 2000, 0);
    Feed(2000, 1000, 600);
    ExpectIndexes({}, {{1000, {0}}, {2000, {600}}});
}

// --- The scan over files -------------------------------------------------

TEST_F(ScanOfAFile, SourcesShorterThanAHeaderReadNothingAndEmptyTheIndexes) {
    std::vector<uint8_t> header;
    PutBlock(header, 0, 1000, 0);
    ChainIndexer indexer(session.linkedBlocks, session.chainHeads);
    for (size_t size : {0, 1, 15}) {
        SCOPED_TRACE(size);
        session.chainHeads.Reset(3);
        session.chainHeads.FindOrCreate(42).push_back(7);  // left from an earlier pass
        session.linkedBlocks.Reset(3);
        session.linkedBlocks.FindOrCreate(43);
        // The scan's beginning gives the indexer's tables fresh buckets.
        ScanInto(Write(std::vector<uint8_t>(header.begin(), header.begin() + size)), indexer);
        EXPECT_EQ(session.chainHeads.EntryCount(), 0u);
        EXPECT_EQ(session.linkedBlocks.EntryCount(), 0u);
        EXPECT_EQ(session.chainHeads.BucketCount(), kChainHeadBuckets);
        EXPECT_EQ(session.linkedBlocks.BucketCount(), kLinkedBlockBuckets);
    }
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(ScanOfAFile, ThirtyThousandBytesAskTwiceAndReport16And33) {
    ScanInto(Write(std::vector<uint8_t>(30000, 0)), sink);
    EXPECT_EQ(recorder.Codes(),
              (std::vector<int32_t>{EV_QUERY_ABORT, EV_PROGRESS, EV_QUERY_ABORT, EV_PROGRESS}));
    EXPECT_EQ(recorder.Numbers(EV_PROGRESS), (std::vector<int64_t>{16, 33}));
}

struct QuestionRow {
    uint64_t headerPosition;
    int questionsBefore;
};

void PrintTo(const QuestionRow& row, std::ostream* out) {
    *out << "header at " << row.headerPosition << ", " << row.questionsBefore << " questions before";
}

class QuestionTiming : public ::testing::TestWithParam<QuestionRow>, public ScanFixture {};

// A question comes right after 10000 and after 20000 positions have been
// tried: the header at 9999 is tried before the first, the one at 10000
// after it.
TEST_P(QuestionTiming, ComesOnceEveryTenThousandPositions) {
    ScratchFolder scratch;
    std::vector<uint8_t> image(30000, 0);
    PutHeader(image, GetParam().headerPosition, 1000, 0);
    ScanInto(scratch.WriteFile("image", image), sink);
    ASSERT_EQ(sink.positions, std::vector<uint64_t>{GetParam().headerPosition});
    EXPECT_EQ(sink.questionsBefore, std::vector<int>{GetParam().questionsBefore});
}

INSTANTIATE_TEST_SUITE_P(Boundaries, QuestionTiming,
                         ::testing::Values(QuestionRow{9999, 0}, QuestionRow{10000, 1},
                                           QuestionRow{19999, 1}, QuestionRow{20000, 2},
                                           QuestionRow{29984, 2}),
                         [](const ::testing::TestParamInfo<QuestionRow>& info) {
                             return "HeaderAt" + std::to_string(info.param.headerPosition);
                         });

TEST_F(ScanOfAFile, ASingleLastBlockIsAChainHead) {
    std::vector<uint8_t> image(100, 0);
    PutBlock(image, 100, BlockHeader{1000, 512, 100, 0});
    Index(Write(image));
    ExpectIndexes({{1000, {100}}}, {{0, {}}});
}

TEST_F(ScanOfAFile, TwoBlockChainGivesOneHeadInEitherOrder) {
    for (bool headFirst : {true, false}) {
        SCOPED_TRACE(headFirst ? "head first" : "successor first");
        const uint64_t headAt = headFirst ? 0 : 700;
        const uint64_t nextAt = headFirst ? 700 : 0;
        std::vector<uint8_t> image;
        PutBlock(image, headAt, 1000, 2000);
        PutBlock(image, nextAt, 2000, 0);
        Index(Write(image));
        ExpectIndexes({{1000, {headAt}}}, {{2000, {nextAt}}, {0, {}}});
    }
}

TEST_F(ScanOfAFile, TwoCopiesOfAChainKeepEveryPositionInOrder) {
    std::vector<uint8_t> image;
    for (size_t copy : {0, 5000}) {
        PutBlock(image, copy, 1000, 2000);
        PutBlock(image, copy + 600, 2000, 3000);
        PutBlock(image, copy + 1200, 3000, 0);
    }
    Index(Write(image));
    ExpectIndexes({{1000, {0, 5000}}},
                  {{2000, {600, 5600}}, {3000, {1200, 6200}}, {0, {}}});
}

TEST_F(ScanOfAFile, HeadersInsideAnotherBlocksDataAreFound) {
    std::vector<uint8_t> image;
    PutBlock(image, 0, BlockHeader{1000, 512, 512, 0});
    PutHeader(image, 16, 4000, 0);        // right after the header
    PutHeader(image, 16 + 37, 5000, 0);   // at an odd place in the data
    PutHeader(image, 16 + 496, 6000, 0);  // the last 16 bytes of the data
    Index(Write(image));
    ExpectIndexes({{1000, {0}}, {4000, {16}}, {5000, {53}}, {6000, {512}}}, {{0, {}}});
}

TEST_F(ScanOfAFile, StopAtTheFirstQuestionEndsAfterTenThousandPositions) {
    recorder.stopAt = [](int question) { return question == 1; };
    std::vector<uint8_t> image(30000, 0);
    PutHeader(image, 9984, 1000, 0);   // tried before the question
    PutHeader(image, 10000, 2000, 0);  // the first position after it
    PutHeader(image, 25000, 3000, 0);
    Index(Write(image));
    EXPECT_EQ(recorder.Codes(), std::vector<int32_t>{EV_QUERY_ABORT});
    ExpectIndexes({{1000, {9984}}}, {{0, {}}});
}

TEST_F(ScanOfAFile, ASinkThatRaisesEndsThePassWithItsException) {
    class FailingSink : public BlockSink {
    public:
        void Accept(const BlockHeader&, uint64_t) override { throw CMemoryException(); }
    } failing;
    std::vector<uint8_t> image(20000, 0);
    PutHeader(image, 500, 1000, 0);
    EXPECT_THROW(ScanInto(Write(image), failing), CMemoryException);
    EXPECT_TRUE(recorder.events.empty());
}

// --- The scan over devices -----------------------------------------------

class ScanOfADevice : public ::testing::Test, public ScanFixture {
protected:
    SimOs sim;
    platform::ScopedOs scoped{sim};

    // A block device of size bytes that says it holds only reportedLength,
    // with headers at the given positions.
    SimDevice& AddShortReportingDevice(const std::string& path, size_t size, uint64_t reportedLength,
                                       const std::vector<uint64_t>& headers) {
        SimDevice& device = sim.AddDevice(path);
        device.bytes.assign(size, 0);
        device.blockDevice = true;
        device.answersLength = true;
        device.reportedLength = reportedLength;
        uint32_t selfOffset = 1000;
        for (uint64_t position : headers) PutHeader(device.bytes, position, selfOffset++, 0);
        return device;
    }
    void ScanAgain(const std::string& path) {
        sink.positions.clear();
        recorder.events.clear();
        ScanInto(path, sink);
    }
};

TEST_F(ScanOfADevice, APhysicalDiskEndsAtItsReportedLength) {
    for (const char* path : {"\\\\.\\PHYSICALDRIVE1", "/dev/simdisk"}) {
        SCOPED_TRACE(path);
        // The last position tried is the one before the length.
        AddShortReportingDevice(path, 40000, 12000, {11999, 12015, 39984}).wholeDisk = true;
        ScanAgain(path);
        EXPECT_EQ(sink.positions, std::vector<uint64_t>{11999});
        EXPECT_EQ(recorder.Numbers(EV_PROGRESS), std::vector<int64_t>{41});
        EXPECT_EQ(recorder.Count(EV_QUERY_ABORT), 1);

        // A header at the length itself is not tried.
        AddShortReportingDevice(path, 40000, 12000, {11984, 12000}).wholeDisk = true;
        ScanAgain(path);
        EXPECT_EQ(sink.positions, std::vector<uint64_t>{11984});
    }
}

TEST_F(ScanOfADevice, AVolumeOrPartitionReadsOnUntilReadsComeBackShort) {
    sim.volumeTotals["X:"] = 12000;
    sim.volumeSectorSizes["X:"] = 512;
    for (const char* path : {"\\\\.\\X:", "/dev/simdisk1"}) {
        SCOPED_TRACE(path);
        AddShortReportingDevice(path, 40000, 12000, {11999, 12015, 39984});
        ScanAgain(path);
        EXPECT_EQ(sink.positions, (std::vector<uint64_t>{11999, 12015, 39984}));
        // 10000, 20000 and 30000 positions of a reported 12000 bytes.
        EXPECT_EQ(recorder.Numbers(EV_PROGRESS), (std::vector<int64_t>{41, 50, 50}));
    }
}

TEST_F(ScanOfADevice, ProgressNeverPassesFiftyWhenTheLengthIsFarTooShort) {
    // Unclamped the values would be 500, 1000 and 1500, which do not fit a
    // byte.
    AddShortReportingDevice("/dev/simdisk1", 40000, 1000, {});
    ScanInto("/dev/simdisk1", sink);
    EXPECT_EQ(recorder.Numbers(EV_PROGRESS), (std::vector<int64_t>{50, 50, 50}));
}

TEST_F(ScanOfADevice, ADeviceWithoutALengthIsScannedWithoutProgress) {
    SimDevice& device = AddShortReportingDevice("/dev/simsilent", 25000, 0, {24000});
    device.answersLength = false;
    ScanInto("/dev/simsilent", sink);
    EXPECT_EQ(sink.positions, std::vector<uint64_t>{24000});
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{EV_QUERY_ABORT, EV_QUERY_ABORT}));
}

TEST_F(ScanOfADevice, AFailingSectorReadsAsZerosAndTheScanGoesOn) {
    SimDevice& device = sim.AddDevice("/dev/sim0");
    device.bytes.assign(8192, 0);
    PutHeader(device.bytes, 1000, 1000, 0);
    PutHeader(device.bytes, 2100, 2000, 0);  // inside the failing sector
    PutHeader(device.bytes, 3000, 3000, 0);
    device.badSectors = {4};  // bytes 2048..2559
    Index("/dev/sim0");
    ExpectIndexes({{1000, {1000}}, {3000, {3000}}}, {{0, {}}});
}

TEST_F(ScanOfADevice, AFailingSeekEndsThePassLikeTheEndOfTheSource) {
    SimDevice& device = sim.AddDevice("/dev/sim0");
    device.bytes.assign(20000, 0);
    device.seekFails = [](uint64_t position) { return position >= 8192; };
    PutHeader(device.bytes, 1000, 1000, 0);
    PutHeader(device.bytes, 8176, 2000, 0);  // the last header before the region
    PutHeader(device.bytes, 9000, 3000, 0);
    ScanInto("/dev/sim0", sink);
    EXPECT_EQ(sink.positions, (std::vector<uint64_t>{1000, 8176}));
    EXPECT_TRUE(recorder.events.empty());
}

}  // namespace
}  // namespace varrow
