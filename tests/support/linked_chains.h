// The chains a linker follows on an image, kept in memory with their
// traces, so that tests can tell a message flagged incomplete from a
// complete one without a whole recovery.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/chain_trace.h"

namespace varrow::testing {

struct LinkedChain {
    uint32_t headOffset = 0;  // its message number follows from the order of these
    std::string text;
    ChainTrace trace;

    // Whether the record of the message would flag it incomplete.
    bool Incomplete() const;
};

// Scans the image file, validates the heads and follows every head's chain
// with the store-aware or the classic linker, in the order of the output.
std::vector<LinkedChain> LinkChains(const std::string& imagePath, bool storeAware);

}  // namespace varrow::testing
