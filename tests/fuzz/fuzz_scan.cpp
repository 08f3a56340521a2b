// The fast scan held against the reference scan over arbitrary bytes.
//
// Input: four bytes that shape the device and the scan (sector size, run
// size, kernel, a whole disk with a reported length, failing seeks from
// some position to the end, a failing sector, a "stop" at some question,
// runs read ahead by both threads or not, a disk image with a damaged
// and a failing part instead of a device); the rest is the image. Both scans run over the same
// device with small runs and must hand the same blocks to the sink in the same order, with the same
// questions asked before each, fill the indexes alike (offsets, positions and walking order) and
// send the same events.
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "link/block_index.h"
#include "link/classic/chain_indexer.h"
#include "scan/block_layout.h"
#include "scan/fast_scan.h"
#include "scan/reference_scan.h"
#include "scan/simd_header_search.h"
#include "session.h"
#include "sim_os.h"
#include "source/file64.h"

namespace {

using ostrel::fuzz::Check;

constexpr char kDevicePath[] = "/ostrel-fuzz/scan";
constexpr char kImagePath[] = "/ostrel-fuzz/scan.E01";
constexpr uint32_t kReadFlags =
    varrow::CFile64::modeRead | varrow::CFile64::shareDenyNone | varrow::CFile64::typeBinary;

using Accepted = std::tuple<uint64_t, uint32_t, uint32_t, uint32_t, uint32_t, int>;
using Entries = std::vector<std::pair<uint32_t, std::vector<uint64_t>>>;

struct Outcome {
    std::vector<Accepted> accepted;
    Entries linkedBlocks;
    Entries chainHeads;
    std::vector<std::pair<int32_t, int>> events;
};

struct Recorder {
    std::vector<std::pair<int32_t, int>> events;
    int questions = 0;
    int stopAt = 0;  // 0: never

    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData) {
        auto& self = *static_cast<Recorder*>(userData);
        int number = -1;
        if (code == EV_PROGRESS) number = *static_cast<const uint8_t*>(data);
        self.events.emplace_back(code, number);
        return code == EV_QUERY_ABORT && ++self.questions == self.stopAt ? 1 : 0;
    }
};

// Records each block, and how many questions came before it, on its way
// into the indexes; blocks that come together go in together.
class RecordingSink : public varrow::BlockSink {
public:
    RecordingSink(varrow::RecoverySession& session, const Recorder& recorder)
        : indexer_(session.linkedBlocks, session.chainHeads), recorder_(recorder) {}
    void Accept(const varrow::BlockHeader& header, uint64_t position) override {
        Record(header, position);
        indexer_.Accept(header, position);
    }
    void AcceptAll(const varrow::FoundBlock* blocks, size_t count) override {
        for (size_t i = 0; i < count; ++i) Record(blocks[i].header, blocks[i].position);
        indexer_.AcceptAll(blocks, count);
    }
    std::vector<Accepted> accepted;

private:
    void Record(const varrow::BlockHeader& header, uint64_t position) {
        accepted.emplace_back(position, header.selfOffset, header.blockSize, header.dataLength,
                              header.nextOffset, recorder_.questions);
    }

    varrow::ChainIndexer indexer_;
    const Recorder& recorder_;
};

Entries InWalkingOrder(const varrow::BlockIndex& index) {
    Entries entries;
    for (const uint32_t offset : index.OffsetsInWalkingOrder()) {
        const varrow::PositionList* list = index.Find(offset);
        entries.emplace_back(offset, std::vector<uint64_t>(list->begin(), list->end()));
    }
    return entries;
}

// settings null: the reference scan.
Outcome Scan(const char* path, int stopAt, const varrow::FastScanSettings* settings) {
    Recorder recorder;
    recorder.stopAt = stopAt;
    varrow::RecoverySession session(&Recorder::Callback, &recorder);
    RecordingSink sink(session, recorder);
    varrow::CFile64Ex source(4096);
    source.ReadImageFormats(true);
    varrow::CFileException error(varrow::CFileException::none, -1);
    Check(source.Open(path, kReadFlags, &error), "the source does not open");
    if (settings) {
        varrow::ScanBlocksFast(session, source, sink, *settings);
    } else {
        varrow::ScanBlocks(session, source, sink);
    }
    return Outcome{std::move(sink.accepted), InWalkingOrder(session.linkedBlocks),
                   InWalkingOrder(session.chainHeads), std::move(recorder.events)};
}

varrow::HeaderFinder FinderFrom(unsigned choice) {
    varrow::HeaderFinder finder = nullptr;
    if (choice == 1) finder = varrow::Avx2HeaderFinder();
    if (choice == 2) finder = varrow::Avx512HeaderFinder();
    if (choice == 3) return nullptr;  // the scan's own choice
    return finder ? finder : &varrow::FindHeadersPortable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static varrow::testing::SimOs sim;
    static varrow::platform::ScopedOs scoped{sim};
    static constexpr uint32_t kSectorSizes[] = {512, 512, 2048, 4096};

    const uint8_t shape = data[0];
    const uint8_t faults = data[1];
    varrow::testing::SimDevice& device = sim.AddDevice(kDevicePath);
    device = varrow::testing::SimDevice{};
    device.bytes.assign(data + 4, data + size);
    device.sectorSize = kSectorSizes[shape & 3];
    device.blockDevice = true;  // the reader takes the sector size from the device
    const uint64_t length = device.bytes.size();
    const uint64_t spot = length * data[3] / 255;  // where the faults below begin
    if (shape & 0x40) {
        // A whole disk that reports less than it holds.
        device.wholeDisk = true;
        device.answersLength = true;
        device.reportedLength = spot;
    }
    if (shape & 0x80) {
        // Positioning fails from some point to the end, as on a device that
        // refuses positions beyond its readable part.
        device.seekFails = [spot](uint64_t position) { return position >= spot; };
    }
    if (faults & 0x80) device.badSectors.insert(data[2] % (length / device.sectorSize + 1));
    if (faults & 0x40) device.badSectors.insert(spot / device.sectorSize);
    const int stopAt = faults & 7;

    const char* path = kDevicePath;
    if (faults & 0x10) {
        // The same bytes as the media of an image: a damaged part that the
        // library delivers as zeros, and a part whose reads fail.
        varrow::testing::SimImage& image = sim.AddImage(kImagePath);
        image = varrow::testing::SimImage{};
        image.media = device.bytes;
        image.sectorSize = device.sectorSize;
        if (faults & 0x80)
            image.damaged.push_back({data[2] * uint64_t{97} % (length + 1), 1 + data[2] * 13u});
        if (faults & 0x40) image.failing.push_back({spot, 1 + data[3] * 7u});
        path = kImagePath;
    }

    varrow::FastScanSettings settings;
    settings.runSize = 4096u * (1 + ((shape >> 2) & 3));
    settings.finder = FinderFrom((shape >> 4) & 3);
    settings.readAhead = (faults & 0x08) ? 2 : 0;

    const Outcome reference = Scan(path, stopAt, nullptr);
    const Outcome fast = Scan(path, stopAt, &settings);
    Check(fast.accepted == reference.accepted, "the scans accepted different blocks");
    Check(fast.linkedBlocks == reference.linkedBlocks, "the scans filled linkedBlocks differently");
    Check(fast.chainHeads == reference.chainHeads, "the scans filled chainHeads differently");
    Check(fast.events == reference.events, "the scans sent different events");
    return 0;
}
