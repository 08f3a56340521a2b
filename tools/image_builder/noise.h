// Filler for everything on a disk that is not a message block: other files,
// free space, the store's own indexes and folder records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image_builder/random.h"

namespace ostrel::builder {

enum class NoiseKind {
    Random,  // random bytes: compressed or binary files, store indexes
    Zeros,   // never-written space
    Text,    // lines of words with CRLF ends: documents, logs, web caches
};

// Fills out[0, count) with noise of the given kind drawn from random.
// Never fails; the same random state gives the same bytes.
void FillNoise(uint8_t* out, size_t count, NoiseKind kind, Random& random);

// count bytes of noise, as FillNoise writes them.
// Never fails.
std::vector<uint8_t> MakeNoise(size_t count, NoiseKind kind, Random& random);

}  // namespace ostrel::builder
