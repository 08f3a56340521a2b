#include "block_index.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace varrow {

// --- PositionList --------------------------------------------------------

PositionList::~PositionList() {
    if (capacity_ > 1) delete[] heap_;
}

PositionList::PositionList(PositionList&& other) noexcept
    : size_(other.size_), capacity_(other.capacity_) {
    if (capacity_ > 1) {
        heap_ = other.heap_;
    } else {
        inline_ = other.inline_;
    }
    other.size_ = 0;
    other.capacity_ = 1;
    other.inline_ = 0;
}

PositionList& PositionList::operator=(PositionList&& other) noexcept {
    if (this != &other) {
        this->~PositionList();
        new (this) PositionList(std::move(other));
    }
    return *this;
}

void PositionList::Reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    if (capacity > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    auto* grown = new uint64_t[capacity];
    std::memcpy(grown, data(), size_ * sizeof(uint64_t));
    if (capacity_ > 1) delete[] heap_;
    heap_ = grown;
    capacity_ = static_cast<uint32_t>(capacity);
}

void PositionList::push_back(uint64_t position) {
    if (size_ == capacity_) Reserve(size_t{capacity_} < 4 ? 4 : size_t{capacity_} * 2);
    data()[size_++] = position;
}

void PositionList::Append(const PositionList& other) {
    if (other.empty()) return;
    Reserve(std::max<size_t>(size_ + other.size_, size_t{capacity_}));
    std::memcpy(data() + size_, other.data(), other.size_ * sizeof(uint64_t));
    size_ += other.size_;
}

void PositionList::erase(size_t index) {
    if (index >= size_) return;
    uint64_t* positions = data();
    std::memmove(positions + index, positions + index + 1, (size_ - index - 1) * sizeof(uint64_t));
    --size_;
}

void PositionList::clear() {
    if (capacity_ > 1) delete[] heap_;
    inline_ = 0;
    size_ = 0;
    capacity_ = 1;
}

// --- BlockIndex ----------------------------------------------------------

// Entries live in a pool of fixed-size chunks and link to each other by
// number, so that growing the pool never moves an entry and costs no
// reallocation of what is already there.
struct BlockIndex::Impl {
    static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    static constexpr uint32_t kChunkShift = 14;
    static constexpr uint32_t kChunkSize = 1u << kChunkShift;

    struct Entry {
        PositionList positions;
        uint32_t offset = 0;
        uint32_t next = kNone;
    };

    std::vector<uint32_t> buckets;
    std::vector<std::unique_ptr<Entry[]>> chunks;
    uint32_t used = 0;           // entries handed out from the pool
    uint32_t freeList = kNone;   // removed entries, for reuse
    size_t entryCount = 0;

    Entry& At(uint32_t id) { return chunks[id >> kChunkShift][id & (kChunkSize - 1)]; }
    const Entry& At(uint32_t id) const { return chunks[id >> kChunkShift][id & (kChunkSize - 1)]; }
    uint32_t BucketOf(uint32_t offset) const {
        return static_cast<uint32_t>((offset / 16) % buckets.size());
    }

    uint32_t FindId(uint32_t offset) const {
        if (buckets.empty()) return kNone;
        for (uint32_t id = buckets[BucketOf(offset)]; id != kNone; id = At(id).next) {
            if (At(id).offset == offset) return id;
        }
        return kNone;
    }

    uint32_t NewEntry() {
        if (freeList != kNone) {
            const uint32_t id = freeList;
            freeList = At(id).next;
            return id;
        }
        if (used == kNone) throw std::bad_alloc();
        if ((used >> kChunkShift) == chunks.size()) chunks.push_back(std::make_unique<Entry[]>(kChunkSize));
        return used++;
    }
};

BlockIndex::BlockIndex() = default;
BlockIndex::~BlockIndex() = default;

void BlockIndex::Reset(uint32_t buckets) {
    impl_.reset();
    impl_ = std::make_unique<Impl>();
    impl_->buckets.assign(std::max<uint32_t>(buckets, 1), Impl::kNone);
}

uint32_t BlockIndex::BucketCount() const {
    return impl_ ? static_cast<uint32_t>(impl_->buckets.size()) : 0;
}

size_t BlockIndex::EntryCount() const { return impl_ ? impl_->entryCount : 0; }

PositionList* BlockIndex::Find(uint32_t offset) {
    if (!impl_) return nullptr;
    const uint32_t id = impl_->FindId(offset);
    return id == Impl::kNone ? nullptr : &impl_->At(id).positions;
}

const PositionList* BlockIndex::Find(uint32_t offset) const {
    return const_cast<BlockIndex*>(this)->Find(offset);
}

PositionList& BlockIndex::FindOrCreate(uint32_t offset) {
    if (!impl_) Reset(1);
    const uint32_t found = impl_->FindId(offset);
    if (found != Impl::kNone) return impl_->At(found).positions;
    const uint32_t id = impl_->NewEntry();
    Impl::Entry& entry = impl_->At(id);
    uint32_t& head = impl_->buckets[impl_->BucketOf(offset)];
    entry.offset = offset;
    entry.next = head;
    head = id;
    ++impl_->entryCount;
    return entry.positions;
}

void BlockIndex::Remove(uint32_t offset) {
    if (!impl_ || impl_->buckets.empty()) return;
    uint32_t* link = &impl_->buckets[impl_->BucketOf(offset)];
    while (*link != Impl::kNone && impl_->At(*link).offset != offset) link = &impl_->At(*link).next;
    if (*link == Impl::kNone) return;
    const uint32_t id = *link;
    Impl::Entry& entry = impl_->At(id);
    *link = entry.next;
    entry.positions.clear();
    entry.next = impl_->freeList;
    impl_->freeList = id;
    --impl_->entryCount;
}

std::vector<uint32_t> BlockIndex::OffsetsInWalkingOrder() const {
    std::vector<uint32_t> offsets;
    if (!impl_) return offsets;
    offsets.reserve(impl_->entryCount);
    for (uint32_t head : impl_->buckets) {
        for (uint32_t id = head; id != Impl::kNone; id = impl_->At(id).next) {
            offsets.push_back(impl_->At(id).offset);
        }
    }
    return offsets;
}

size_t BlockIndex::MemoryUsed() const {
    if (!impl_) return 0;
    size_t bytes = impl_->buckets.capacity() * sizeof(uint32_t) +
                   impl_->chunks.size() * Impl::kChunkSize * sizeof(Impl::Entry);
    for (uint32_t head : impl_->buckets) {
        for (uint32_t id = head; id != Impl::kNone; id = impl_->At(id).next) {
            const PositionList& list = impl_->At(id).positions;
            if (list.capacity() > 1) bytes += list.capacity() * sizeof(uint64_t);
        }
    }
    return bytes;
}

}  // namespace varrow
