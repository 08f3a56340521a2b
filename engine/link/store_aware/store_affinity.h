// How much text the options at one cluster boundary share with each end
// there: the 8-byte substrings of every option's first bytes are indexed
// once for the boundary, and each end's last bytes are looked up in that
// index once, rather than a set of each end probed by every option's
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace varrow {

// Affinity counts shared substrings of this many bytes.
inline constexpr uint32_t kAffinityGram = 8;

// The kAffinityGram bytes at bytes as one number (in the machine's byte
// order: only equality and hashes, the same on both sides, depend on it).
inline uint64_t AffinityGramAt(const uint8_t* bytes) {
    uint64_t gram = 0;
    std::memcpy(&gram, bytes, kAffinityGram);
    return gram;
}

// One byte repeated (spaces, '=', zeros): such a substring says nothing
// about which text a piece belongs to, and is never counted.
inline bool IsOneByteRepeated(uint64_t gram) {
    return gram == (gram & 0xFF) * 0x0101010101010101ull;
}

class BoundaryAffinity {
public:
    // Forgets the sources of the last boundary.
    void Clear();
    // Indexes the 8-byte windows of one source's bytes (an option's first
    // bytes) and returns its number, counting from 0 since Clear.
    uint32_t AddSource(std::span<const uint8_t> bytes);
    // For each source (by number), how many of its windows are among the
    // distinct 8-byte substrings of before, not counting substrings of one
    // byte repeated (the zero one among them).
    void Count(std::span<const uint8_t> before, std::vector<size_t>* counts);

private:
    static constexpr uint32_t kNoPosting = 0xFFFFFFFFu;
    // A substring of some source; gram 0 marks an empty slot (that
    // substring is never indexed).
    struct Entry {
        uint64_t gram = 0;
        uint32_t postings = kNoPosting;  // its newest posting
        uint32_t countedFor = 0;         // the Count call that last added it
    };
    // How often one source holds a substring; a list from the newest.
    struct Posting {
        uint32_t source = 0;
        uint32_t windows = 0;
        uint32_t next = kNoPosting;
    };

    // Makes room for windows more substrings, rebuilding the table.
    void Reserve(size_t windows);
    size_t SlotOf(uint64_t gram) const;

    std::vector<Entry> slots_;  // open addressing, a power of two of them
    // The slots in use and the postings are the first usedCount_ and
    // postingCount_ of their arrays, which Reserve makes long enough for a
    // source's windows beforehand: one index of a boundary adds thousands
    // of each, and a push_back checks the room for every one.
    std::vector<uint32_t> used_;
    size_t usedCount_ = 0;
    std::vector<Posting> postings_;
    size_t postingCount_ = 0;
    uint32_t sources_ = 0;
    uint32_t counts_ = 0;
    int shift_ = 64;  // 64 - log2 of the slots
};

}  // namespace varrow
