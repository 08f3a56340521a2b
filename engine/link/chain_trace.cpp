#include "link/chain_trace.h"

namespace varrow {

void ChainTrace::AddRun(uint64_t position, uint64_t length, bool zeros) {
    if (length == 0) return;
    if (!runs.empty()) {
        ByteRun& last = runs.back();
        if (last.zeros == zeros && (zeros || last.position + last.length == position)) {
            last.length += length;
            return;
        }
    }
    runs.push_back({zeros ? 0 : position, length, zeros});
}

uint64_t ChainTrace::Bytes() const {
    uint64_t total = 0;
    for (const ByteRun& run : runs) total += run.length;
    return total;
}

}  // namespace varrow
