#include "store_aware_linking.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

#include "block_data.h"
#include "classic_linking.h"
#include "cluster_size.h"
#include "file64.h"
#include "header_names.h"
#include "session.h"

namespace varrow {

namespace {

constexpr uint32_t kNoBlock = BlockRecords::kNoBlock;
constexpr uint32_t kLargestBlockSize = 1048576;

// Narrows blocks to those that keep accepts, unless none would be left.
template <typename Keep>
void KeepIfAny(std::vector<uint32_t>& blocks, Keep keep) {
    std::vector<uint32_t> kept;
    for (const uint32_t block : blocks) {
        if (keep(block)) kept.push_back(block);
    }
    if (!kept.empty()) blocks.swap(kept);
}

std::string TrailingWord(const std::vector<uint8_t>& data) {
    size_t start = data.size();
    while (start > 0 && IsWordChar(data[start - 1])) --start;
    return std::string(data.begin() + static_cast<ptrdiff_t>(start), data.end());
}

// Whether data begins with the rest of the header name that tail begins.
bool CompletesHeaderName(const std::string& tail, const std::vector<uint8_t>& data) {
    if (tail.empty()) return false;
    size_t end = 0;
    while (end < data.size() && IsWordChar(data[end])) ++end;
    return end > 0 &&
           IsKnownHeaderName(tail + std::string(data.begin(), data.begin() + static_cast<ptrdiff_t>(end)));
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
    // A cut header that was rebuilt names what its rebuilt header names,
    // not what the scan read across the boundary.
    for (const uint32_t namer : blocks_.Naming(base, offset)) {
        if (!RepairOf(namer)) return true;
    }
    return std::binary_search(repairedNames_.begin(), repairedNames_.end(), std::make_pair(offset, base));
}

void StoreAwareLinker::FindHeads() {
    for (uint32_t block = 0; block < blocks_.size(); ++block) {
        const BlockRecord& record = blocks_[block];
        const RepairedHeader* repair = RepairOf(block);
        const int64_t base = repair ? repair->base : record.Base();
        const uint32_t next = repair ? repair->header.nextOffset : record.nextOffset;
        if (next != 0 && blocks_.At(base, next) == kNoBlock) unclaimedNames_.push_back(next);
    }
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

uint32_t StoreAwareLinker::Successor(CFile64Ex& source, uint32_t block, int64_t base,
                                     uint32_t nextOffset) const {
    const uint32_t own = blocks_.At(base, nextOffset);
    if (own != kNoBlock) return own;
    const std::span<const uint32_t> candidates = blocks_.WithOffset(nextOffset);
    if (candidates.empty()) return kNoBlock;
    if (candidates.size() == 1) return candidates[0];

    // A candidate that its own piece names is that piece's successor, and a
    // candidate that begins with a header line starts a message, unless its
    // first word completes the header name that this block ends with
    // (ChooseNextBlock prefers exactly that candidate).
    std::vector<uint32_t> left(candidates.begin(), candidates.end());
    KeepIfAny(left, [&](uint32_t candidate) { return !IsNamed(blocks_[candidate].Base(), nextOffset); });
    if (left.size() > 1) {
        const std::string tail = TrailingWord(DataOf(source, block));
        KeepIfAny(left, [&](uint32_t candidate) {
            const std::vector<uint8_t> data = DataOf(source, candidate);
            return !BeginsWithHeaderField(data) || CompletesHeaderName(tail, data);
        });
    }
    if (left.size() == 1) return left[0];
    PositionList positions;
    for (const uint32_t candidate : left) positions.push_back(blocks_[candidate].position);
    return blocks_.AtPosition(ChooseNextBlock(source, blocks_[block].position, positions));
}

void StoreAwareLinker::CopyData(CFile64Ex& source, CFile64& output, uint32_t block,
                                const ChainBlock& current, uint32_t successor) const {
    const BlockHeader& header = current.header;
    std::optional<DataSplice> splice;
    if (successor != kNoBlock && !current.repaired) {
        const BlockRecord written{blocks_[block].position, header.selfOffset, header.nextOffset,
                                  header.dataLength};
        splice = SpliceAcrossBoundary(written, blocks_[successor], clusterSize_);
    }
    source.Seek(static_cast<int64_t>(current.dataPosition), CFile64::begin);
    if (!splice) {
        CopyBlockData(source, output, header.dataLength);
        return;
    }
    CopyBlockData(source, output, splice->keep);
    source.Seek(static_cast<int64_t>(splice->restPosition), CFile64::begin);
    CopyBlockData(source, output, header.dataLength - splice->keep);
}

void StoreAwareLinker::WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                                  CFile64& output) {
    uint32_t block = blocks_.AtPosition(headPosition);
    if (block == kNoBlock) return;
    std::unordered_set<uint32_t> visitedOffsets;
    uint32_t offset = headOffset;
    for (;;) {
        visitedOffsets.insert(offset);
        const BlockRecord& record = blocks_[block];
        source.Seek(static_cast<int64_t>(record.position), CFile64::begin);
        uint8_t bytes[kBlockHeaderSize];
        if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return;
        ChainBlock current{DecodeBlockHeader(bytes), record.position + kBlockHeaderSize, record.Base(),
                           false};
        if (const RepairedHeader* repair = RepairOf(block)) {
            current = {repair->header, repair->dataPosition, repair->base, true};
        }
        const BlockHeader& header = current.header;
        if (header.dataLength > header.blockSize || header.blockSize == 0 ||
            header.blockSize > kLargestBlockSize) {
            return;
        }
        const uint32_t next = header.nextOffset;
        const bool ends = next == 0 || visitedOffsets.count(next) != 0;
        const uint32_t successor = ends ? kNoBlock : Successor(source, block, current.base, next);
        CopyData(source, output, block, current, successor);
        if (successor == kNoBlock) return;
        offset = next;
        block = successor;
    }
}

size_t StoreAwareLinker::MemoryUsed() const {
    return blocks_.MemoryUsed() + repairs_.capacity() * sizeof(RepairedHeader) +
           repairedNames_.capacity() * sizeof(repairedNames_[0]) +
           unclaimedNames_.capacity() * sizeof(uint32_t) + heads_.MemoryUsed();
}

}  // namespace varrow
