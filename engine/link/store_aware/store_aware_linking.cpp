#include "link/store_aware/store_aware_linking.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <tuple>

#include "base/run_events.h"
#include "link/block_data.h"
#include "link/chain_trace.h"
#include "link/store_aware/cluster_size.h"
#include "link/store_aware/store_bytes.h"
#include "source/file64.h"

namespace varrow {

namespace {

constexpr uint32_t kNoBlock = BlockRecords::kNoBlock;
constexpr uint32_t kLargestBlockSize = 1048576;
// Offsets with more candidates than this have their choice prepared once.
constexpr size_t kFewCandidates = 16;
// A block named from more distinct offsets than this is a crafted case:
// whether its own predecessor was lost is not looked into.
constexpr size_t kMostPredecessorOffsets = 256;

// Appends count zero bytes to output, as bytes the source does not hold.
void WriteZeros(CFile64& output, uint32_t count, ChainTrace& trace) {
    static const uint8_t zeros[kBlockDataSize] = {};
    trace.AddRun(0, count, true);
    while (count > 0) {
        const uint32_t piece = std::min<uint32_t>(count, kBlockDataSize);
        output.Write(zeros, piece);
        count -= piece;
    }
}

// Gathers a message's bytes and hands them to the output in large pieces:
// a chain of many small blocks would otherwise cost one write each.
class GatheredOutput : public CFile64 {
public:
    explicit GatheredOutput(CFile64& target) : target_(target) {}
    void Write(const void* buffer, uint32_t count) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        gathered_.insert(gathered_.end(), bytes, bytes + count);
        if (gathered_.size() >= kPiece) Flush();
    }
    void Flush() override {
        if (gathered_.empty()) return;
        target_.Write(gathered_.data(), static_cast<uint32_t>(gathered_.size()));
        gathered_.clear();
    }

private:
    static constexpr size_t kPiece = 1 << 16;
    CFile64& target_;
    std::vector<uint8_t> gathered_;
};

// The offsets a chain has met: an open-addressed set of 32-bit numbers
// (0, which no block has, marks a free slot), a few bytes per block where
// a node-based set takes some forty.
class OffsetSet {
public:
    // Adds offset (not 0); whether it was new.
    bool Insert(uint32_t offset) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        return Place(slots_, offset);
    }
    bool Contains(uint32_t offset) const {
        for (size_t slot = SlotOf(offset, slots_.size());;
             slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot] == offset) return true;
            if (slots_[slot] == 0) return false;
        }
    }

private:
    static size_t SlotOf(uint32_t offset, size_t size) {
        return static_cast<size_t>((offset * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
    }
    bool Place(std::vector<uint32_t>& slots, uint32_t offset) {
        for (size_t slot = SlotOf(offset, slots.size());; slot = (slot + 1) & (slots.size() - 1)) {
            if (slots[slot] == offset) return false;
            if (slots[slot] == 0) {
                slots[slot] = offset;
                ++count_;
                return true;
            }
        }
    }
    void Grow() {
        std::vector<uint32_t> larger(std::max<size_t>(16, slots_.size() * 2), 0);
        count_ = 0;
        for (const uint32_t offset : slots_) {
            if (offset != 0) Place(larger, offset);
        }
        slots_.swap(larger);
    }

    std::vector<uint32_t> slots_ = std::vector<uint32_t>(16, 0);
    size_t count_ = 0;
};

}  // namespace

void StoreAwareLinker::Link(CFile64Ex& source) {
    if (linked_) return;
    linked_ = true;
    blocks_.Finish();
    cache_ = std::make_unique<CachedSource>(source);
    stores_.Build(*cache_, blocks_, InferClusterSize(blocks_));
    FindHeads(source);
}

std::optional<int64_t> StoreAwareLinker::HeldBase(uint32_t store, uint32_t cluster,
                                                  int64_t ownBase) const {
    const StoreReassembly::ClusterHold hold = stores_.At(store, cluster);
    if (hold.hold == StoreReassembly::Hold::Blocked) return std::nullopt;
    return hold.hold == StoreReassembly::Hold::Base ? hold.base : ownBase;
}

