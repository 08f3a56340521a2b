#include "link/store_aware/store_affinity.h"

#include <algorithm>

namespace varrow {

namespace {

// A table kept from one boundary to the next up to this many slots; a
// larger one (many copies of one cluster) is let go, as the next boundary
// most likely needs far less and a sparse table reads slowly.
constexpr size_t kKeptSlots = size_t{1} << 16;

// Grows array to at least size elements, at least doubling it, so that
// growing it by a source at a time costs time in proportion to its length.
template <typename T>
void MakeRoom(std::vector<T>& array, size_t size) {
    if (array.size() < size) array.resize(std::max(size, 2 * array.size()));
}

}  // namespace

void BoundaryAffinity::Clear() {
    if (slots_.size() > kKeptSlots) {
        slots_ = {};
        shift_ = 64;
    } else {
        for (size_t i = 0; i < usedCount_; ++i) slots_[used_[i]] = Entry{};
    }
    usedCount_ = 0;
    postingCount_ = 0;
    sources_ = 0;
    counts_ = 0;
}

size_t BoundaryAffinity::SlotOf(uint64_t gram) const {
    return static_cast<size_t>((gram * 0x9E3779B97F4A7C15ull) >> shift_);
}

void BoundaryAffinity::Reserve(size_t windows) {
    MakeRoom(used_, usedCount_ + windows);
    MakeRoom(postings_, postingCount_ + windows);
    // At most half the slots in use, so that probing stays short.
    const size_t wanted = 2 * (usedCount_ + windows);
    if (wanted <= slots_.size()) return;
    size_t size = 1024;
    int shift = 54;
    while (size < wanted) {
        size *= 2;
        --shift;
    }
    const std::vector<Entry> old = std::move(slots_);
    slots_.assign(size, Entry{});
    shift_ = shift;
    usedCount_ = 0;
    for (const Entry& entry : old) {
        if (entry.gram == 0) continue;
        size_t slot = SlotOf(entry.gram);
        while (slots_[slot].gram != 0) slot = (slot + 1) & (size - 1);
        slots_[slot] = entry;
        used_[usedCount_++] = static_cast<uint32_t>(slot);
    }
}

uint32_t BoundaryAffinity::AddSource(std::span<const uint8_t> bytes) {
    const uint32_t source = sources_++;
    if (bytes.size() < kAffinityGram) return source;
    Reserve(bytes.size() - kAffinityGram + 1);
    const size_t mask = slots_.size() - 1;
    for (size_t at = 0; at + kAffinityGram <= bytes.size(); ++at) {
        const uint64_t gram = AffinityGramAt(bytes.data() + at);
        // Such a substring never counts: Count leaves it out of before.
        if (IsOneByteRepeated(gram)) continue;
        size_t slot = SlotOf(gram);
        while (slots_[slot].gram != 0 && slots_[slot].gram != gram) slot = (slot + 1) & mask;
        Entry& entry = slots_[slot];
        if (entry.gram == 0) {
            entry.gram = gram;
            used_[usedCount_++] = static_cast<uint32_t>(slot);
        }
        if (entry.postings != kNoPosting && postings_[entry.postings].source == source) {
            ++postings_[entry.postings].windows;
        } else {
            postings_[postingCount_] = {source, 1, entry.postings};
            entry.postings = static_cast<uint32_t>(postingCount_++);
        }
    }
    return source;
}

void BoundaryAffinity::Count(std::span<const uint8_t> before, std::vector<size_t>* counts) {
    counts->assign(sources_, 0);
    if (usedCount_ == 0) return;
    // Each substring of before counts once however often before holds it:
    // an entry remembers the call that last counted it.
    const uint32_t call = ++counts_;
    const size_t mask = slots_.size() - 1;
    for (size_t at = 0; at + kAffinityGram <= before.size(); ++at) {
        const uint64_t gram = AffinityGramAt(before.data() + at);
        if (IsOneByteRepeated(gram)) continue;
        size_t slot = SlotOf(gram);
        while (slots_[slot].gram != 0 && slots_[slot].gram != gram) slot = (slot + 1) & mask;
        Entry& entry = slots_[slot];
        if (entry.gram == 0 || entry.countedFor == call) continue;
        entry.countedFor = call;
        for (uint32_t p = entry.postings; p != kNoPosting; p = postings_[p].next)
            (*counts)[postings_[p].source] += postings_[p].windows;
    }
}

}  // namespace varrow
