#include "link/successor_choice.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link/block_data.h"
#include "link/block_index.h"
#include "link/header_names.h"

namespace varrow {

namespace {

std::string TrailingWord(const std::vector<uint8_t>& data) {
    size_t start = data.size();
    while (start > 0 && IsWordChar(data[start - 1])) --start;
    return std::string(data.begin() + static_cast<ptrdiff_t>(start), data.end());
}

// The leading word of the block at position, in lower case as the endings
// of HeaderNameEndings are.
std::string LowerLeadingWord(CFile64Ex& source, uint64_t position) {
    const std::vector<uint8_t> data = ReadBlockData(source, position);
    size_t end = 0;
    while (end < data.size() && IsWordChar(data[end])) ++end;
    std::string word(data.begin(), data.begin() + static_cast<ptrdiff_t>(end));
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return word;
}

uint64_t Distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

// The candidate nearest to current; of equally near ones the first.
uint64_t Nearest(uint64_t current, const PositionList& candidates) {
    uint64_t nearest = candidates[0];
    for (const uint64_t candidate : candidates) {
        if (Distance(candidate, current) < Distance(nearest, current)) nearest = candidate;
    }
    return nearest;
}

// The same for candidates in ascending order, which are distinct: only the
// two around current can be nearest, and the lower one comes first.
uint64_t NearestOfAscending(uint64_t current, const PositionList& candidates) {
    const uint64_t* above = std::lower_bound(candidates.begin(), candidates.end(), current);
    if (above == candidates.begin()) return *above;
    if (above == candidates.end()) return *(above - 1);
    return Distance(*(above - 1), current) <= Distance(*above, current) ? *(above - 1) : *above;
}

}  // namespace

uint64_t ChooseNextBlock(CFile64Ex& source, uint64_t current, const PositionList& candidates) {
    const std::vector<std::string> endings =
        HeaderNameEndings(TrailingWord(ReadBlockData(source, current)));
    if (!endings.empty()) {
        for (const uint64_t candidate : candidates) {
            const std::string head = LowerLeadingWord(source, candidate);
            if (std::find(endings.begin(), endings.end(), head) != endings.end()) return candidate;
        }
    }
    return Nearest(current, candidates);
}

uint64_t SuccessorChooser::Choose(CFile64Ex& source, uint64_t current, const PositionList& candidates) {
    CandidateWords& words = candidateWords_[&candidates];
    if (!words.checkedOrder) {
        words.ascending = std::adjacent_find(candidates.begin(), candidates.end(),
                                             std::greater_equal<uint64_t>()) == candidates.end();
        words.checkedOrder = true;
    }
    const std::vector<std::string> endings =
        HeaderNameEndings(TrailingWord(ReadBlockData(source, current)));
    if (!endings.empty()) {
        if (!words.read) {
            // Only a leading word that ends some known name can ever be
            // asked for; from the last candidate to the first, so that the
            // first one with a word stays.
            for (size_t i = candidates.size(); i-- > 0;) {
                std::string word = LowerLeadingWord(source, candidates[i]);
                if (EndsKnownHeaderName(word)) words.firstWith[std::move(word)] = i;
            }
            words.read = true;
        }
        size_t first = candidates.size();
        for (const std::string& ending : endings) {
            const auto found = words.firstWith.find(ending);
            if (found != words.firstWith.end()) first = std::min(first, found->second);
        }
        if (first < candidates.size()) return candidates[first];
    }
    return words.ascending ? NearestOfAscending(current, candidates) : Nearest(current, candidates);
}

}  // namespace varrow
