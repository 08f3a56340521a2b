// The kernel of the fast scan: which byte positions of a stretch of memory
// start a block header that the scan accepts (IsAcceptedHeader)?
//
// The vector variants test 32 or 64 positions per step for the blockSize
// field 512 and, only in a step where some position has it, test those
// positions for the other three fields; the 32-position one first looks
// for the field's 0x02 byte alone, which most steps of any content lack.
// An image of zeros, of 0x02 bytes or of a repeated header pattern costs at
// most the whole test at every step, so none collapses the rate.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varrow {

// Writes to out, ascending, every i in [0, count) at which the 16 bytes
// bytes[i, i + 16) form an accepted header, and returns how many it wrote.
// bytes[0, count + 15) must be readable and out must hold count entries.
using HeaderFinder = size_t (*)(const uint8_t* bytes, size_t count, uint32_t* out);

// One position at a time; runs on every processor.
size_t FindHeadersPortable(const uint8_t* bytes, size_t count, uint32_t* out);

// The vector variants, or null when this processor cannot run them.
HeaderFinder Avx2HeaderFinder();
HeaderFinder Avx512HeaderFinder();

// The fastest variant this processor runs.
HeaderFinder BestHeaderFinder();

}  // namespace varrow
