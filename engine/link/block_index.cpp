#include "link/block_index.h"

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
//
// The bucket chains give the walking order and nothing else. Entries are
// found through a separate table that grows with them: the chains of a
// fixed number of buckets grow with the entries, and a source full of
// distinct offsets (millions of heads) would make every lookup walk
// thousands of entries.
struct BlockIndex::Impl {
    static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    static constexpr uint32_t kChunkShift = 14;
    static constexpr uint32_t kChunkSize = 1u << kChunkShift;
    static constexpr uint32_t kFirstSlotBits = 6;

    struct Entry {
        PositionList positions;
        uint32_t offset = 0;
        uint32_t next = kNone;      // the next older entry of the bucket
        uint32_t previous = kNone;  // the next newer one, so that removal needs no walk
    };

    std::vector<uint32_t> buckets;
    std::vector<std::unique_ptr<Entry[]>> chunks;
    uint32_t used = 0;           // entries handed out from the pool
    uint32_t freeList = kNone;   // removed entries, for reuse
    size_t entryCount = 0;
    // Entry numbers by offset, open addressing with linear probing, at most
    // three quarters full. A slot keeps its offset beside the entry number,
    // so that probing never has to visit the entries themselves.
    struct Slot {
        uint32_t offset = 0;
        uint32_t id = kNone;
    };
    std::vector<Slot> slots;
    uint32_t slotBits = 0;

    Entry& At(uint32_t id) { return chunks[id >> kChunkShift][id & (kChunkSize - 1)]; }
    const Entry& At(uint32_t id) const { return chunks[id >> kChunkShift][id & (kChunkSize - 1)]; }
    uint32_t BucketOf(uint32_t offset) const {
        return static_cast<uint32_t>((offset / 16) % buckets.size());
    }

    size_t SlotMask() const { return slots.size() - 1; }
    size_t HomeSlot(uint32_t offset) const {
        return static_cast<size_t>((offset * 0x9E3779B97F4A7C15ull) >> (64 - slotBits));
    }

    // The slot that holds offset, or the empty slot where it would go.
    size_t SlotOf(uint32_t offset) const {
        size_t slot = HomeSlot(offset);
        while (slots[slot].id != kNone && slots[slot].offset != offset) slot = (slot + 1) & SlotMask();
        return slot;
    }

    uint32_t FindId(uint32_t offset) const {
        if (slots.empty()) return kNone;
        return slots[SlotOf(offset)].id;
    }

    void InitSlots(uint32_t bits) {
        slotBits = bits;
        slots.assign(size_t{1} << bits, Slot{});
    }

    void AddSlot(uint32_t id) {
        if (4 * (entryCount + 1) > 3 * slots.size()) {
            std::vector<Slot> old;
            old.swap(slots);
            InitSlots(slotBits + 1);
            for (const Slot& kept : old) {
                if (kept.id != kNone) slots[SlotOf(kept.offset)] = kept;
            }
        }
        const uint32_t offset = At(id).offset;
        slots[SlotOf(offset)] = Slot{offset, id};
    }

    // Empties the slot of offset and moves later entries of its probe run
    // back, so that every entry stays reachable from its home slot.
    void RemoveSlot(uint32_t offset) {
        size_t hole = SlotOf(offset);
        slots[hole] = Slot{};
        for (size_t slot = (hole + 1) & SlotMask(); slots[slot].id != kNone; slot = (slot + 1) & SlotMask()) {
            const size_t home = HomeSlot(slots[slot].offset);
            // The entry may fill the hole unless its home lies after the
            // hole, up to its own slot (cyclically).
            const bool homeBetween = hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
            if (homeBetween) continue;
            slots[hole] = slots[slot];
            slots[slot] = Slot{};
            hole = slot;
        }
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
    impl_->InitSlots(Impl::kFirstSlotBits);
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
    entry.previous = Impl::kNone;
    if (head != Impl::kNone) impl_->At(head).previous = id;
    head = id;
    impl_->AddSlot(id);
    ++impl_->entryCount;
    return entry.positions;
}

void BlockIndex::Prefetch(uint32_t offset) const {
    if (!impl_) return;
    __builtin_prefetch(&impl_->slots[impl_->HomeSlot(offset)]);
    __builtin_prefetch(&impl_->buckets[impl_->BucketOf(offset)]);
}

void BlockIndex::Remove(uint32_t offset) {
    if (!impl_) return;
    const uint32_t id = impl_->FindId(offset);
    if (id == Impl::kNone) return;
    impl_->RemoveSlot(offset);
    Impl::Entry& entry = impl_->At(id);
    if (entry.previous != Impl::kNone) {
        impl_->At(entry.previous).next = entry.next;
    } else {
        impl_->buckets[impl_->BucketOf(offset)] = entry.next;
    }
    if (entry.next != Impl::kNone) impl_->At(entry.next).previous = entry.previous;
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
                   impl_->slots.capacity() * sizeof(Impl::Slot) +
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
