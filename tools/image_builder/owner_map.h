// Which placed piece last wrote each byte range of an image, so the
// manifest can tell which blocks survived everything written after them.
#pragma once

#include <cstdint>
#include <map>

namespace ostrel::builder {

class OwnerMap {
public:
    // From now on [begin, end) belongs to owner; 0 means no piece (noise).
    void Assign(uint64_t begin, uint64_t end, uint32_t owner);
    // True when owner holds every byte of [begin, end).
    bool Holds(uint64_t begin, uint64_t end, uint32_t owner) const;

private:
    struct Segment {
        uint64_t end;
        uint32_t owner;
    };
    std::map<uint64_t, Segment> segments_;  // by begin; never overlapping, owner never 0
};

}  // namespace ostrel::builder