std::optional<StoreAwareLinker::ChainBlock> StoreAwareLinker::Locate(uint32_t store,
                                                                     int64_t ownBase,
                                                                     uint32_t offset,
                                                                     uint32_t near) const {
    const uint32_t size = stores_.ClusterSize();
    const uint32_t cluster = offset / size;
    const std::optional<int64_t> held = HeldBase(store, cluster, ownBase);
    if (!held) return std::nullopt;
    const int64_t base = *held;
    const int64_t signedPosition = base + offset;
    if (signedPosition < 0) return std::nullopt;
    const auto position = static_cast<uint64_t>(signedPosition);

    if (offset % size + kBlockHeaderSize > size) {
        // The header runs into the next cluster, which may lie elsewhere.
        const StoreReassembly::ClusterHold next = stores_.At(store, cluster + 1);
        if (next.hold == StoreReassembly::Hold::Blocked) return std::nullopt;
        if (next.hold == StoreReassembly::Hold::Base && next.base != base) {
            const uint64_t boundary = (uint64_t{cluster} + 1) * size;
            const auto first = static_cast<uint32_t>(boundary - offset);
            const BlockHeader header = ReadCutHeader(*cache_, signedPosition, first,
                                                     next.base + static_cast<int64_t>(boundary));
            if (!IsAcceptedHeader(header) || header.selfOffset != offset) return std::nullopt;
            return ChainBlock{store, base, blocks_.AtPosition(position), header, position, true};
        }
    }
    const uint32_t block = blocks_.At(base, offset, near);
    if (block == kNoBlock) return std::nullopt;
    const BlockRecord& record = blocks_[block];
    const BlockHeader header{record.selfOffset, kBlockDataSize, record.dataLength,
                             record.nextOffset};
    return ChainBlock{stores_.StoreOf(block), base, block, header, position, false};
}

StoreAwareLinker::ChainBlock StoreAwareLinker::BlockAt(uint32_t block) const {
    const BlockRecord& record = blocks_[block];
    const uint32_t store = stores_.StoreOf(block);
    // Only a header that runs into the next cluster can read otherwise.
    const bool crosses =
        record.selfOffset % stores_.ClusterSize() + kBlockHeaderSize > stores_.ClusterSize();
    if (std::optional<ChainBlock> located =
            crosses ? Locate(store, record.Base(), record.selfOffset) : std::nullopt) {
        if (located->position == record.position) return *located;
    }
    const BlockHeader header{record.selfOffset, kBlockDataSize, record.dataLength,
                             record.nextOffset};
    return ChainBlock{store, record.Base(), block, header, record.position, false};
}

uint32_t StoreAwareLinker::ClassicSuccessor(CFile64Ex& source, uint64_t position, uint32_t offset) {
    const std::span<const uint32_t> candidates = blocks_.WithOffset(offset);
    if (candidates.empty()) return kNoBlock;
    if (candidates.size() == 1) return candidates[0];
    if (candidates.size() <= kFewCandidates) {
        PositionList positions;
        for (const uint32_t candidate : candidates)
            positions.push_back(blocks_[candidate].position);
        return blocks_.AtPosition(ChooseNextBlock(source, position, positions));
    }
    const auto [entry, fresh] = manyCandidates_.try_emplace(offset);
    if (fresh) {
        for (const uint32_t candidate : candidates)
            entry->second.push_back(blocks_[candidate].position);
    }
    return blocks_.AtPosition(chooser_.Choose(source, position, entry->second));
}

uint32_t StoreAwareLinker::SharedSuccessor(uint32_t offset) {
    const auto [entry, fresh] = sharedSuccessors_.try_emplace(offset, kNoBlock);
    if (!fresh) return entry->second;
    uint32_t chosen = kNoBlock;
    std::vector<uint8_t> chosenData;
    for (const uint32_t candidate : blocks_.WithOffset(offset)) {
        const BlockRecord& record = blocks_[candidate];
        const std::vector<uint8_t> data = cache_->Read(
            static_cast<int64_t>(record.position + kBlockHeaderSize), record.dataLength);
        if (IsMessageStart(data)) continue;
        if (chosen == kNoBlock) {
            chosen = candidate;
            chosenData = data;
            continue;
        }
        if (blocks_[candidate].nextOffset != blocks_[chosen].nextOffset || data != chosenData) {
            chosen = kNoBlock;
            break;
        }
    }
    entry->second = chosen;
    return chosen;
}

