#include "source/failed_sectors.h"

#include <algorithm>

namespace varrow {

void FailedSectors::Add(uint64_t position, uint64_t length) {
    if (length == 0) return;
    uint64_t start = position;
    uint64_t end = position + length;
    // The first range that ends at or after start may touch the new one;
    // every range from there that starts at or before end merges with it.
    auto first = std::lower_bound(ranges_.begin(), ranges_.end(), start,
                                  [](const auto& range, uint64_t at) { return range.second < at; });
    auto last = first;
    while (last != ranges_.end() && last->first <= end) {
        start = std::min(start, last->first);
        end = std::max(end, last->second);
        bytes_ -= last->second - last->first;
        ++last;
    }
    bytes_ += end - start;
    lastStretch_ = end - start;
    if (first == last) {
        ranges_.insert(first, {start, end});
    } else {
        *first = {start, end};
        ranges_.erase(first + 1, last);
    }
}

bool FailedSectors::Overlaps(uint64_t position, uint64_t length) const {
    if (length == 0 || ranges_.empty()) return false;
    const auto after = std::upper_bound(ranges_.begin(), ranges_.end(), position,
                                        [](uint64_t at, const auto& range) { return at < range.second; });
    return after != ranges_.end() && after->first < position + length;
}

}  // namespace varrow
