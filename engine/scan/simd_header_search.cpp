#include "scan/simd_header_search.h"

#include "scan/block_layout.h"

// The AVX-512 search deposits bits with the 64-bit _pdep_u64, which only
// 64-bit x86 has; 32-bit builds search without vectors.
#if defined(__x86_64__)
#include <immintrin.h>
#define VARROW_X86 1
#endif

namespace varrow {

namespace {

// The blockSize field (bytes 4..7, little-endian) whatever the host's order.
uint32_t BlockSizeField(const uint8_t* header) {
    return uint32_t{header[4]} | uint32_t{header[5]} << 8 | uint32_t{header[6]} << 16 |
           uint32_t{header[7]} << 24;
}

// Appends the positions of the set bits of mask, lowest first, as base +
// bit number.
template <typename Mask>
size_t AppendSetBits(Mask mask, size_t base, uint32_t* out, size_t n) {
    while (mask != 0) {
        out[n++] = static_cast<uint32_t>(base + static_cast<size_t>(__builtin_ctzll(mask)));
        mask &= mask - 1;
    }
    return n;
}

// Steps of kStep positions; bit j of a step's mask stands for position i +
// j. The last step is moved back to end at count and drops the bits of the
// positions already done; only a range shorter than one step goes one
// position at a time.
template <typename Mask, size_t kStep, Mask (*AcceptedAt)(const uint8_t*)>
__attribute__((always_inline)) inline size_t FindInSteps(const uint8_t* bytes, size_t count,
                                                         uint32_t* out) {
    if (count < kStep) return FindHeadersPortable(bytes, count, out);
    size_t n = 0;
    size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        if (const Mask accepted = AcceptedAt(bytes + i)) n = AppendSetBits(accepted, i, out, n);
    }
    if (i < count) {
        const size_t last = count - kStep;
        const size_t done = i - last;
        n = AppendSetBits(static_cast<Mask>(AcceptedAt(bytes + last) >> done << done), last, out, n);
    }
    return n;
}

#ifdef VARROW_X86

// The four fields of a header are 32-bit words at +0, +4, +8 and +12. A
// vector loaded at at + r holds, in word j, the field of position at + r +
// 4j; four such loads (r = 0..3) cover every position of a step. The field
// tests of residue r leave one bit per word, which is spread to bit 4j + r
// of the step's mask.

// 32 positions. The blockSize test is made bytewise (00 02 00 00 at +4..+7),
// which leaves one mask bit per position at once.
__attribute__((target("avx2"))) uint32_t Avx2AcceptedInWord(const uint8_t* at, uint32_t residue) {
    const __m256i self = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i size = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 4));
    const __m256i length = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 8));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 12));
    const __m256i zero = _mm256_setzero_si256();
    // 1 <= length <= 512: length - 1 below 512, unsigned.
    const __m256i lengthLess1 = _mm256_sub_epi32(length, _mm256_set1_epi32(1));
    __m256i ok = _mm256_cmpeq_epi32(size, _mm256_set1_epi32(512));
    ok = _mm256_and_si256(ok, _mm256_cmpeq_epi32(
                                  _mm256_min_epu32(lengthLess1, _mm256_set1_epi32(511)), lengthLess1));
    ok = _mm256_andnot_si256(_mm256_cmpeq_epi32(self, zero), ok);
    ok = _mm256_andnot_si256(_mm256_cmpeq_epi32(next, self), ok);
    // Each true word sets four mask bits; keep the one of this residue.
    return static_cast<uint32_t>(_mm256_movemask_epi8(ok)) & (0x11111111u << residue);
}

__attribute__((target("avx2"))) __m256i Avx2BytesAre(const uint8_t* at, char value) {
    return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                             _mm256_set1_epi8(value));
}

