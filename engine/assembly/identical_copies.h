// Finding a copy of a message that is byte for byte one already written in
// this run, so that it is not written again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace varrow {

// A message's bytes: in memory, or in its temporary file when it was too
// long to keep.
struct MessageBytes {
    const std::vector<uint8_t>* content = nullptr;
    std::string file;
    uint64_t size = 0;
};

class IdenticalCopies {
public:
    struct Written {
        uint32_t number = 0;
        uint32_t copy = 0;
        std::string path;
    };

    // A hash of the bytes, read piece by piece.
    static size_t HashOf(const MessageBytes& bytes);
    // The message written earlier whose bytes equal these (whose hash is
    // given), if any. Equal hashes are confirmed by comparing the bytes with
    // the written file; a file changed or removed since is no match.
    std::optional<Written> Find(const MessageBytes& bytes, size_t hash) const;
    // Keeps a written message for later comparisons.
    void Remember(size_t hash, Written written);

private:
    std::unordered_multimap<size_t, Written> written_;
};

}  // namespace varrow
