// The fast scan held against the reference scan: over the same source both
// must hand the same blocks to the sink, fill the indexes alike (the same
// offsets with the same positions, in the same walking order), send the same
// events and end at the same position.
//
// The fast scan relies on two facts of real systems, and the simulated
// devices here keep to them: a sector reads the same every time, and
// positioning fails only beyond the readable part of a source, so a region
// of failing or misplaced seeks runs from its start to the end of the device.
#include "scan/fast_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <set>
#include <thread>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "event_recorder.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"
#include "link/block_index.h"
#include "link/classic/chain_indexer.h"
#include "scan/block_layout.h"
#include "scan/reference_scan.h"
#include "scan/simd_header_search.h"
#include "scratch.h"
#include "session.h"
#include "sim_os.h"
#include "source/file64.h"

namespace varrow {
namespace {

using testing::EventRecorder;
using testing::ScratchFolder;
using testing::SimDevice;
using testing::SimImage;
using testing::SimOs;

constexpr uint32_t kReadFlags = CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary;
constexpr uint32_t kWindow = 4096;
// Two windows per run: small sources cross many run boundaries.
constexpr uint32_t kSmallRun = 2 * kWindow;

FastScanSettings SmallRuns(HeaderFinder finder = nullptr) { return {kSmallRun, finder}; }

struct NamedFinder {
    const char* name;
    HeaderFinder finder;
};

// The portable kernel always, the vector ones where this processor has them.
std::vector<NamedFinder> AvailableFinders() {
    std::vector<NamedFinder> finders{{"portable", &FindHeadersPortable}};
    if (HeaderFinder avx2 = Avx2HeaderFinder()) finders.push_back({"avx2", avx2});
    if (HeaderFinder avx512 = Avx512HeaderFinder()) finders.push_back({"avx512", avx512});
    return finders;
}

std::vector<uint8_t> RandomBytes(size_t size, uint64_t seed) {
    std::vector<uint8_t> bytes(size);
    ostrel::builder::Random random(seed);
    random.Fill(bytes.data(), bytes.size());
    return bytes;
}

void PutLittleEndian32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The 16 header bytes alone, cut off where the image ends.
void PutHeader(std::vector<uint8_t>& image, uint64_t position, const BlockHeader& header) {
    uint8_t bytes[kBlockHeaderSize];
    PutLittleEndian32(bytes, header.selfOffset);
    PutLittleEndian32(bytes + 4, header.blockSize);
    PutLittleEndian32(bytes + 8, header.dataLength);
    PutLittleEndian32(bytes + 12, header.nextOffset);
    for (uint32_t i = 0; i < kBlockHeaderSize && position + i < image.size(); ++i) {
        image[position + i] = bytes[i];
    }
}

void PutHeader(std::vector<uint8_t>& image, uint64_t position, uint32_t selfOffset,
               uint32_t nextOffset = 0) {
    PutHeader(image, position, BlockHeader{selfOffset, 512, 100, nextOffset});
}

// Random bytes with a few chains whose blocks lie at the start, in the
// middle and in the last header of the source, and across the first run
// boundaries and report points.
std::vector<uint8_t> RandomImageWithHeaders(size_t size, uint64_t seed) {
    std::vector<uint8_t> image = RandomBytes(size, seed);
    const uint64_t spots[] = {0,     100,   kSmallRun - 8, kSmallRun * 2 - 15, 9990,
                              19999, 30000, size / 2,      size - 16};
    uint32_t offset = 0x1000;
    for (uint64_t spot : spots) {
        if (spot + kBlockHeaderSize <= size) PutHeader(image, spot, offset, offset + 0x210);
        offset += 0x210;
    }
    return image;
}

// Random bytes with a header every step bytes, so that every stretch of
// positions that one scan tries and the other might not holds blocks.
std::vector<uint8_t> DenseHeaders(size_t size, uint64_t seed, size_t step = 700) {
    std::vector<uint8_t> image = RandomBytes(size, seed);
    uint32_t offset = 0x40000;
    for (size_t at = 3; at + kBlockHeaderSize <= size; at += step, offset += 0x210) {
        PutHeader(image, at, offset, offset + 0x210);
    }
    return image;
}

using IndexInOrder = std::vector<std::pair<uint32_t, std::vector<uint64_t>>>;
// Position, the four fields, and the questions asked before the block came.
using AcceptedBlock = std::tuple<uint64_t, uint32_t, uint32_t, uint32_t, uint32_t, int>;

// Everything a scan leaves behind that anyone can see.
struct ScanOutcome {
    std::vector<AcceptedBlock> accepted;
    IndexInOrder linkedBlocks;
    IndexInOrder chainHeads;
    std::vector<std::pair<int32_t, int64_t>> events;
};

IndexInOrder InWalkingOrder(const BlockIndex& index) {
    IndexInOrder entries;
    for (uint32_t offset : index.OffsetsInWalkingOrder()) {
        const PositionList* list = index.Find(offset);
        entries.emplace_back(offset, std::vector<uint64_t>(list->begin(), list->end()));
    }
    return entries;
}

// Records every block on its way into the session's indexes; blocks that
// come together go in together, as they do in a recovery.
class RecordingIndexer : public BlockSink {
public:
    RecordingIndexer(RecoverySession& session, const EventRecorder& recorder)
        : indexer_(session.linkedBlocks, session.chainHeads), recorder_(recorder) {}
    void Accept(const BlockHeader& header, uint64_t position) override {
        Record(header, position);
        indexer_.Accept(header, position);
    }
    void AcceptAll(const FoundBlock* blocks, size_t count) override {
        for (size_t i = 0; i < count; ++i) Record(blocks[i].header, blocks[i].position);
        indexer_.AcceptAll(blocks, count);
    }
    std::vector<AcceptedBlock> accepted;

private:
    void Record(const BlockHeader& header, uint64_t position) {
        accepted.emplace_back(position, header.selfOffset, header.blockSize, header.dataLength,
                              header.nextOffset, recorder_.questions);
    }

