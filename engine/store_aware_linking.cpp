#include "store_aware_linking.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "block_data.h"
#include "chain_trace.h"
#include "cluster_size.h"
#include "file64.h"
#include "header_names.h"
#include "session.h"

namespace varrow {

namespace {

constexpr uint32_t kNoBlock = BlockRecords::kNoBlock;
constexpr uint32_t kLargestBlockSize = 1048576;
// Offsets with more candidates than this have their choice prepared once.
constexpr size_t kFewCandidates = 16;

// Narrows blocks to those that keep accepts, unless none would be left.
template <typename Keep>
void KeepIfAny(std::vector<uint32_t>& blocks, Keep keep) {
    std::vector<uint32_t> kept;
    for (const uint32_t block : blocks) {
        if (keep(block)) kept.push_back(block);
    }
    if (!kept.empty()) blocks.swap(kept);
}

}  // namespace

bool BeginsWithHeaderField(const std::vector<uint8_t>& data) {
    size_t word = 0;
    while (word < data.size() && IsWordChar(data[word])) ++word;
    return word >= 2 && word < data.size() && data[word] == ':';
}

std::optional<DataSplice> SpliceAcrossBoundary(const BlockRecord& block, const BlockRecord& successor,
                                               uint32_t clusterSize) {
    const uint64_t boundary = (block.position / clusterSize + 1) * clusterSize;
    const uint64_t dataStart = block.position + kBlockHeaderSize;
    // Data that starts right at the boundary lies wholly in the next
    // cluster: nothing of it is kept.
    if (boundary < dataStart || boundary >= dataStart + block.dataLength) return std::nullopt;
    if (successor.Base() == block.Base()) return std::nullopt;

    const auto keep = static_cast<uint32_t>(boundary - dataStart);
    const uint32_t rest = block.dataLength - keep;
    // The store offset where the boundary falls; the successor's piece has
    // it at restPosition, which must start a cluster there and leave room
    // for the rest before the successor's header.
    const uint64_t t = block.selfOffset + (boundary - block.position);
    if (successor.selfOffset < t) return std::nullopt;
    const int64_t restPosition = successor.Base() + static_cast<int64_t>(t);
    if (restPosition < 0 || (static_cast<uint64_t>(restPosition) & (clusterSize - 1)) != 0 ||
        static_cast<uint64_t>(restPosition) + rest > successor.position) {
        return std::nullopt;
    }
    return DataSplice{keep, static_cast<uint64_t>(restPosition)};
}

void StoreAwareLinker::Link(CFile64Ex& source) {
    if (linked_) return;
    linked_ = true;
    blocks_.Finish();
    clusterSize_ = InferClusterSize(blocks_.SharedBases());

    repairs_ = RepairSplitHeaders(source, blocks_, clusterSize_);
    for (const RepairedHeader& repair : repairs_) {
        if (repair.header.nextOffset != 0) repairedNames_.emplace_back(repair.header.nextOffset, repair.base);
    }
    std::sort(repairedNames_.begin(), repairedNames_.end());
    FindHeads();
}

const RepairedHeader* StoreAwareLinker::RepairOf(uint32_t block) const {
    const auto it = std::lower_bound(repairs_.begin(), repairs_.end(), block,
                                     [](const RepairedHeader& r, uint32_t b) { return r.block < b; });
    return it != repairs_.end() && it->block == block ? &*it : nullptr;
}

bool StoreAwareLinker::IsNamed(int64_t base, uint32_t offset) const {
    return !blocks_.Naming(base, offset).empty() ||
           std::binary_search(repairedNames_.begin(), repairedNames_.end(), std::make_pair(offset, base));
}

void StoreAwareLinker::FindHeads() {
    // An offset named from a piece that does not hold it: by the header as
    // scanned, and by a rebuilt header from the piece it goes on in.
    const auto nameFrom = [this](int64_t base, uint32_t next) {
        if (next != 0 && blocks_.At(base, next) == kNoBlock) unclaimedNames_.push_back(next);
    };
    for (uint32_t block = 0; block < blocks_.size(); ++block) {
        nameFrom(blocks_[block].Base(), blocks_[block].nextOffset);
    }
    for (const RepairedHeader& repair : repairs_) nameFrom(repair.base, repair.header.nextOffset);
    std::sort(unclaimedNames_.begin(), unclaimedNames_.end());
    unclaimedNames_.erase(std::unique(unclaimedNames_.begin(), unclaimedNames_.end()), unclaimedNames_.end());
    unclaimedNames_.shrink_to_fit();

    heads_.Reset(kChainHeadBuckets);
    for (uint32_t block = 0; block < blocks_.size(); ++block) {
        const BlockRecord& record = blocks_[block];
        if (IsNamed(record.Base(), record.selfOffset) ||
            std::binary_search(unclaimedNames_.begin(), unclaimedNames_.end(), record.selfOffset)) {
            continue;
        }
        heads_.FindOrCreate(record.selfOffset).push_back(record.position);
    }
}

void StoreAwareLinker::ValidateHeads(RecoverySession& session, CFile64Ex& source) {
    Link(source);
    for (const uint32_t offset : heads_.OffsetsInWalkingOrder()) {
        if (session.QueryAbort()) return;
        PositionList& positions = *heads_.Find(offset);
        for (size_t i = positions.size(); i-- > 0;) {
            if (!HasColon(source, blocks_.AtPosition(positions[i]))) positions.erase(i);
        }
        if (positions.empty()) heads_.Remove(offset);
    }
}

// As ClassicLinker checks a head: whether any of the first dataLength bytes
// of its data is a colon, where a header that cannot be read counts as one
// that has. The data of a rebuilt header is read where it lies.
bool StoreAwareLinker::HasColon(CFile64Ex& source, uint32_t block) const {
    source.Seek(static_cast<int64_t>(blocks_[block].position), CFile64::begin);
    uint8_t header[kBlockHeaderSize];
    if (source.Read(header, kBlockHeaderSize) < kBlockHeaderSize) return true;
    uint32_t length = std::min(DecodeBlockHeader(header).dataLength, kBlockDataSize);
    if (const RepairedHeader* repair = RepairOf(block)) {
        source.Seek(static_cast<int64_t>(repair->dataPosition), CFile64::begin);
        length = repair->header.dataLength;
    }
    uint8_t data[kBlockDataSize] = {};
    source.Read(data, kBlockDataSize);
    return std::memchr(data, ':', length) != nullptr;
}

std::vector<uint8_t> StoreAwareLinker::DataOf(CFile64Ex& source, uint32_t block) const {
    const RepairedHeader* repair = RepairOf(block);
    if (!repair) return ReadBlockData(source, blocks_[block].position);
    std::vector<uint8_t> data(repair->header.dataLength, 0);
    source.Seek(static_cast<int64_t>(repair->dataPosition), CFile64::begin);
    source.Read(data.data(), static_cast<uint32_t>(data.size()));
    return data;
}

std::vector<uint32_t> StoreAwareLinker::HeadOffsets() const { return heads_.OffsetsInWalkingOrder(); }

const PositionList& StoreAwareLinker::HeadPositions(uint32_t headOffset) const {
    static const PositionList kNone{};
    const PositionList* positions = heads_.Find(headOffset);
    return positions ? *positions : kNone;
}

uint32_t StoreAwareLinker::Successor(CFile64Ex& source, uint64_t position, int64_t base,
                                     uint32_t nextOffset) {
    const uint32_t own = blocks_.At(base, nextOffset);
    if (own != kNoBlock) return own;
    const std::span<const uint32_t> candidates = blocks_.WithOffset(nextOffset);
    if (candidates.empty()) return kNoBlock;
    if (candidates.size() == 1) return candidates[0];
    // A few candidates are looked at again at every choice; what is learnt
    // about many is kept, at the cost of memory for each such offset.
    if (candidates.size() <= kFewCandidates) {
        const PositionList left = OtherPieceCandidates(source, nextOffset, candidates);
        if (left.size() == 1) return blocks_.AtPosition(left[0]);
        return blocks_.AtPosition(ChooseNextBlock(source, position, left));
    }
    const auto [entry, fresh] = manyCandidates_.try_emplace(nextOffset);
    if (fresh) entry->second = OtherPieceCandidates(source, nextOffset, candidates);
    const PositionList& left = entry->second;
    if (left.size() == 1) return blocks_.AtPosition(left[0]);
    return blocks_.AtPosition(chooser_.Choose(source, position, left));
}

// The positions of the candidates that can follow a block of another
// piece: a candidate that its own piece names is that piece's successor,
// and a candidate that begins with a header line starts a message.
PositionList StoreAwareLinker::OtherPieceCandidates(CFile64Ex& source, uint32_t nextOffset,
                                                    std::span<const uint32_t> candidates) const {
    std::vector<uint32_t> left(candidates.begin(), candidates.end());
    KeepIfAny(left, [&](uint32_t candidate) { return !IsNamed(blocks_[candidate].Base(), nextOffset); });
    if (left.size() > 1) {
        KeepIfAny(left, [&](uint32_t candidate) { return !BeginsWithHeaderField(DataOf(source, candidate)); });
    }
    PositionList positions;
    for (const uint32_t candidate : left) positions.push_back(blocks_[candidate].position);
    return positions;
}

void StoreAwareLinker::CopyData(CFile64Ex& source, CFile64& output, const ChainBlock& current,
                                uint32_t successor, ChainTrace& trace) const {
    const BlockHeader& header = current.header;
    std::optional<DataSplice> splice;
    if (!current.repaired) {
        const BlockRecord written{current.position, header.selfOffset, header.nextOffset, header.dataLength};
        if (successor != kNoBlock) splice = SpliceAcrossBoundary(written, blocks_[successor], clusterSize_);
        else splice = SpliceIntoNextCluster(written);
    }
    source.Seek(static_cast<int64_t>(current.dataPosition), CFile64::begin);
    if (!splice) {
        CopyBlockData(source, output, header.dataLength, trace);
        return;
    }
    CopyBlockData(source, output, splice->keep, trace);
    source.Seek(static_cast<int64_t>(splice->restPosition), CFile64::begin);
    CopyBlockData(source, output, header.dataLength - splice->keep, trace);
}

std::optional<DataSplice> StoreAwareLinker::SpliceIntoNextCluster(const BlockRecord& block) const {
    const uint64_t boundary = (block.position / clusterSize_ + 1) * clusterSize_;
    const uint64_t dataStart = block.position + kBlockHeaderSize;
    if (boundary < dataStart || boundary >= dataStart + block.dataLength) return std::nullopt;
    const auto keep = static_cast<uint32_t>(boundary - dataStart);
    const uint64_t t = block.selfOffset + (boundary - block.position);
    const std::optional<NextCluster> next =
        FindNextCluster(blocks_, block.Base(), boundary, t, block.dataLength - keep, clusterSize_);
    if (!next) return std::nullopt;
    return DataSplice{keep, next->position};
}

std::optional<StoreAwareLinker::ChainBlock> StoreAwareLinker::CutSuccessor(CFile64Ex& source,
                                                                          const ChainBlock& current,
                                                                          uint32_t nextOffset) const {
    const int64_t signedPosition = current.base + static_cast<int64_t>(nextOffset);
    if (signedPosition < 0) return std::nullopt;
    const auto position = static_cast<uint64_t>(signedPosition);
    const uint64_t boundary = (position / clusterSize_ + 1) * clusterSize_;
    if (boundary >= position + kBlockHeaderSize) return std::nullopt;
    const uint64_t t = nextOffset + (boundary - position);
    const auto second = static_cast<uint32_t>(position + kBlockHeaderSize - boundary);
    const std::optional<NextCluster> next =
        FindNextCluster(blocks_, current.base, boundary, t, second, clusterSize_);
    if (!next) return std::nullopt;
    const std::optional<BlockHeader> header =
        RebuildCutHeader(source, position, boundary, next->position, nextOffset);
    if (!header) return std::nullopt;
    return ChainBlock{*header, next->position + second, next->base, true, position};
}

bool StoreAwareLinker::LoadBlock(CFile64Ex& source, uint32_t block, ChainBlock& current) const {
    const BlockRecord& record = blocks_[block];
    if (const RepairedHeader* repair = RepairOf(block)) {
        current = {repair->header, repair->dataPosition, repair->base, true, record.position};
        return true;
    }
    source.Seek(static_cast<int64_t>(record.position), CFile64::begin);
    uint8_t bytes[kBlockHeaderSize];
    if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return false;
    current = {DecodeBlockHeader(bytes), record.position + kBlockHeaderSize, record.Base(), false,
               record.position};
    return true;
}

void StoreAwareLinker::WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                                  CFile64& output, ChainTrace& trace) {
    const uint32_t head = blocks_.AtPosition(headPosition);
    ChainBlock current;
    if (head == kNoBlock || !LoadBlock(source, head, current)) {
        trace.end = ChainEnd::ReadError;
        return;
    }
    std::unordered_set<uint32_t> visitedOffsets;
    uint32_t offset = headOffset;
    for (;;) {
        visitedOffsets.insert(offset);
        const BlockHeader& header = current.header;
        if (header.dataLength > header.blockSize || header.blockSize == 0 ||
            header.blockSize > kLargestBlockSize) {
            trace.end = source.Failures().Overlaps(current.position, kBlockHeaderSize)
                            ? ChainEnd::ReadError
                            : ChainEnd::HeaderUnreadable;
            return;
        }
        const uint32_t next = header.nextOffset;
        const bool loops = next != 0 && visitedOffsets.count(next) != 0;
        const bool ends = next == 0 || loops;
        const uint32_t successor = ends ? kNoBlock : Successor(source, current.position, current.base, next);
        std::optional<ChainBlock> cut;
        if (!ends && successor == kNoBlock) cut = CutSuccessor(source, current, next);
        trace.blocks.push_back(current.position);
        CopyData(source, output, current, cut ? kNoBlock : successor, trace);
        if (cut) {
            current = *cut;
        } else if (ends) {
            trace.end = loops ? ChainEnd::Loop : ChainEnd::Complete;
            return;
        } else if (successor == kNoBlock) {
            trace.end = ChainEnd::NextMissing;
            return;
        } else if (!LoadBlock(source, successor, current)) {
            trace.end = ChainEnd::ReadError;
            return;
        }
        offset = next;
    }
}

size_t StoreAwareLinker::MemoryUsed() const {
    return blocks_.MemoryUsed() + repairs_.capacity() * sizeof(RepairedHeader) +
           repairedNames_.capacity() * sizeof(repairedNames_[0]) +
           unclaimedNames_.capacity() * sizeof(uint32_t) + heads_.MemoryUsed();
}

}  // namespace varrow