std::optional<StoreAwareLinker::ChainBlock> StoreAwareLinker::Successor(CFile64Ex& source,
                                                                        const ChainBlock& current) {
    const uint32_t next = current.header.nextOffset;
    if (next == 0) return std::nullopt;
    if (std::optional<ChainBlock> own = Locate(current.store, current.base, next, current.block))
        return own;
    uint32_t block = kNoBlock;
    if (!stores_.IsSolid(current.store)) {
        block = ClassicSuccessor(source, current.position, next);
    } else if (stores_.At(current.store, next / stores_.ClusterSize()).hold ==
               StoreReassembly::Hold::Unknown) {
        // The file does not reach that cluster: only a block that all
        // other files agree on can be its.
        block = SharedSuccessor(next);
    }
    if (block == kNoBlock) return std::nullopt;
    return BlockAt(block);
}

bool StoreAwareLinker::DataRuns(const ChainBlock& block, std::vector<Run>& runs) const {
    const uint32_t size = stores_.ClusterSize();
    const bool solid = stores_.IsSolid(block.store);
    uint64_t offset = uint64_t{block.header.selfOffset} + kBlockHeaderSize;
    const uint64_t end = offset + block.header.dataLength;
    int64_t base = block.base;
    bool first = true;
    const size_t firstRun = runs.size();
    const uint64_t headerCluster = block.header.selfOffset / size;
    while (offset < end) {
        const uint64_t cluster = offset / size;
        const uint64_t clusterEnd = std::min(end, (cluster + 1) * size);
        // The cluster of the block's own header lies where the block does.
        const StoreReassembly::ClusterHold hold =
            cluster == headerCluster
                ? StoreReassembly::ClusterHold{StoreReassembly::Hold::Base, block.base}
            : cluster <= 0xFFFFFFFFu ? stores_.At(block.store, static_cast<uint32_t>(cluster))
                                     : StoreReassembly::ClusterHold{};
        if (hold.hold == StoreReassembly::Hold::Blocked) return false;
        if (hold.hold == StoreReassembly::Hold::Base) {
            base = hold.base;
        } else if (!first && solid && stores_.IsForeign(base, static_cast<uint32_t>(cluster))) {
            return false;
        }
        // A cluster the piece only bridges holds no block, so nothing shows
        // its bytes to be the file's: other data may have overwritten them,
        // which makes the message as uncertain as a guessed link does.
        const uint32_t guesses =
            cluster == headerCluster
                ? stores_.At(block.store, static_cast<uint32_t>(cluster)).guesses
                : hold.guesses + (hold.bridged ? 1 : 0);
        const Run run{base + static_cast<int64_t>(offset),
                      static_cast<uint32_t>(clusterEnd - offset), guesses};
        // Text that turns into bytes no text holds where the file only
        // bridges a headerless cluster: other data overwrote it.
        if (!first && hold.bridged &&
            IsPlausibleText(cache_->Read(runs[firstRun].position, runs[firstRun].length)) &&
            !IsPlausibleText(cache_->Read(run.position, run.length))) {
            return false;
        }
        first = false;
        runs.push_back(run);
        offset = clusterEnd;
    }
    return true;
}

