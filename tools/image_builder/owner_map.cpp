#include "image_builder/owner_map.h"

#include <iterator>

namespace ostrel::builder {

void OwnerMap::Assign(uint64_t begin, uint64_t end, uint32_t owner) {
    if (begin >= end) return;
    // Cut off the parts of the segments that reach into [begin, end).
    auto it = segments_.lower_bound(begin);
    if (it != segments_.begin()) {
        auto before = std::prev(it);
        if (before->second.end > begin) {
            const Segment cut = before->second;
            before->second.end = begin;
            if (cut.end > end) segments_[end] = {cut.end, cut.owner};
        }
    }
    it = segments_.lower_bound(begin);
    while (it != segments_.end() && it->first < end) {
        const Segment rest = it->second;
        it = segments_.erase(it);
        if (rest.end > end) {
            segments_[end] = rest;
            break;
        }
    }
    if (owner != 0) segments_[begin] = {end, owner};
}

bool OwnerMap::Holds(uint64_t begin, uint64_t end, uint32_t owner) const {
    auto it = segments_.upper_bound(begin);
    if (it == segments_.begin()) return false;
    --it;
    uint64_t covered = begin;
    while (covered < end) {
        if (it == segments_.end() || it->first > covered || it->second.end <= covered ||
            it->second.owner != owner) {
            return false;
        }
        covered = it->second.end;
        ++it;
    }
    return true;
}

}  // namespace ostrel::builder
