// Reading the data of blocks and copying it into a message file.
#pragma once

#include <cstdint>
#include <vector>

namespace varrow {

class CFile64;
class CFile64Ex;
struct ChainTrace;

// The used data bytes of the block at position: empty when its header
// cannot be read; bytes that cannot be read are 0. At most one data area.
std::vector<uint8_t> ReadBlockData(CFile64Ex& source, uint64_t position);

// Copies count bytes from the source's current position to output, in
// pieces through one process-wide buffer; after a short read the rest is
// written as zeros, so the output always grows by exactly count bytes.
// trace learns where the bytes came from and whether any were unreadable.
void CopyBlockData(CFile64Ex& source, CFile64& output, uint32_t count, ChainTrace& trace);

}  // namespace varrow