std::vector<uint8_t> StoreAwareLinker::DataOf(const ChainBlock& block) const {
    std::vector<Run> runs;
    DataRuns(block, runs);
    std::vector<uint8_t> data;
    for (const Run& run : runs) {
        const std::vector<uint8_t> bytes = cache_->Read(run.position, run.length);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    return data;
}

bool StoreAwareLinker::MayHaveLostPredecessor(const ChainBlock& block) {
    std::vector<uint32_t> offsets;
    for (const uint32_t g : blocks_.Naming(block.header.selfOffset))
        offsets.push_back(blocks_[g].selfOffset);
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    if (offsets.size() > kMostPredecessorOffsets) return false;
    for (const uint32_t offset : offsets) {
        if (!Locate(block.store, block.base, offset)) return true;
    }
    return false;
}

std::optional<StoreAwareLinker::ChainBlock> StoreAwareLinker::HeadAt(uint64_t position) const {
    const uint32_t head = blocks_.AtPosition(position);
    if (head != kNoBlock) return BlockAt(head);
    const auto cut = std::lower_bound(
        cutHeads_.begin(), cutHeads_.end(), position,
        [](const ChainBlock& block, uint64_t wanted) { return block.position < wanted; });
    if (cut != cutHeads_.end() && cut->position == position) return *cut;
    return std::nullopt;
}

std::vector<StoreAwareLinker::ChainBlock> StoreAwareLinker::CutBlocks() const {
    std::vector<ChainBlock> cut;
    const uint32_t size = stores_.ClusterSize();
    std::vector<uint64_t> offsets;
    for (const StoreReassembly::SplitBoundary& split : stores_.SplitBoundaries()) {
        const uint64_t boundary = (uint64_t{split.cluster} + 1) * size;
        // Only where the bytes before the boundary, where Locate reads them,
        // may begin a cut header is one put together.
        const std::optional<int64_t> base = HeldBase(split.store, split.cluster, split.base);
        if (!base) continue;
        CutHeaderOffsets(*cache_, *base, boundary, &offsets);
        for (const uint64_t offset : offsets) {
            const std::optional<ChainBlock> block =
                Locate(split.store, split.base, static_cast<uint32_t>(offset));
            if (block && block->rebuilt && block->block == kNoBlock) cut.push_back(*block);
        }
    }
    // Copies of a file that go on in one start share its splits: one block
    // for each position.
    const auto byPosition = [](const ChainBlock& a, const ChainBlock& b) {
        return a.position < b.position;
    };
    std::stable_sort(cut.begin(), cut.end(), byPosition);
    cut.erase(std::unique(cut.begin(), cut.end(),
                          [](const ChainBlock& a, const ChainBlock& b) {
                              return a.position == b.position;
                          }),
              cut.end());
    return cut;
}

void StoreAwareLinker::FindHeads(CFile64Ex& source) {
    // Blocks that are some block's successor, and offsets that a stray
    // block names (every block with such an offset may be the one meant,
    // as in the classic linking).
    std::vector<bool> named(blocks_.size(), false);
    std::unordered_set<uint32_t> strayNames;
    // Blocks whose header is cut where a store goes on elsewhere, and the
    // positions of those that some block's successor is.
    const std::vector<ChainBlock> cut = CutBlocks();
    std::unordered_set<uint64_t> namedCut;
    const auto name = [&](const std::optional<ChainBlock>& next) {
        if (next && next->block != kNoBlock) named[next->block] = true;
        if (next && next->block == kNoBlock && next->rebuilt) namedCut.insert(next->position);
    };
    for (const ChainBlock& block : cut) {
        if (block.header.nextOffset != 0) name(Successor(source, block));
    }
    for (uint32_t g = 0; g < blocks_.size(); ++g) {
        if (blocks_[g].nextOffset == 0) continue;
        const ChainBlock current = BlockAt(g);
        if (current.header.nextOffset == 0) continue;
        if (!stores_.IsSolid(current.store)) {
            const std::optional<ChainBlock> next =
                Locate(current.store, current.base, current.header.nextOffset);
            if (next) {
                if (next->block != kNoBlock) named[next->block] = true;
            } else {
                strayNames.insert(current.header.nextOffset);
            }
            continue;
        }
        name(Successor(source, current));
    }

    // Heads by the scan's first meeting of their offset, then position. An
    // offset that no scanned block has comes after all that one has.
    struct Head {
        uint64_t first = 0;  // the first block with the offset
        uint64_t position = 0;
        uint32_t offset = 0;
        bool operator<(const Head& other) const {
            return std::tie(first, position) < std::tie(other.first, other.position);
        }
    };
    const auto firstWith = [&](uint32_t offset) {
        const std::span<const uint32_t> with = blocks_.WithOffset(offset);
        return with.empty() ? uint64_t{blocks_.size()} + offset : uint64_t{with[0]};
    };
    std::vector<Head> heads;
    for (uint32_t h = 0; h < blocks_.size(); ++h) {
        if (named[h] || strayNames.count(blocks_[h].selfOffset) != 0) continue;
        const ChainBlock block = BlockAt(h);
        if (MayHaveLostPredecessor(block) && !IsMessageStart(DataOf(block))) continue;
        heads.push_back(
            {firstWith(blocks_[h].selfOffset), blocks_[h].position, blocks_[h].selfOffset});
    }
    for (const ChainBlock& block : cut) {
        const uint32_t offset = block.header.selfOffset;
        if (namedCut.count(block.position) != 0 || strayNames.count(offset) != 0 ||
            !IsMessageStart(DataOf(block)))
            continue;
        heads.push_back({firstWith(offset), block.position, offset});
        cutHeads_.push_back(block);  // by position, as cut is
    }
    std::sort(heads.begin(), heads.end());
    // The heads of one offset share their first block, so they lie
    // together, and their offsets come in the order the classic index
    // would create its entries. Its walk visits the buckets in ascending
    // order, the newest entry of a bucket first.
    struct Entry {
        uint32_t bucket = 0;
        uint32_t created = 0;  // also where its heads begin in heads
    };
    std::vector<Entry> walk;
    for (uint32_t i = 0; i < heads.size(); ++i) {
        if (i == 0 || heads[i].first != heads[i - 1].first)
            walk.push_back({(heads[i].offset / 16) % kChainHeadBuckets, i});
    }
    std::sort(walk.begin(), walk.end(), [](const Entry& a, const Entry& b) {
        return a.bucket != b.bucket ? a.bucket < b.bucket : a.created > b.created;
    });
    headOffsets_.reserve(walk.size());
    headPositions_.reserve(walk.size());
    for (const Entry& entry : walk) {
        headOffsets_.push_back(heads[entry.created].offset);
        headPositions_.emplace_back();
        for (uint32_t i = entry.created;
             i < heads.size() && heads[i].first == heads[entry.created].first; ++i)
            headPositions_.back().push_back(heads[i].position);
    }
    headIndex_.reserve(headOffsets_.size());
    for (uint32_t i = 0; i < headOffsets_.size(); ++i) headIndex_.emplace_back(headOffsets_[i], i);
    std::sort(headIndex_.begin(), headIndex_.end());
}

void StoreAwareLinker::ValidateHeads(RunEvents& events, CFile64Ex& source) {
    Link(source);
    // Each head is read in position order, which the page cache serves
    // far better than the walking order; what is dropped is the same. The
    // question whether to stop comes once per head offset, as in the
    // classic linking, when the offset's first head is met.
    std::vector<std::pair<uint32_t, uint32_t>> byPosition;  // (head block, entry)
    for (uint32_t entry = 0; entry < headPositions_.size(); ++entry) {
        for (const uint64_t position : headPositions_[entry])
            byPosition.emplace_back(blocks_.AtPosition(position), entry);
    }
    std::sort(byPosition.begin(), byPosition.end());
    std::vector<bool> colonless(blocks_.size(), false);
    std::vector<bool> asked(headPositions_.size(), false);
    for (const auto& [head, entry] : byPosition) {
        if (!asked[entry]) {
            asked[entry] = true;
            if (events.QueryAbort()) return;
        }
        // A head with a cut header opens like a message: it has its colon.
        if (head == kNoBlock) continue;
        // A header that cannot be read counts as one with a colon, as in
        // the classic linking.
        uint32_t delivered = 0;
        cache_->Read(static_cast<int64_t>(blocks_[head].position), kBlockHeaderSize, &delivered);
        if (delivered < kBlockHeaderSize) continue;
        const std::vector<uint8_t> data = DataOf(BlockAt(head));
        if (std::find(data.begin(), data.end(), ':') == data.end()) colonless[head] = true;
    }
    for (PositionList& positions : headPositions_) {
        for (size_t i = positions.size(); i-- > 0;) {
            const uint32_t head = blocks_.AtPosition(positions[i]);
            if (head != kNoBlock && colonless[head]) positions.erase(i);
        }
    }
}

std::vector<uint32_t> StoreAwareLinker::HeadOffsets() const {
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < headOffsets_.size(); ++i) {
        if (!headPositions_[i].empty()) offsets.push_back(headOffsets_[i]);
    }
    return offsets;
}