__attribute__((target("avx2"))) uint32_t Avx2AcceptedAt(const uint8_t* at) {
    // Most steps hold no 0x02 where a blockSize field has it: one compare
    // settles them.
    const __m256i b5 = Avx2BytesAre(at + 5, 2);
    if (_mm256_testz_si256(b5, b5)) return 0;
    const __m256i b4 = Avx2BytesAre(at + 4, 0);
    const __m256i b6 = Avx2BytesAre(at + 6, 0);
    const __m256i b7 = Avx2BytesAre(at + 7, 0);
    const __m256i sized = _mm256_and_si256(_mm256_and_si256(b4, b5), _mm256_and_si256(b6, b7));
    if (_mm256_testz_si256(sized, sized)) return 0;
    return Avx2AcceptedInWord(at, 0) | Avx2AcceptedInWord(at + 1, 1) |
           Avx2AcceptedInWord(at + 2, 2) | Avx2AcceptedInWord(at + 3, 3);
}

// 64 positions; the mask registers carry the word tests.
#define VARROW_AVX512 __attribute__((target("avx512f,avx512bw,bmi2")))

VARROW_AVX512 __mmask16 Avx512SizedWords(const uint8_t* at) {
    return _mm512_cmpeq_epi32_mask(_mm512_loadu_si512(at + 4), _mm512_set1_epi32(512));
}

VARROW_AVX512 uint64_t Avx512AcceptedInWord(const uint8_t* at, __mmask16 sized, uint32_t residue) {
    const __m512i self = _mm512_loadu_si512(at);
    const __m512i length = _mm512_loadu_si512(at + 8);
    const __m512i next = _mm512_loadu_si512(at + 12);
    __mmask16 ok = _mm512_mask_cmpneq_epi32_mask(sized, self, _mm512_setzero_si512());
    ok = _mm512_mask_cmple_epu32_mask(ok, _mm512_sub_epi32(length, _mm512_set1_epi32(1)),
                                      _mm512_set1_epi32(511));
    ok = _mm512_mask_cmpneq_epi32_mask(ok, next, self);
    return _pdep_u64(ok, 0x1111111111111111ull << residue);
}

VARROW_AVX512 uint64_t Avx512AcceptedAt(const uint8_t* at) {
    const __mmask16 s0 = Avx512SizedWords(at);
    const __mmask16 s1 = Avx512SizedWords(at + 1);
    const __mmask16 s2 = Avx512SizedWords(at + 2);
    const __mmask16 s3 = Avx512SizedWords(at + 3);
    if (_kortestz_mask16_u8(_kor_mask16(s0, s1), _kor_mask16(s2, s3))) return 0;
    return Avx512AcceptedInWord(at, s0, 0) | Avx512AcceptedInWord(at + 1, s1, 1) |
           Avx512AcceptedInWord(at + 2, s2, 2) | Avx512AcceptedInWord(at + 3, s3, 3);
}

__attribute__((target("avx2"))) size_t FindHeadersAvx2(const uint8_t* bytes, size_t count,
                                                       uint32_t* out) {
    return FindInSteps<uint32_t, 32, Avx2AcceptedAt>(bytes, count, out);
}

VARROW_AVX512 size_t FindHeadersAvx512(const uint8_t* bytes, size_t count, uint32_t* out) {
    return FindInSteps<uint64_t, 64, Avx512AcceptedAt>(bytes, count, out);
}

#endif  // VARROW_X86

}  // namespace

size_t FindHeadersPortable(const uint8_t* bytes, size_t count, uint32_t* out) {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        if (BlockSizeField(bytes + i) == kBlockDataSize &&
            IsAcceptedHeader(DecodeBlockHeader(bytes + i))) {
            out[n++] = static_cast<uint32_t>(i);
        }
    }
    return n;
}

HeaderFinder Avx2HeaderFinder() {
#ifdef VARROW_X86
    if (__builtin_cpu_supports("avx2")) return &FindHeadersAvx2;
#endif
    return nullptr;
}

HeaderFinder Avx512HeaderFinder() {
#ifdef VARROW_X86
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("bmi2")) {
        return &FindHeadersAvx512;
    }
#endif
    return nullptr;
}

HeaderFinder BestHeaderFinder() {
    static const HeaderFinder best = [] {
        if (HeaderFinder avx512 = Avx512HeaderFinder()) return avx512;
        if (HeaderFinder avx2 = Avx2HeaderFinder()) return avx2;
        return &FindHeadersPortable;
    }();
    return best;
}

}  // namespace varrow
