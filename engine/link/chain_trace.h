// What following one chain of blocks produced, beside the bytes written:
// which blocks, where each byte came from, and why the chain ended.
#pragma once

#include <cstdint>
#include <vector>

#include "varrow.h"

namespace varrow {

enum class ChainEnd : uint32_t {
    Complete = VARROW_END_COMPLETE,
    NextMissing = VARROW_END_NEXT_MISSING,
    Loop = VARROW_END_LOOP,
    HeaderUnreadable = VARROW_END_HEADER_UNREADABLE,
    ReadError = VARROW_END_READ_ERROR,
    NotFollowed = VARROW_END_NOT_FOLLOWED,
};

// Bytes of a message that lie together on the source, or zeros that stand
// for bytes the source did not deliver.
struct ByteRun {
    uint64_t position = 0;
    uint64_t length = 0;
    bool zeros = false;
};

struct ChainTrace {
    // Source positions of the headers of the blocks written, in chain order.
    std::vector<uint64_t> blocks;
    // Where the message's bytes came from, in order; together as long as the
    // message.
    std::vector<ByteRun> runs;
    ChainEnd end = ChainEnd::Complete;
    // Some bytes came from sectors that could not be read.
    bool unreadable = false;
    // The linker knows that the first block written is not the message's
    // own first block.
    bool startsLate = false;
    // The linker had to pick where the message goes on among readings it
    // could not tell apart: the text after that point may be another
    // message's, so the message's own end may be missing.
    bool endGuessed = false;

    // Appends bytes that follow the last run; runs that meet are joined.
    void AddRun(uint64_t position, uint64_t length, bool zeros);
    uint64_t Bytes() const;
};

}  // namespace varrow