    ChainIndexer indexer_;
    const EventRecorder& recorder_;
};

// The first difference of two sequences, or success.
template <typename T>
::testing::AssertionResult SameSequence(const char* what, const std::vector<T>& reference,
                                        const std::vector<T>& fast) {
    for (size_t i = 0; i < std::min(reference.size(), fast.size()); ++i) {
        if (!(reference[i] == fast[i])) {
            return ::testing::AssertionFailure()
                   << what << " differ at " << i << ": reference "
                   << ::testing::PrintToString(reference[i]) << ", fast "
                   << ::testing::PrintToString(fast[i]);
        }
    }
    if (reference.size() != fast.size()) {
        return ::testing::AssertionFailure() << what << ": the reference has " << reference.size()
                                             << ", the fast scan " << fast.size();
    }
    return ::testing::AssertionSuccess();
}

class FastScan : public ::testing::Test {
protected:
    ScratchFolder scratch;
    SimOs sim;  // files of the scratch folder pass through to the real system
    platform::ScopedOs scoped{sim};
    std::function<bool(int)> stopAt;
    // Failed bytes the reader recorded in the last scan.
    uint64_t lastFailedBytes = 0;
    // Whether sources are opened with image formats read as images.
    bool readImages = false;

    std::string File(const std::vector<uint8_t>& bytes) { return scratch.WriteFile("image", bytes); }

    SimDevice& Device(const std::string& path, std::vector<uint8_t> bytes, uint32_t sectorSize) {
        SimDevice& device = sim.AddDevice(path);
        device = SimDevice{};
        device.bytes = std::move(bytes);
        device.sectorSize = sectorSize;
        device.blockDevice = true;  // so that the reader takes the sector size from it
        return device;
    }

