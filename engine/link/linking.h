// How pass 2 links blocks into messages.
//
// Two decisions make a message out of blocks: which blocks start messages,
// and which block follows a block. A MessageLinker makes both; the
// extraction (numbering, naming, folders, events) is the same for every
// linker.
#pragma once

#include <cstdint>
#include <vector>

namespace varrow {

class BlockSink;
class CFile64;
class CFile64Ex;
class PositionList;
struct ChainTrace;
class RunEvents;

class MessageLinker {
public:
    virtual ~MessageLinker() = default;

    // Receives the accepted blocks of pass 1.
    virtual BlockSink& Collector() = 0;
    // Drops the heads that cannot start a message. Asks whether to stop
    // before each head offset and ends early on "stop".
    virtual void ValidateHeads(RunEvents& events, CFile64Ex& source) = 0;
    // The head offsets in the order messages are numbered.
    virtual std::vector<uint32_t> HeadOffsets() const = 0;
    // The source positions of the heads with one offset: one message each,
    // all with the same number.
    virtual const PositionList& HeadPositions(uint32_t headOffset) const = 0;
    // Appends the text of the message that starts with the block at
    // headPosition to output; a chain that ends early keeps what it wrote.
    // trace, empty on entry, learns the blocks written, where their bytes
    // came from and how the chain ended.
    virtual void WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                            CFile64& output, ChainTrace& trace) = 0;
};

}  // namespace varrow