const PositionList& StoreAwareLinker::HeadPositions(uint32_t headOffset) const {
    static const PositionList kNone{};
    const auto it =
        std::lower_bound(headIndex_.begin(), headIndex_.end(), std::make_pair(headOffset, 0u));
    return it != headIndex_.end() && it->first == headOffset ? headPositions_[it->second] : kNone;
}

void StoreAwareLinker::WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                                  CFile64& output, ChainTrace& trace) {
    GatheredOutput gathered(output);
    FollowChain(source, headOffset, headPosition, gathered, trace);
    gathered.Flush();
}

void StoreAwareLinker::FollowChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                                   CFile64& output, ChainTrace& trace) {
    const std::optional<ChainBlock> first = HeadAt(headPosition);
    if (!first) {
        trace.end = ChainEnd::ReadError;
        return;
    }
    ChainBlock current = *first;
    // Bytes read from two clusters of one store that only a guessed link
    // puts together make the message's end uncertain.
    uint32_t lastStore = current.store;
    uint32_t lastGuesses = stores_.At(current.store, headOffset / stores_.ClusterSize()).guesses;
    const auto note = [&](uint32_t store, uint32_t guesses) {
        if (store == lastStore && guesses != lastGuesses) trace.endGuessed = true;
        lastStore = store;
        lastGuesses = guesses;
    };
    OffsetSet visitedOffsets;
    uint32_t offset = headOffset;
    std::vector<Run> runs;
    for (;;) {
        visitedOffsets.Insert(offset);
        if (!current.rebuilt) {
            // As the classic linking does: the header as the source gives it.
            uint8_t bytes[kBlockHeaderSize];
            if (!ReadWhole(source, static_cast<int64_t>(current.position), kBlockHeaderSize,
                           bytes)) {
                trace.end = ChainEnd::ReadError;
                return;
            }
            current.header = DecodeBlockHeader(bytes);
        }
        const BlockHeader& header = current.header;
        if (header.dataLength > header.blockSize || header.blockSize == 0 ||
            header.blockSize > kLargestBlockSize) {
            trace.end = source.Failures().Overlaps(current.position, kBlockHeaderSize)
                            ? ChainEnd::ReadError
                            : ChainEnd::HeaderUnreadable;
            return;
        }
        trace.blocks.push_back(current.position);
        note(current.store,
             stores_.At(current.store, current.header.selfOffset / stores_.ClusterSize()).guesses);
        runs.clear();
        const bool whole = DataRuns(current, runs);
        for (const Run& run : runs) {
            note(current.store, run.guesses);
            if (run.position < 0) {
                WriteZeros(output, run.length, trace);
                continue;
            }
            CopyRun(source, run, output, trace);
        }
        if (!whole) {
            trace.end = ChainEnd::NextMissing;
            return;
        }
        const uint32_t next = header.nextOffset;
        if (next == 0) {
            trace.end = ChainEnd::Complete;
            return;
        }
        if (visitedOffsets.Contains(next)) {
            trace.end = ChainEnd::Loop;
            return;
        }
        const std::optional<ChainBlock> successor = Successor(source, current);
        if (!successor) {
            trace.end = ChainEnd::NextMissing;
            return;
        }
        current = *successor;
        offset = next;
    }
}

