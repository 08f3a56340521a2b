// The choice among several blocks that could follow a block: the first
// whose leading word completes the current block's trailing word into a
// known header name, else the nearest (the first of equally near ones).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace varrow {

class CFile64Ex;
class PositionList;

// Chooses among candidates (at least two) the block that follows the block
// at current: the first whose leading word completes the current block's
// trailing word into a known header name, else the nearest (the lowest
// position of equally near ones).
uint64_t ChooseNextBlock(CFile64Ex& source, uint64_t current, const PositionList& candidates);

// ChooseNextBlock for candidate lists that stay as they are through pass 2,
// with what it needs of each list learnt once: the first candidate with
// each leading word that can complete a cut header name, and whether the
// list ascends. Many messages that share a successor with many copies
// would otherwise read every copy's data again at every choice.
class SuccessorChooser {
public:
    // Gives what ChooseNextBlock gives. A list is known by its address, so
    // it must not change or move while the chooser lives.
    uint64_t Choose(CFile64Ex& source, uint64_t current, const PositionList& candidates);

private:
    struct CandidateWords {
        bool checkedOrder = false;
        bool ascending = false;
        bool read = false;
        std::unordered_map<std::string, size_t> firstWith;  // lower-case word -> index
    };

    std::unordered_map<const PositionList*, CandidateWords> candidateWords_;
};

}  // namespace varrow
