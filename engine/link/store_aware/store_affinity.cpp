#include "link/store_aware/store_affinity.h"

namespace varrow {

namespace {

// A table kept from one boundary to the next up to this many slots; a
// larger one (many copies of one cluster) is let go, as the next boundary
// most likely needs far less and a sparse table reads slowly.
constexpr size_t kKeptSlots = size_t{1} << 16;

}  // namespace

void BoundaryAffinity::Clear() {
    if (slots_.size() > kKeptSlots) {
        slots_ = {};
        shift_ = 64;
    } else {
        for (const uint32_t slot : used_) slots_[slot] = Entry{};
    }
    used_.clear();
    postings_.clear();
    sources_ = 0;
    counts_ = 0;
}

size_t BoundaryAffinity::SlotOf(uint64_t gram) const {
    return static_cast<size_t>((gram * 0x9E3779B97F4A7C15ull) >> shift_);
}

void BoundaryAffinity::Reserve(size_t windows) {
    // At most half the slots in use, so that probing stays short.
    const size_t wanted = 2 * (used_.size() + windows);
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
    used_.clear();
    for (const Entry& entry : old) {
        if (entry.gram == 0) continue;
        size_t slot = SlotOf(entry.gram);
        while (slots_[slot].gram != 0) slot = (slot + 1) & (size - 1);
        slots_[slot] = entry;
        used_.push_back(static_cast<uint32_t>(slot));
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
            used_.push_back(static_cast<uint32_t>(slot));
        }
        if (entry.postings != kNoPosting && postings_[entry.postings].source == source) {
            ++postings_[entry.postings].windows;
        } else {
            postings_.push_back({source, 1, entry.postings});
            entry.postings = static_cast<uint32_t>(postings_.size() - 1);
        }
    }
    return source;
}

void BoundaryAffinity::Count(std::span<const uint8_t> before, std::vector<size_t>* counts) {
    counts->assign(sources_, 0);
    if (used_.empty()) return;
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
