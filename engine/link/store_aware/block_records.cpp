#include "link/store_aware/block_records.h"

#include <algorithm>
#include <new>
#include <numeric>
#include <utility>

namespace varrow {

namespace {

// The blocks of sorted whose key (by keyOf) equals key; sorted is in
// ascending key order.
template <typename Key, typename KeyOf>
std::span<const uint32_t> EqualRange(const std::vector<uint32_t>& sorted, const Key& key,
                                     KeyOf keyOf) {
    const auto first =
        std::lower_bound(sorted.begin(), sorted.end(), key,
                         [&](uint32_t block, const Key& k) { return keyOf(block) < k; });
    const auto last = std::upper_bound(
        first, sorted.end(), key, [&](const Key& k, uint32_t block) { return k < keyOf(block); });
    return {sorted.data() + (first - sorted.begin()), static_cast<size_t>(last - first)};
}

// The block numbers 0 .. count - 1 sorted by a 32-bit field, ties in
// ascending block number: a stable radix sort in two passes of 16 bits,
// linear in count whatever the fields hold.
template <typename FieldOf>
std::vector<uint32_t> SortedByField(size_t count, FieldOf fieldOf) {
    std::vector<uint32_t> blocks(count);
    std::iota(blocks.begin(), blocks.end(), 0u);
    std::vector<uint32_t> sorted(count);
    for (const uint32_t shift : {0u, 16u}) {
        std::vector<size_t> starts(size_t{1} << 16, 0);
        for (const uint32_t block : blocks) ++starts[(fieldOf(block) >> shift) & 0xFFFF];
        size_t next = 0;
        for (size_t& start : starts) next += std::exchange(start, next);
        for (const uint32_t block : blocks)
            sorted[starts[(fieldOf(block) >> shift) & 0xFFFF]++] = block;
        blocks.swap(sorted);
    }
    return blocks;
}

}  // namespace

void BlockRecords::Accept(const BlockHeader& header, uint64_t position) {
    if (size_ >= kNoBlock) throw std::bad_alloc();
    if ((size_ >> kChunkShift) == chunks_.size()) {
        chunks_.push_back(std::make_unique<BlockRecord[]>(kChunkSize));
    }
    Record(static_cast<uint32_t>(size_++)) = {position, header.selfOffset, header.nextOffset,
                                              header.dataLength};
}

bool BlockRecords::InPositionOrder() const {
    for (uint32_t block = 1; block < size_; ++block) {
        if ((*this)[block].position < (*this)[block - 1].position) return false;
    }
    return true;
}

void BlockRecords::SortByPosition() {
    std::vector<BlockRecord> records;
    records.reserve(size_);
    for (uint32_t block = 0; block < size_; ++block) records.push_back((*this)[block]);
    std::stable_sort(
        records.begin(), records.end(),
        [](const BlockRecord& a, const BlockRecord& b) { return a.position < b.position; });
    for (uint32_t block = 0; block < size_; ++block) Record(block) = records[block];
}

void BlockRecords::Finish() {
    if (!InPositionOrder()) SortByPosition();
    // Block numbers ascend with the position, so the number breaks ties.
    bySelfOffset_ = SortedByField(size_, [this](uint32_t b) { return (*this)[b].selfOffset; });
    byNextOffset_ = SortedByField(size_, [this](uint32_t b) { return (*this)[b].nextOffset; });
}

uint32_t BlockRecords::FirstFromIn(uint64_t position, uint32_t low, uint32_t high) const {
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if ((*this)[middle].position < position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

uint32_t BlockRecords::FirstFrom(uint64_t position) const {
    return FirstFromIn(position, 0, static_cast<uint32_t>(size_));
}

uint32_t BlockRecords::FirstFromNear(uint64_t position, uint32_t near) const {
    if (near >= size_) return FirstFrom(position);
    // Gallop from near to a range that holds the answer, then halve it.
    uint32_t low = 0;
    auto high = static_cast<uint32_t>(size_);
    if ((*this)[near].position < position) {
        uint64_t step = 1;
        low = near + 1;
        while (low + step <= size_ &&
               (*this)[static_cast<uint32_t>(low + step - 1)].position < position) {
            low = static_cast<uint32_t>(low + step);
            step *= 2;
        }
        high = static_cast<uint32_t>(std::min<uint64_t>(size_, low + step));
    } else {
        uint64_t step = 1;
        high = near;
        while (high >= step && (*this)[static_cast<uint32_t>(high - step)].position >= position) {
            high = static_cast<uint32_t>(high - step);
            step *= 2;
        }
        low = high >= step ? static_cast<uint32_t>(high - step) : 0;
    }
    return FirstFromIn(position, low, high);
}

uint32_t BlockRecords::AtPosition(uint64_t position) const {
    const uint32_t block = FirstFrom(position);
    return block < size_ && (*this)[block].position == position ? block : kNoBlock;
}

uint32_t BlockRecords::At(int64_t base, uint32_t offset, uint32_t near) const {
    // (base, offset) is a position; the block there must carry the offset.
    const uint64_t position = static_cast<uint64_t>(base) + offset;
    const uint32_t block = FirstFromNear(position, near);
    if (block >= size_ || (*this)[block].position != position ||
        (*this)[block].selfOffset != offset)
        return kNoBlock;
    return block;
}

std::span<const uint32_t> BlockRecords::WithOffset(uint32_t offset) const {
    return EqualRange(bySelfOffset_, offset,
                      [this](uint32_t block) { return (*this)[block].selfOffset; });
}

std::span<const uint32_t> BlockRecords::Naming(uint32_t offset) const {
    return EqualRange(byNextOffset_, offset,
                      [this](uint32_t block) { return (*this)[block].nextOffset; });
}

size_t BlockRecords::MemoryUsed() const {
    return chunks_.size() * kChunkSize * sizeof(BlockRecord) +
           (bySelfOffset_.capacity() + byNextOffset_.capacity()) * sizeof(uint32_t);
}

}  // namespace varrow
