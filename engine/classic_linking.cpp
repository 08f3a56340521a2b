#include "classic_linking.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_set>

#include "block_data.h"
#include "block_index.h"
#include "file64.h"
#include "header_names.h"
#include "session.h"

namespace varrow {

namespace {

// Whether any of the first dataLength bytes of the data area at position
// is a colon; a header that cannot be read counts as one that has.
bool HeadDataHasColon(CFile64Ex& source, uint64_t position) {
    source.Seek(static_cast<int64_t>(position), CFile64::begin);
    uint8_t header[kBlockHeaderSize];
    if (source.Read(header, kBlockHeaderSize) < kBlockHeaderSize) return true;
    uint8_t data[kBlockDataSize] = {};
    source.Read(data, kBlockDataSize);
    const uint32_t length = std::min(DecodeBlockHeader(header).dataLength, kBlockDataSize);
    return std::memchr(data, ':', length) != nullptr;
}

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

ClassicLinker::ClassicLinker(RecoverySession& session)
    : linkedBlocks_(session.linkedBlocks),
      chainHeads_(session.chainHeads),
      indexer_(session.linkedBlocks, session.chainHeads) {}

void ClassicLinker::ValidateHeads(RecoverySession& session, CFile64Ex& source) {
    for (const uint32_t offset : chainHeads_.OffsetsInWalkingOrder()) {
        if (session.QueryAbort()) return;
        PositionList& positions = *chainHeads_.Find(offset);
        for (size_t i = positions.size(); i-- > 0;) {
            if (!HeadDataHasColon(source, positions[i])) positions.erase(i);
        }
        if (positions.empty()) chainHeads_.Remove(offset);
    }
}

std::vector<uint32_t> ClassicLinker::HeadOffsets() const {
    return chainHeads_.OffsetsInWalkingOrder();
}

const PositionList& ClassicLinker::HeadPositions(uint32_t headOffset) const {
    return *chainHeads_.Find(headOffset);
}

void ClassicLinker::WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                               CFile64& output) {
    std::unordered_set<uint32_t> visitedOffsets;
    uint32_t offset = headOffset;
    uint64_t position = headPosition;
    for (;;) {
        visitedOffsets.insert(offset);
        source.Seek(static_cast<int64_t>(position), CFile64::begin);
        uint8_t bytes[kBlockHeaderSize];
        if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return;
        const BlockHeader header = DecodeBlockHeader(bytes);
        if (header.dataLength > header.blockSize || header.blockSize == 0 ||
            header.blockSize > 1048576) {
            return;
        }
        CopyBlockData(source, output, header.dataLength);
        if (visitedOffsets.count(header.nextOffset) || header.nextOffset == 0) return;
        const PositionList* candidates = linkedBlocks_.Find(header.nextOffset);
        if (!candidates || candidates->empty()) return;
        offset = header.nextOffset;
        position = candidates->size() == 1 ? (*candidates)[0]
                                           : ChooseSuccessor(source, position, *candidates);
    }
}

uint64_t ClassicLinker::ChooseSuccessor(CFile64Ex& source, uint64_t current,
                                        const PositionList& candidates) {
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

}  // namespace varrow