bool StoreAwareLinker::ReadWhole(CFile64Ex& source, int64_t position, uint32_t count,
                                 uint8_t* out) {
    uint32_t delivered = 0;
    cache_->ReadTo(position, count, out, &delivered);
    if (delivered == count) return true;
    source.Seek(position, CFile64::begin);
    return source.Read(out, count) == count;
}

void StoreAwareLinker::CopyRun(CFile64Ex& source, const Run& run, CFile64& output,
                               ChainTrace& trace) {
    // Most blocks lie in pages the linking has read already; the source's
    // own windows, one sector each, would cost a read per sector.
    runBytes_.resize(run.length);
    uint32_t delivered = 0;
    cache_->ReadTo(run.position, run.length, runBytes_.data(), &delivered);
    if (delivered < run.length) {
        // Where the source ends or stopped short, its windows tell what
        // can be read now, and the rest is traced as zeros.
        source.Seek(run.position, CFile64::begin);
        CopyBlockData(source, output, run.length, trace);
        return;
    }
    trace.AddRun(static_cast<uint64_t>(run.position), run.length, false);
    if (source.Failures().Overlaps(static_cast<uint64_t>(run.position), run.length))
        trace.unreadable = true;
    output.Write(runBytes_.data(), run.length);
}

size_t StoreAwareLinker::HeadsMemoryUsed() const {
    size_t bytes = headOffsets_.capacity() * sizeof(uint32_t) +
                   headPositions_.capacity() * sizeof(PositionList) +
                   headIndex_.capacity() * sizeof(headIndex_[0]) +
                   cutHeads_.capacity() * sizeof(ChainBlock);
    for (const PositionList& positions : headPositions_) {
        if (positions.capacity() > 1) bytes += positions.capacity() * sizeof(uint64_t);
    }
    return bytes;
}

size_t StoreAwareLinker::MemoryUsed() const {
    return blocks_.MemoryUsed() + stores_.MemoryUsed() + HeadsMemoryUsed() +
           sharedSuccessors_.size() * (sizeof(uint32_t) * 2 + sizeof(void*) * 2);
}

}  // namespace varrow
