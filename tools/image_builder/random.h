// A small seeded random source whose sequence is fixed by this code alone,
// so a built image has the same bytes with every compiler and library
// (the standard distributions are free to differ between implementations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace ostrel::builder {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    // The next 64 random bits.
    uint64_t Next();
    // A number in [0, n); n must not be 0.
    uint64_t Below(uint64_t n);
    // A number in [low, high], both included; low must not exceed high.
    uint64_t Between(uint64_t low, uint64_t high) { return low + Below(high - low + 1); }
    // True with a chance of percent in 100.
    bool Percent(unsigned percent) { return Below(100) < percent; }
    // Writes count random bytes to out.
    void Fill(uint8_t* out, size_t count);

    // One element of a non-empty list.
    template <typename T>
    const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }
    // Puts the elements in a random order (Fisher-Yates).
    template <typename T>
    void Shuffle(std::vector<T>& items) {
        for (size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[Below(i)]);
    }

private:
    uint64_t state_;
};

}  // namespace ostrel::builder
