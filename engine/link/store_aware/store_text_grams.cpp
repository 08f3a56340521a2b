#include "link/store_aware/store_text_grams.h"

#include <array>
#include <cstring>

namespace varrow {

namespace {

constexpr uint8_t KindOfByte(uint8_t byte) {
    if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return 'a';
    if (byte >= 'A' && byte <= 'Z') return 'A';
    if (byte >= '0' && byte <= '9') return '0';
    return byte;
}

// The kind of every byte value, looked up rather than tested: the scans
// below take the kind of every byte of the message.
constexpr std::array<uint8_t, 256> kKinds = [] {
    std::array<uint8_t, 256> kinds{};
    for (int byte = 0; byte < 256; ++byte) kinds[byte] = KindOfByte(static_cast<uint8_t>(byte));
    return kinds;
}();

uint8_t KindOf(uint8_t byte) { return kKinds[byte]; }

uint32_t Gram(uint8_t a, uint8_t b, uint8_t c) { return uint32_t{a} << 16 | uint32_t{b} << 8 | c; }

// Marks in *seen which of the grams occur among the kinds of bytes; one
// pass, which ends once all are found. The pass goes from the end of the
// bytes to their start when backward is set: text before a boundary is
// likeliest to have its runs near it.
void MarkOccurring(std::span<const uint8_t> bytes, const std::array<uint32_t, 2>& grams,
                   bool backward, std::array<bool, 2>* seen) {
    bool first = (*seen)[0];
    bool second = (*seen)[1];
    const size_t n = bytes.size();
    if (n >= 3 && !(first && second)) {
        if (backward) {
            // Each window takes the kind of the byte before it on top.
            const uint32_t lastTwo = uint32_t{KindOf(bytes[n - 2])} << 8 | KindOf(bytes[n - 1]);
            uint32_t window = lastTwo << 8;
            for (size_t i = n - 2; i-- > 0;) {
                window = window >> 8 | uint32_t{KindOf(bytes[i])} << 16;
                first = first || window == grams[0];
                second = second || window == grams[1];
                if (first && second) break;
            }
        } else {
            uint32_t window = uint32_t{KindOf(bytes[0])} << 8 | KindOf(bytes[1]);
            for (size_t i = 2; i < n; ++i) {
                window = (window << 8 | KindOf(bytes[i])) & 0xFFFFFFu;
                first = first || window == grams[0];
                second = second || window == grams[1];
                if (first && second) break;
            }
        }
    }
    (*seen)[0] = first;
    (*seen)[1] = second;
}

// Whether a kind is a byte of its own (rather than a class of bytes).
bool IsOwnKind(uint8_t kind) { return kind != 'a' && kind != 'A' && kind != '0'; }

// Where in gram (0 for its first kind) a byte of its own lies; -1 for none.
int OwnByteIn(uint32_t gram) {
    for (int at = 0; at < 3; ++at) {
        if (IsOwnKind(static_cast<uint8_t>(gram >> (16 - 8 * at)))) return at;
    }
    return -1;
}

// Whether gram occurs among the kinds of bytes, found where bytes holds
// the byte of its own at position own of the gram (with memchr): such a
// byte is far rarer than letters, so far fewer places are looked at than
// in a pass over every byte.
bool OccursAround(std::span<const uint8_t> bytes, uint32_t gram, int own) {
    const auto byte = static_cast<uint8_t>(gram >> (16 - 8 * own));
    const size_t n = bytes.size();
    for (size_t i = static_cast<size_t>(own); i < n;) {
        const void* found = std::memchr(bytes.data() + i, byte, n - i);
        if (found == nullptr) return false;
        i = static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes.data());
        const size_t start = i - static_cast<size_t>(own);
        if (start + 3 <= n &&
            Gram(KindOf(bytes[start]), KindOf(bytes[start + 1]), KindOf(bytes[start + 2])) == gram)
            return true;
        ++i;
    }
    return false;
}

}  // namespace

size_t UnseenBoundaryGrams(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    if (before.size() < 2 || after.size() < 2) return 0;
    const size_t n = before.size();
    const std::array<uint32_t, 2> cut = {
        Gram(KindOf(before[n - 2]), KindOf(before[n - 1]), KindOf(after[0])),
        Gram(KindOf(before[n - 1]), KindOf(after[0]), KindOf(after[1]))};
    // Elsewhere: wholly before the boundary or wholly after it. A run with
    // a byte of its own is looked for where that byte is; the others in one
    // pass over every byte (which takes the first as found already), where
    // they are most often found soon from the boundary on, after it (the
    // shorter) first.
    std::array<bool, 2> seen = {false, false};
    std::array<bool, 2> looked = {false, false};
    for (size_t i = 0; i < cut.size(); ++i) {
        const int own = OwnByteIn(cut[i]);
        if (own < 0) continue;
        looked[i] = true;
        seen[i] = OccursAround(after, cut[i], own) || OccursAround(before, cut[i], own);
    }
    std::array<bool, 2> scanned = looked;
    MarkOccurring(after, cut, false, &scanned);
    MarkOccurring(before, cut, true, &scanned);
    for (size_t i = 0; i < cut.size(); ++i) {
        if (!looked[i]) seen[i] = scanned[i];
    }
    return (seen[0] ? 0 : 1) + (seen[1] ? 0 : 1);
}

}  // namespace varrow
