#include "link/store_aware/store_text_grams.h"

#include <array>

namespace varrow {

namespace {

uint8_t KindOf(uint8_t byte) {
    if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return 'a';
    if (byte >= 'A' && byte <= 'Z') return 'A';
    if (byte >= '0' && byte <= '9') return '0';
    return byte;
}

uint32_t Gram(uint8_t a, uint8_t b, uint8_t c) { return uint32_t{a} << 16 | uint32_t{b} << 8 | c; }

// Marks in *seen which of the grams occur among the kinds of bytes; one
// pass, which ends once all are found.
void MarkOccurring(std::span<const uint8_t> bytes, const std::array<uint32_t, 2>& grams,
                   std::array<bool, 2>* seen) {
    uint32_t window = 0;
    for (size_t i = 0; i < bytes.size() && !((*seen)[0] && (*seen)[1]); ++i) {
        window = (window << 8 | KindOf(bytes[i])) & 0xFFFFFFu;
        if (i < 2) continue;
        for (size_t g = 0; g < grams.size(); ++g) (*seen)[g] = (*seen)[g] || window == grams[g];
    }
}

}  // namespace

size_t UnseenBoundaryGrams(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    if (before.size() < 2 || after.size() < 2) return 0;
    const size_t n = before.size();
    const std::array<uint32_t, 2> cut = {
        Gram(KindOf(before[n - 2]), KindOf(before[n - 1]), KindOf(after[0])),
        Gram(KindOf(before[n - 1]), KindOf(after[0]), KindOf(after[1]))};
    // Elsewhere: wholly before the boundary or wholly after it.
    std::array<bool, 2> seen = {false, false};
    MarkOccurring(before, cut, &seen);
    MarkOccurring(after, cut, &seen);
    return (seen[0] ? 0 : 1) + (seen[1] ? 0 : 1);
}

}  // namespace varrow