    // settings null: the reference scan.
    ScanOutcome Scan(const std::string& path, const FastScanSettings* settings,
                     uint32_t windowSize) {
        EventRecorder recorder;
        recorder.stopAt = stopAt;
        RecoverySession session(&EventRecorder::Callback, &recorder);
        RecordingIndexer sink(session, recorder);
        CFile64Ex source(windowSize);
        source.ReadImageFormats(readImages);
        CFileException error(CFileException::none, -1);
        EXPECT_TRUE(source.Open(path, kReadFlags, &error)) << path;
        if (settings) {
            ScanBlocksFast(session, source, sink, *settings);
        } else {
            ScanBlocks(session, source, sink);
        }
        lastFailedBytes = source.Failures().Bytes();
        ScanOutcome outcome;
        outcome.accepted = std::move(sink.accepted);
        outcome.linkedBlocks = InWalkingOrder(session.linkedBlocks);
        outcome.chainHeads = InWalkingOrder(session.chainHeads);
        for (const auto& event : recorder.events) outcome.events.emplace_back(event.code, event.number);
        return outcome;
    }

    // Runs the reference scan and the fast scan, with every run read when
    // it is needed and with runs read ahead by both threads, over path
    // and expects the same outcome; returns the reference's, for checks
    // that the source was worth scanning.
    ScanOutcome ExpectSameScan(const std::string& path, const FastScanSettings& settings = SmallRuns(),
                               uint32_t windowSize = kWindow) {
        ScanOutcome reference = Scan(path, nullptr, windowSize);
        const uint64_t referenceFailures = lastFailedBytes;
        for (uint32_t readAhead : {0u, 1u, kDefaultReadAhead}) {
            SCOPED_TRACE(::testing::Message() << "read ahead " << readAhead);
            FastScanSettings variant = settings;
            variant.readAhead = readAhead;
            const ScanOutcome fast = Scan(path, &variant, windowSize);
            EXPECT_TRUE(SameSequence("accepted blocks", reference.accepted, fast.accepted));
            EXPECT_TRUE(SameSequence("linkedBlocks", reference.linkedBlocks, fast.linkedBlocks));
            EXPECT_TRUE(SameSequence("chainHeads", reference.chainHeads, fast.chainHeads));
            EXPECT_TRUE(SameSequence("events", reference.events, fast.events));
            // The fast scan reads through the source only where runs fail,
            // so it can meet fewer failing sectors, never more.
            EXPECT_LE(lastFailedBytes, referenceFailures);
        }
        return reference;
    }

