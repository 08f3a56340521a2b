// The chain indexes of pass 1: hash maps from a 32-bit block offset to the
// list of source positions where a block with that offset was found.
//
// The walking order is part of the engine's behaviour, because pass 2
// numbers messages in it:
//  - an offset's bucket is (offset / 16) mod the number of buckets;
//  - a new entry goes to the front of its bucket's chain;
//  - a walk visits the buckets in ascending order and each chain from its
//    front, so the newest offset of a bucket comes first;
//  - the number of buckets is fixed when the table is made; it never grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace varrow {

// The sizes of the two indexes' tables, fixed for a whole pass.
inline constexpr uint32_t kLinkedBlockBuckets = 199999;
inline constexpr uint32_t kChainHeadBuckets = 14983;

// Source positions of the blocks with one offset, in the order the scan met
// them (ascending). Most lists hold one position, which then lives inline.
class PositionList {
public:
    PositionList() = default;
    ~PositionList();
    PositionList(PositionList&& other) noexcept;
    PositionList& operator=(PositionList&& other) noexcept;
    PositionList(const PositionList&) = delete;
    PositionList& operator=(const PositionList&) = delete;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t capacity() const { return capacity_; }
    uint64_t operator[](size_t index) const { return data()[index]; }
    const uint64_t* begin() const { return data(); }
    const uint64_t* end() const { return data() + size_; }

    void push_back(uint64_t position);
    // Appends all positions of other, in their order.
    void Append(const PositionList& other);
    // Removes the position at index; the later ones keep their order.
    void erase(size_t index);
    void clear();

private:
    const uint64_t* data() const { return capacity_ > 1 ? heap_ : &inline_; }
    uint64_t* data() { return capacity_ > 1 ? heap_ : &inline_; }
    void Reserve(size_t capacity);

    union {
        uint64_t inline_ = 0;
        uint64_t* heap_;
    };
    uint32_t size_ = 0;
    uint32_t capacity_ = 1;
};

class BlockIndex {
public:
    BlockIndex();
    ~BlockIndex();
    BlockIndex(const BlockIndex&) = delete;
    BlockIndex& operator=(const BlockIndex&) = delete;

    // Empties the index, freeing every list, and gives it a fresh table of
    // the given number of buckets.
    void Reset(uint32_t buckets);

    uint32_t BucketCount() const;
    size_t EntryCount() const;

    PositionList* Find(uint32_t offset);
    const PositionList* Find(uint32_t offset) const;
    // The entry of offset, created with an empty list at the front of its
    // bucket's chain when there is none.
    PositionList& FindOrCreate(uint32_t offset);
    // A hint that offset will be looked up soon: starts bringing its slot
    // and its bucket into the cache. Changes nothing.
    void Prefetch(uint32_t offset) const;
    // Removes the entry of offset, if any, and frees its list.
    void Remove(uint32_t offset);

    // The offsets of all entries in walking order.
    std::vector<uint32_t> OffsetsInWalkingOrder() const;

    // Bytes the index holds, tables and lists included.
    size_t MemoryUsed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace varrow
