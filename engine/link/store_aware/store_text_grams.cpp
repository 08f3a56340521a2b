#include "link/store_aware/store_text_grams.h"

#include <array>
#include <vector>

namespace varrow {

namespace {

uint8_t KindOf(uint8_t byte) {
    if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return 'a';
    if (byte >= 'A' && byte <= 'Z') return 'A';
    if (byte >= '0' && byte <= '9') return '0';
    return byte;
}

uint32_t Gram(uint8_t a, uint8_t b, uint8_t c) { return uint32_t{a} << 16 | uint32_t{b} << 8 | c; }

// Whether gram occurs among the kinds of bytes.
bool Occurs(const std::vector<uint8_t>& kinds, uint32_t gram) {
    for (size_t i = 0; i + 3 <= kinds.size(); ++i) {
        if (Gram(kinds[i], kinds[i + 1], kinds[i + 2]) == gram) return true;
    }
    return false;
}

std::vector<uint8_t> Kinds(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> kinds(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) kinds[i] = KindOf(bytes[i]);
    return kinds;
}

}  // namespace

size_t UnseenBoundaryGrams(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    if (before.size() < 2 || after.size() < 2) return 0;
    const std::vector<uint8_t> left = Kinds(before);
    const std::vector<uint8_t> right = Kinds(after);
    const size_t n = left.size();
    const std::array<uint32_t, 2> cut = {Gram(left[n - 2], left[n - 1], right[0]),
                                         Gram(left[n - 1], right[0], right[1])};
    size_t unseen = 0;
    for (const uint32_t gram : cut) {
        // Elsewhere: wholly before the boundary or wholly after it.
        if (!Occurs(left, gram) && !Occurs(right, gram)) ++unseen;
    }
    return unseen;
}

}  // namespace varrow