    int Questions(const ScanOutcome& outcome) {
        int questions = 0;
        for (const auto& event : outcome.events) questions += event.first == EV_QUERY_ABORT;
        return questions;
    }
};

// --- The kernels -----------------------------------------------------------

TEST(HeaderFinders, EveryVariantFindsWhatThePortableOneFinds) {
    // Random bytes with accepted headers and headers that fail one field
    // planted densely, overlapping one another, at every residue.
    std::vector<uint8_t> bytes = RandomBytes(4096, 7);
    ostrel::builder::Random random(8);
    const BlockHeader headers[] = {
        {1000, 512, 100, 0},  {1, 512, 1, 2},   {0xFFFFFFFF, 512, 512, 0xFFFFFFFE},
        {1000, 511, 100, 0},  {1000, 513, 100, 0}, {1000, 0x00020000, 100, 0},
        {1000, 512, 0, 0},    {1000, 512, 513, 0}, {1000, 512, 0xFFFFFFFF, 0},
        {0, 512, 100, 2000},  {1000, 512, 100, 1000}};
    for (int i = 0; i < 300; ++i) {
        PutHeader(bytes, random.Below(4000), headers[random.Below(std::size(headers))]);
    }
    std::vector<uint32_t> expected(4096), found(4096);
    for (const NamedFinder& variant : AvailableFinders()) {
        SCOPED_TRACE(variant.name);
        for (size_t start = 0; start < 64; start += 7) {
            for (size_t count : {0, 1, 31, 32, 33, 63, 64, 65, 100, 127, 128, 129, 1000, 3000}) {
                const size_t want = FindHeadersPortable(bytes.data() + start, count, expected.data());
                const size_t got = variant.finder(bytes.data() + start, count, found.data());
                ASSERT_EQ(std::vector<uint32_t>(found.begin(), found.begin() + got),
                          std::vector<uint32_t>(expected.begin(), expected.begin() + want))
                    << "start " << start << ", count " << count;
                if (count == 3000) {
                    EXPECT_GT(want, 20u);
                }
            }
        }
    }
}

TEST(HeaderFinders, AdversarialBytes) {
    const size_t count = 1000;
    const auto repeated = [count](std::vector<uint8_t> period) {
        std::vector<uint8_t> bytes(count + 16);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = period[i % period.size()];
        return bytes;
    };
    const auto every = [count](uint32_t step) {
        std::vector<uint32_t> positions;
        for (uint32_t i = 0; i < count; i += step) positions.push_back(i);
        return positions;
    };
    const std::pair<std::vector<uint8_t>, std::vector<uint32_t>> rows[] = {
        {repeated({0}), {}},
        {repeated({2}), {}},
        {repeated({0, 2, 0, 0}), {}},  // blockSize 512 at every fourth position, next equals self
        {repeated({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}), {}},  // 512 stored big-endian
        {repeated({100, 0, 0, 0, 0, 2, 0, 0}), every(8)},   // {100, 512, 100, 512}
        {repeated({0xE8, 3, 0, 0, 0, 2, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0}), every(16)}};
    std::vector<uint32_t> found(count);
    for (const NamedFinder& variant : AvailableFinders()) {
        SCOPED_TRACE(variant.name);
        for (const auto& [bytes, positions] : rows) {
            const size_t n = variant.finder(bytes.data(), count, found.data());
            EXPECT_EQ(std::vector<uint32_t>(found.begin(), found.begin() + n), positions);
        }
    }
}

// --- The reader ------------------------------------------------------------

TEST_F(FastScan, WholeRunsAreReadWithOneCallEach) {
    SimDevice& device = Device("/dev/sim0", RandomImageWithHeaders(5 * kSmallRun, 1), 512);
    Scan("/dev/sim0", nullptr, kWindow);
    const size_t referenceReads = device.readLog.size();
    device.ResetCounters();
    FastScanSettings settings = SmallRuns();
    settings.readAhead = 0;
    Scan("/dev/sim0", &settings, kWindow);
    ASSERT_GE(device.readLog.size(), 5u);
    for (uint32_t run = 0; run < 5; ++run) {
        EXPECT_EQ(device.readLog[run], std::make_pair(uint64_t{run} * kSmallRun, kSmallRun));
    }
    // Only the end of the source goes through the windows, a sector a call.
    EXPECT_EQ(referenceReads, 5 * kSmallRun / 512 + 1);
    EXPECT_LT(device.readLog.size(), 5 + 1 + 2 * kWindow / 512);
    EXPECT_EQ(device.sequentialAdvice, 1);

    // Read ahead, the two threads share the runs: every run is read once,
    // the runs read are the first ones, in one stretch, and none lies
    // further than the buffers (read-ahead + 1) reach past the last run the
    // scan took.
    device.ResetCounters();
    settings.readAhead = 2;
    Scan("/dev/sim0", &settings, kWindow);
    std::vector<uint64_t> runs;
    for (const auto& [position, size] : device.readLog) {
        if (size == kSmallRun) runs.push_back(position);
    }
    std::sort(runs.begin(), runs.end());
    EXPECT_EQ(std::adjacent_find(runs.begin(), runs.end()), runs.end()) << "a run read twice";
    ASSERT_GE(runs.size(), 5u);
    EXPECT_LE(runs.size(), 5u + 3u);  // the last run taken is the sixth, which is empty
    for (uint64_t run = 0; run < runs.size(); ++run) EXPECT_EQ(runs[run], run * kSmallRun);
}

TEST_F(FastScan, ABlockDeviceForgetsWhatTheScanPassedAFileStaysCached) {
    SimDevice& disk = Device("/dev/sim0", RandomBytes(3 * kSmallRun, 2), 512);
    const FastScanSettings settings = SmallRuns();
    Scan("/dev/sim0", &settings, kWindow);
    EXPECT_EQ(disk.droppedRanges, (std::vector<std::pair<uint64_t, uint64_t>>{
                                      {0, kSmallRun}, {kSmallRun, kSmallRun},
                                      {2 * kSmallRun, kSmallRun}, {3 * kSmallRun, kSmallRun}}));

    SimDevice& image = Device("/dev/sim1", RandomBytes(3 * kSmallRun, 2), 512);
    image.blockDevice = false;
    Scan("/dev/sim1", &settings, kWindow);
    EXPECT_TRUE(image.droppedRanges.empty());
}

// --- Files -----------------------------------------------------------------

TEST_F(FastScan, SizesAroundWindowsRunsAndReportPoints) {
    for (size_t size : {0, 1, 15, 16, 17, 31, 4095, 4096, 4097, 8176, 8177, 8191, 8192, 8193,
                        8208, 9999, 10000, 10015, 10016, 10017, 20015, 20016, 3 * 8192 + 7}) {
        SCOPED_TRACE(size);
        ExpectSameScan(File(RandomImageWithHeaders(size, size)));
    }
}

TEST_F(FastScan, SizesAroundTheDefaultRun) {
    for (size_t size : {kDefaultScanRunSize - 16, kDefaultScanRunSize + 16, 3 * kDefaultScanRunSize + 5}) {
        SCOPED_TRACE(size);
        const ScanOutcome reference = ExpectSameScan(File(RandomImageWithHeaders(size, size)), {});
        EXPECT_EQ(reference.accepted.size(), 9u);
    }
}

TEST_F(FastScan, HeadersStraddlingRunBoundaries) {
    // One image per distance from the boundaries, with a header at that
    // distance from each of them; -15 and later lie across the carry.
    for (int distance = -17; distance <= 1; ++distance) {
        SCOPED_TRACE(distance);
        std::vector<uint8_t> image = RandomBytes(5 * kSmallRun + 100, 3);
        for (uint32_t boundary = 1; boundary <= 5; ++boundary) {
            PutHeader(image, boundary * kSmallRun + distance, 0x2000 + boundary, 0x3000 + boundary);
        }
        const ScanOutcome reference = ExpectSameScan(File(image));
        EXPECT_EQ(reference.accepted.size(), 5u);
    }
}

TEST_F(FastScan, AdversarialImagesWithEveryKernel) {
    const size_t size = 3 * kSmallRun + 20000;
    std::vector<uint8_t> everySixteenth(size, 0);
    for (size_t at = 0; at + kBlockHeaderSize <= size; at += kBlockHeaderSize) {
        PutHeader(everySixteenth, at, 1000, 0);
    }
    std::vector<uint8_t> sizeFieldEverywhere(size, 0);  // accepted nowhere: next equals self
    for (size_t i = 1; i < size; i += 4) sizeFieldEverywhere[i] = 2;
    const std::pair<const char*, std::vector<uint8_t>> images[] = {
        {"zeros", std::vector<uint8_t>(size, 0)},
        {"0x02", std::vector<uint8_t>(size, 2)},
        {"a header every 16 bytes", everySixteenth},
        {"512 every 4 bytes", sizeFieldEverywhere}};
    for (const auto& [name, bytes] : images) {
        const std::string path = File(bytes);
        for (const NamedFinder& variant : AvailableFinders()) {
            SCOPED_TRACE(std::string(name) + ", " + variant.name);
            ExpectSameScan(path, SmallRuns(variant.finder));
        }
    }
}

TEST_F(FastScan, RandomDataWithEveryKernel) {
    const std::string path = File(RandomImageWithHeaders(200000, 4));
    for (const NamedFinder& variant : AvailableFinders()) {
        SCOPED_TRACE(variant.name);
        EXPECT_EQ(ExpectSameScan(path, SmallRuns(variant.finder)).accepted.size(), 9u);
    }
}

TEST_F(FastScan, BuiltImagesWithMessages) {
    using namespace ostrel::builder;
    MessageFactory messages(11);
    StoreBuilder inbox(12), sent(13);
    for (int i = 0; i < 40; ++i) inbox.AddMessage(messages.Next());
    for (int i = 0; i < 15; ++i) sent.AddMessage(messages.Next(true));
    sent.FreeMessage(3);
    ImageBuilder builder(14);
    builder.AppendNoise(5000, NoiseKind::Text);
    builder.AppendWithGaps("Inbox.dbx", inbox, 4096, 30, 3);
    builder.AppendMixed({{"Sent Items.dbx", &sent}}, 4096, 40, ClusterOrder::Shuffled);
    builder.AppendNoise(3333, NoiseKind::Random);
    size_t intactBlocks = 0;
    for (const PlacedMessage& message : builder.BuildManifest().messages) {
        for (const PlacedBlock& block : message.blocks) intactBlocks += block.intact;
    }
    ASSERT_GT(intactBlocks, 100u);
    const std::string path = File(builder.Bytes());
    for (const FastScanSettings& settings : {SmallRuns(), FastScanSettings{}}) {
        SCOPED_TRACE(settings.runSize);
        EXPECT_GE(ExpectSameScan(path, settings).accepted.size(), intactBlocks);
    }
}

TEST_F(FastScan, StopAtTheFirstAMiddleAndTheLastQuestion) {
    const std::string path = File(DenseHeaders(6 * kSmallRun + 123, 5));
    const int questions = Questions(Scan(path, nullptr, kWindow));
    ASSERT_EQ(questions, 4);
    for (int last : {1, 2, questions}) {
        SCOPED_TRACE(last);
        stopAt = [last](int question) { return question == last; };
        EXPECT_EQ(Questions(ExpectSameScan(path)), last);
    }
}

TEST_F(FastScan, ASinkThatRaisesEndsThePassWithItsException) {
    class FailingSink : public BlockSink {
    public:
        void Accept(const BlockHeader&, uint64_t) override { throw CMemoryException(); }
    } failing;
    std::vector<uint8_t> image(3 * kSmallRun, 0);
    PutHeader(image, kSmallRun + 5, 1000);
    EventRecorder recorder;
    RecoverySession session(&EventRecorder::Callback, &recorder);
    CFile64Ex source(kWindow);
    ASSERT_TRUE(source.Open(File(image), kReadFlags, nullptr));
    EXPECT_THROW(ScanBlocksFast(session, source, failing, SmallRuns()), CMemoryException);
}

// --- Simulated devices -----------------------------------------------------

struct BadSectorRow {
    const char* name;
    uint32_t sectorSize;
    size_t size;
    std::set<uint64_t> badSectors;
};

void PrintTo(const BadSectorRow& row, std::ostream* out) { *out << row.name; }

class FailingSectors : public FastScan, public ::testing::WithParamInterface<BadSectorRow> {};

TEST_P(FailingSectors, ReadAsZerosTheSameWay) {
    const BadSectorRow& row = GetParam();
    std::vector<uint8_t> bytes = DenseHeaders(row.size, 6);
    for (uint64_t sector : row.badSectors) {
        PutHeader(bytes, sector * row.sectorSize + 40, 0x9000, 0);  // lost with its sector
    }
    Device("/dev/sim0", bytes, row.sectorSize).badSectors = row.badSectors;
    ExpectSameScan("/dev/sim0", FastScanSettings{4 * kWindow});
}

constexpr size_t kRun4 = 4 * kWindow;  // the run of these rows

INSTANTIATE_TEST_SUITE_P(
    Rows, FailingSectors,
    ::testing::Values(
        BadSectorRow{"InsideARun512", 512, 5 * kRun4, {40}},
        BadSectorRow{"LastBeforeARunBoundary512", 512, 5 * kRun4, {kRun4 / 512 - 1}},
        BadSectorRow{"FirstAfterARunBoundary512", 512, 5 * kRun4, {2 * kRun4 / 512}},
        BadSectorRow{"AcrossARunBoundary512", 512, 5 * kRun4, {63, 64, 65}},
        BadSectorRow{"TheFirst512", 512, 5 * kRun4, {0}},
        BadSectorRow{"TheLast512", 512, 5 * kRun4, {5 * kRun4 / 512 - 1}},
        BadSectorRow{"ThePartialLast512", 512, 5 * kRun4 + 300, {5 * kRun4 / 512}},
        BadSectorRow{"SeveralRuns512", 512, 5 * kRun4, {3, 40, 70, 100, 150}},
        BadSectorRow{"InsideARun4096", 4096, 5 * kRun4, {6}},
        BadSectorRow{"AtARunBoundary4096", 4096, 5 * kRun4, {7, 8}},
        BadSectorRow{"TheFirst4096", 4096, 5 * kRun4, {0}},
        BadSectorRow{"ThePartialLast4096", 4096, 5 * kRun4 + 1000, {20}}),
    [](const ::testing::TestParamInfo<BadSectorRow>& info) { return info.param.name; });

TEST_F(FastScan, FailingSeekRegions) {
    // Starts of the region: window-aligned inside a run, unaligned, at the
    // last window of a run, at and just after a run boundary, at 0, in the
    // last run, past the end; over a device that ends at a run boundary and
    // one that ends inside a run.
    for (size_t size : {40960u, 21384u}) {
        for (uint64_t start : {12288u, 10000u, 16384u, 16385u, 0u, 20480u, 20992u, 50000u}) {
            SCOPED_TRACE(std::to_string(start) + " on " + std::to_string(size));
            Device("/dev/sim0", DenseHeaders(size, 7), 512).seekFails =
                [start](uint64_t position) { return position >= start; };
            ExpectSameScan("/dev/sim0");
        }
    }
}

TEST_F(FastScan, MisplacedSeekRegions) {
    for (int64_t shift : {512, -512, 1}) {
        for (uint64_t start : {12288u, 10000u, 16384u, 20480u, 0u}) {
            SCOPED_TRACE(std::to_string(start) + " shifted by " + std::to_string(shift));
            Device("/dev/sim0", DenseHeaders(21384, 8), 512).seekLandsAt =
                [start, shift](uint64_t position) {
                    return position >= start ? position + static_cast<uint64_t>(shift) : position;
                };
            ExpectSameScan("/dev/sim0");
        }
    }
}

TEST_F(FastScan, AFailingSectorRightBeforeAFailingSeekRegion) {
    // After the failing sector the reader cannot step past it and reads it
    // again, as zeros, to the end of its window: where the windows start
    // decides how far that goes.
    for (size_t size : {40000u, 16384u + 5000u}) {
        SCOPED_TRACE(size);
        SimDevice& device = Device("/dev/sim0", DenseHeaders(size, 9), 512);
        device.badSectors = {31};  // the last sector before 16384
        device.seekFails = [](uint64_t position) { return position >= 16384; };
        ExpectSameScan("/dev/sim0");
    }
}

TEST_F(FastScan, PhysicalDisksEndAtTheirReportedLength) {
    const size_t size = 50000;
    for (uint64_t reported : {0u, 100u, 8192u, 8193u, 10000u, 12000u, 20000u, 49990u, 50000u,
                              60000u, 1u << 30}) {
        SCOPED_TRACE(reported);
        SimDevice& disk = Device("/dev/simdisk", DenseHeaders(size, 10), 512);
        disk.wholeDisk = true;
        disk.answersLength = true;
        disk.reportedLength = reported;
        ExpectSameScan("/dev/simdisk");
        // No run beyond the reported length is read, read ahead or not
        // (the first run is read before anything is known; the run at the
        // length holds the last header's bytes).
        for (const auto& [position, count] : disk.readLog) {
            if (count == kSmallRun && position != 0) {
                EXPECT_LE(position, reported);
            }
        }
    }
    // A disk named the Windows way, with 4096-byte sectors from its geometry.
    SimDevice& disk = Device("\\\\.\\PHYSICALDRIVE1", DenseHeaders(size, 11), 4096);
    disk.answersGeometry = true;
    disk.geometry.bytesPerSector = 4096;
    disk.answersLength = true;
    disk.reportedLength = 30000;
    ExpectSameScan("\\\\.\\PHYSICALDRIVE1");
}

TEST_F(FastScan, SectorsLargerThanTheWindow) {
    SimDevice& device = Device("/dev/sim0", DenseHeaders(70000, 12), 8192);
    device.badSectors = {3};
    ExpectSameScan("/dev/sim0", FastScanSettings{16384});
    // Two windows share each sector: the second positions at the first's start.
    device.seekFails = [](uint64_t position) { return position >= 61440; };
    ExpectSameScan("/dev/sim0", FastScanSettings{16384});
}

TEST_F(FastScan, OtherWindowsAndRunsThatCannotStandForThem) {
    const std::vector<uint8_t> bytes = DenseHeaders(40000, 13);
    SimDevice& device = Device("/dev/sim0", bytes, 512);
    device.badSectors = {20};
    ExpectSameScan("/dev/sim0", SmallRuns(), 2048);
    ExpectSameScan("/dev/sim0", SmallRuns(), 8192);
    ExpectSameScan("/dev/sim0", SmallRuns(), 3000);  // no multiple: read through the source
    Device("/dev/sim1", bytes, 3072).badSectors = {4};
    ExpectSameScan("/dev/sim1");
}

// --- Images and the helper thread -------------------------------------------

struct ImageRow {
    const char* name;
    uint32_t sectorSize;
    size_t size;
    std::vector<platform::MediaRange> damaged;  // zeros, reported by the library
    std::vector<platform::MediaRange> failing;  // reads fail
};

void PrintTo(const ImageRow& row, std::ostream* out) { *out << row.name; }

class ImageMedia : public FastScan, public ::testing::WithParamInterface<ImageRow> {};

TEST_P(ImageMedia, ScanAsTheReferenceDoes) {
    const ImageRow& row = GetParam();
    SimImage& image = sim.AddImage("/sim/disk.E01");
    image = SimImage{};
    image.media = DenseHeaders(row.size, 14);
    image.sectorSize = row.sectorSize;
    image.damaged = row.damaged;
    image.failing = row.failing;
    readImages = true;
    const ScanOutcome reference = ExpectSameScan("/sim/disk.E01", FastScanSettings{4 * kWindow});
    EXPECT_GT(reference.accepted.size(), 20u);
    const bool lost = !row.damaged.empty() || !row.failing.empty();
    EXPECT_EQ(lastFailedBytes > 0, lost);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImageMedia,
    ::testing::Values(
        ImageRow{"Whole", 512, 5 * kRun4 + 300, {}, {}},
        ImageRow{"AChunkInsideARun", 512, 5 * kRun4, {{kRun4 + 4096, 4096}}, {}},
        ImageRow{"AChunkAcrossARunBoundary", 512, 5 * kRun4, {{2 * kRun4 - 2048, 4096}}, {}},
        ImageRow{"TheFirstChunk", 512, 5 * kRun4, {{0, 32768}}, {}},
        ImageRow{"TheLastBytes", 512, 5 * kRun4 + 700, {{5 * kRun4, 700}}, {}},
        ImageRow{"DamageOffTheSectors", 512, 5 * kRun4, {{10000, 10}, {30001, 1500}}, {}},
        ImageRow{"FailingReads", 512, 5 * kRun4, {}, {{kRun4 + 100, 1}, {3 * kRun4, 9000}}},
        ImageRow{
            "BothWith4096Sectors", 4096, 5 * kRun4 + 1000, {{8192, 8192}}, {{4 * kRun4, 4096}}}),
    [](const ::testing::TestParamInfo<ImageRow>& info) { return info.param.name; });

TEST_F(FastScan, TheHelperIsDoneWhenThePassStopsOrRaises) {
    SimDevice& device = Device("/dev/sim0", DenseHeaders(40 * kSmallRun, 15), 512);
    FastScanSettings settings = SmallRuns();
    settings.readAhead = 4;
    const auto ExpectNoMoreReads = [&device] {
        const int reads = device.reads;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(device.reads, reads) << "something still reads after the pass";
    };

    stopAt = [](int question) { return question == 1; };
    EXPECT_EQ(Questions(Scan("/dev/sim0", &settings, kWindow)), 1);
    ExpectNoMoreReads();
    // The helper read ahead, but not far past where the pass stopped.
    EXPECT_LE(device.readLog.size(), 10000 / kSmallRun + 2 + settings.readAhead);

    stopAt = nullptr;
    class FailingSink : public BlockSink {
    public:
        void Accept(const BlockHeader&, uint64_t) override { throw CMemoryException(); }
    } failing;
    EventRecorder recorder;
    RecoverySession session(&EventRecorder::Callback, &recorder);
    CFile64Ex source(kWindow);
    ASSERT_TRUE(source.Open("/dev/sim0", kReadFlags, nullptr));
    EXPECT_THROW(ScanBlocksFast(session, source, failing, settings), CMemoryException);
    ExpectNoMoreReads();
}

}  // namespace
}  // namespace varrow
