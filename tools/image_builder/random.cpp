#include "image_builder/random.h"

namespace ostrel::builder {

// SplitMix64: tiny, fast and good enough for test data.
uint64_t Random::Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

uint64_t Random::Below(uint64_t n) {
    // Rejecting the top partial range keeps every value equally likely.
    const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    uint64_t value;
    do {
        value = Next();
    } while (value >= limit);
    return value % n;
}

void Random::Fill(uint8_t* out, size_t count) {
    while (count >= 8) {
        const uint64_t value = Next();
        // Spelled out byte by byte so the bytes do not depend on the machine.
        for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
        out += 8;
        count -= 8;
    }
    if (count > 0) {
        const uint64_t value = Next();
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace ostrel::builder
