#include "link/store_aware/store_bytes.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "link/header_names.h"
#include "link/store_aware/store_text.h"
#include "source/file64.h"

// Every 64-bit x86 processor has SSE2.
#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#define VARROW_SSE2 1
#endif

namespace varrow {

void CachedSource::AlignedDelete::operator()(uint8_t* bytes) const {
    ::operator delete[](bytes, std::align_val_t{kPageSize});
}

CachedSource::CachedSource(CFile64Ex& source)
    : source_(source),
      bytes_(static_cast<uint8_t*>(
          ::operator new[](size_t{kPageSize} * kPages, std::align_val_t{kPageSize}))),
      tags_(kPages, 0),
      lengths_(kPages, 0) {}

const uint8_t* CachedSource::Page(uint64_t page, uint32_t* length) {
    const size_t slot = page % kPages;
    uint8_t* bytes = bytes_.get() + slot * kPageSize;
    if (tags_[slot] != page + 1) {
        std::fill(bytes, bytes + kPageSize, 0);
        const uint64_t position = page * kPageSize;
        // One call for the whole page where the source delivers it all;
        // otherwise sector by sector through the windows, which give
        // zeros for unreadable sectors and record them.
        const bool whole =
            kPageSize % source_.SectorSize() == 0 &&
            source_.ReadAligned(position, bytes, kPageSize, Transfer::OneCall).delivered ==
                kPageSize;
        if (!whole) {
            std::fill(bytes, bytes + kPageSize, 0);
            source_.Seek(static_cast<int64_t>(position), CFile64::begin);
            lengths_[slot] = source_.Read(bytes, kPageSize);
        } else {
            lengths_[slot] = kPageSize;
        }
        tags_[slot] = page + 1;
    }
    *length = lengths_[slot];
    return bytes;
}

std::vector<uint8_t> CachedSource::Read(int64_t position, uint32_t count, uint32_t* delivered) {
    std::vector<uint8_t> bytes(count);
    ReadTo(position, count, bytes.data(), delivered);
    return bytes;
}

void CachedSource::ReadInto(int64_t position, uint32_t count, std::vector<uint8_t>* bytes) {
    bytes->resize(count);
    ReadTo(position, count, bytes->data());
}

void CachedSource::ReadTo(int64_t position, uint32_t count, uint8_t* out, uint32_t* delivered) {
    uint32_t done = 0;
    bool whole = position >= 0;
    if (position < 0) {
        if (static_cast<uint64_t>(-position) >= count) {
            std::fill_n(out, count, 0);
            if (delivered) *delivered = 0;
            return;
        }
        done = static_cast<uint32_t>(-position);
        std::fill_n(out, done, 0);
    }
    uint32_t got = 0;
    while (done < count) {
        const uint64_t at = static_cast<uint64_t>(position + done);
        const uint32_t within = static_cast<uint32_t>(at % kPageSize);
        const uint32_t piece = std::min(count - done, kPageSize - within);
        uint32_t length = 0;
        std::copy_n(Page(at / kPageSize, &length) + within, piece, out + done);
        if (whole) {
            got += std::min(piece, length > within ? length - within : 0);
            whole = length >= within + piece;
        }
        done += piece;
    }
    if (delivered) *delivered = got;
}

BlockHeader ReadCutHeader(CachedSource& source, int64_t position, uint32_t first, int64_t rest) {
    uint8_t bytes[kBlockHeaderSize];
    source.ReadTo(position, first, bytes);
    source.ReadTo(rest, kBlockHeaderSize - first, bytes + first);
    return DecodeBlockHeader(bytes);
}

void CutHeaderOffsets(CachedSource& source, int64_t base, uint64_t boundary,
                      std::vector<uint64_t>* offsets) {
    offsets->clear();
    uint8_t edge[kBlockHeaderSize - 1];
    source.ReadTo(base + static_cast<int64_t>(boundary) - static_cast<int64_t>(sizeof edge),
                  sizeof edge, edge);
    for (uint32_t at = 0; at < sizeof edge; ++at) {
        const uint64_t offset = boundary - sizeof edge + at;
        bool own = offset <= 0xFFFFFFFFu;
        for (uint32_t i = 0; own && i < 4 && at + i < sizeof edge; ++i)
            own = edge[at + i] == static_cast<uint8_t>(offset >> (8 * i));
        if (own) offsets->push_back(offset);
    }
}

namespace {

// Base64 lines shorter than this are not told apart from other text.
constexpr size_t kShortestFixedLine = 40;

bool IsBase64(uint8_t byte) {
    return IsAsciiLetter(byte) || (byte >= '0' && byte <= '9') || byte == '+' || byte == '/' ||
           byte == '=';
}

bool AllBase64(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), IsBase64);
}

}  // namespace

size_t FixedBase64LineLength(std::span<const uint8_t> text) {
    size_t length = 0;
    size_t lines = 0;
    size_t start = SIZE_MAX;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        if (start != SIZE_MAX) {
            size_t end = i;
            if (end > start && text[end - 1] == '\r') --end;
            const std::span<const uint8_t> line = text.subspan(start, end - start);
            if (!AllBase64(line) || (lines > 0 && line.size() != length)) return 0;
            length = line.size();
            ++lines;
        }
        start = i + 1;
    }
    return lines >= 2 && length >= kShortestFixedLine ? length : 0;
}

namespace {

// Whether the last word of before and the first of after, followed by a
// colon, make a known header name.
bool JoinsHeaderName(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    size_t tail = before.size();
    while (tail > 0 && IsWordChar(before[tail - 1])) --tail;
    size_t head = 0;
    while (head < after.size() && IsWordChar(after[head])) ++head;
    if (tail == before.size() || head == 0 || head >= after.size() || after[head] != ':')
        return false;
    std::string name(before.begin() + static_cast<ptrdiff_t>(tail), before.end());
    name.append(after.begin(), after.begin() + static_cast<ptrdiff_t>(head));
    if (IsKnownHeaderName(name)) return true;
    for (const std::string_view address : {"From", "To", "Cc", "Bcc", "Date"}) {
        if (EqualsNoCase(name, address)) return true;
    }
    return false;
}

// Values of the MIME fields every part declares: its type, charset,
// encoding and disposition.
constexpr std::string_view kMimeValues[] = {
    "multipart", "alternative",  "mixed",       "related",          "text",
    "plain",     "html",         "application", "octet-stream",     "image",
    "message",   "rfc822",       "us-ascii",    "iso-8859-1",       "iso-8859-15",
    "utf-8",     "windows-1252", "koi8-r",      "quoted-printable", "base64",
    "7bit",      "8bit",         "attachment",  "inline",
};

// Whether the boundary cuts a word in two that makes one of those values
// again, where a field's value or parameter begins (after ": ", "=", "=\""
// or the "/" of a type).
bool JoinsMimeValue(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    const auto valueChar = [](uint8_t c) { return IsWordChar(c) || (c >= '0' && c <= '9'); };
    size_t tail = before.size();
    while (tail > 0 && valueChar(before[tail - 1])) --tail;
    size_t head = 0;
    while (head < after.size() && valueChar(after[head])) ++head;
    if (tail == before.size() || tail == 0 || head == 0 || head == after.size()) return false;
    const uint8_t lead = before[tail - 1];
    const bool valueStart = lead == '/' || lead == '=' ||
                            (lead == ' ' && tail >= 2 && before[tail - 2] == ':') ||
                            (lead == '"' && tail >= 2 && before[tail - 2] == '=');
    if (!valueStart) return false;
    std::string value(before.begin() + static_cast<ptrdiff_t>(tail), before.end());
    value.append(after.begin(), after.begin() + static_cast<ptrdiff_t>(head));
    return std::any_of(std::begin(kMimeValues), std::end(kMimeValues),
                       [&](std::string_view known) { return EqualsNoCase(value, known); });
}

}  // namespace

TextJoin JoinText(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    return JoinText(before, after, FixedBase64LineLength(before));
}

TextJoin JoinText(std::span<const uint8_t> before, std::span<const uint8_t> after,
                  size_t base64Line) {
    if (before.empty() || after.empty()) return TextJoin::kTextSaysNothing;
    if (JoinsHeaderName(before, after) || JoinsMimeValue(before, after))
        return TextJoin::kTextGoesOn;
    const size_t length = base64Line;
    if (length == 0) return TextJoin::kTextSaysNothing;
    size_t lastLineFeed = before.size();
    while (lastLineFeed > 0 && before[lastLineFeed - 1] != '\n') --lastLineFeed;
    const std::span<const uint8_t> tail = before.subspan(lastLineFeed);
    if (!AllBase64(tail)) return TextJoin::kTextSaysNothing;
    size_t head = 0;
    while (head < after.size() && after[head] != '\r' && after[head] != '\n') ++head;
    if (tail.size() + head > length || !AllBase64(after.first(head))) return TextJoin::kTextBreaks;
    // A shorter line may end the base64; only one of the full length, or
    // the line break right where it is due, says more.
    return tail.size() + head == length && head < after.size() ? TextJoin::kTextGoesOn
                                                               : TextJoin::kTextSaysNothing;
}

namespace {

// Boundaries shorter than this are not told apart from a line of dashes.
constexpr size_t kShortestBoundary = 8;

// The boundaries of the delimiter lines of text ("--" boundary, or
// "--" boundary "--" for the last part, either may be padded with blanks),
// in order. A line with a blank before its end is none: boundaries that
// mail programs make have none, and the separators that replies quote with
// ("----- Original Message -----") do.
std::vector<std::string_view> DelimitedBoundaries(std::string_view text) {
    std::vector<std::string_view> boundaries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool complete = end != std::string_view::npos;
        if (!complete) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        // A line cut by the end of the text may yet run on.
        if (complete && line.size() >= 2 + kShortestBoundary && line.substr(0, 2) == "--" &&
            line.find_first_of(" \t") == std::string_view::npos) {
            line.remove_prefix(2);
            if (line.size() >= 2 + kShortestBoundary && line.substr(line.size() - 2) == "--")
                line.remove_suffix(2);
            boundaries.push_back(line);
        }
        start = end + 1;
    }
    return boundaries;
}

// Whether text declares boundary (boundary=..., quoted or not).
bool Declares(std::string_view text, std::string_view boundary) {
    for (size_t at = text.find(boundary); at != std::string_view::npos;
         at = text.find(boundary, at + 1)) {
        const std::string_view lead = text.substr(0, at);
        if (lead.size() >= 9 && EqualsNoCase(lead.substr(lead.size() - 9), "boundary="))
            return true;
        if (lead.size() >= 10 && EqualsNoCase(lead.substr(lead.size() - 10), "boundary=\""))
            return true;
    }
    return false;
}

}  // namespace

TextJoin JoinBoundaries(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    const std::string_view text = AsText(before);
    const std::string_view next = AsText(after);
    const std::vector<std::string_view> coming = DelimitedBoundaries(next);
    if (coming.empty()) return TextJoin::kTextSaysNothing;
    const std::string_view first = coming.front();
    const std::vector<std::string_view> past = DelimitedBoundaries(text);
    if (Declares(text, first) || std::find(past.begin(), past.end(), first) != past.end()) {
        return TextJoin::kTextGoesOn;
    }
    if (!past.empty() && !Declares(next, first)) return TextJoin::kTextBreaks;
    return TextJoin::kTextSaysNothing;
}

namespace {

enum class LineKind {
    kField,      // a header field: a name and a colon
    kProse,      // any other text line
    kFolded,     // a line that begins with blanks: a folded field or indented text
    kParagraph,  // an empty line or a MIME delimiter line, which ends a paragraph
};

LineKind KindOf(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.substr(0, 2) == "--") return LineKind::kParagraph;
    if (line[0] == ' ' || line[0] == '\t') return LineKind::kFolded;
    return FieldName(line).empty() ? LineKind::kProse : LineKind::kField;
}

// Lines on either side of a boundary that tell what kind of paragraph it cuts.
constexpr size_t kParagraphLines = 8;

struct LineCounts {
    size_t fields = 0, prose = 0;

    void Count(LineKind kind) {
        fields += kind == LineKind::kField;
        prose += kind == LineKind::kProse;
    }
};

}  // namespace

TextJoin JoinParagraph(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    const std::string_view text = AsText(before);
    const std::string_view next = AsText(after);
    // Before: the whole lines of its last paragraph, back from its last
    // line feed (what follows it is the line the boundary cuts).
    const size_t lastFeed = LastFeedBefore(text, text.size());
    const size_t firstFeed = next.find('\n');
    if (lastFeed == std::string_view::npos || firstFeed == std::string_view::npos)
        return TextJoin::kTextSaysNothing;
    LineCounts back;
    for (size_t end = lastFeed, lines = 0; lines < kParagraphLines; ++lines) {
        const size_t feed = LastFeedBefore(text, end);
        // The first line of before may begin in the middle of a line, unless
        // it begins as a message does: then before reaches back to the
        // start of its message.
        if (feed == std::string_view::npos) {
            if (IsMessageStart(before)) back.Count(LineKind::kField);
            break;
        }
        const LineKind kind = KindOf(text.substr(feed + 1, end - feed - 1));
        if (kind == LineKind::kParagraph) break;
        back.Count(kind);
        end = feed;
    }
    // After: its whole lines, up to the end of the paragraph.
    LineCounts ahead;
    const std::string_view whole = FromFirstWholeLine(text, next);
    for (size_t start = 0, lines = 0; lines < kParagraphLines; ++lines) {
        const size_t feed = whole.find('\n', start);
        if (feed == std::string_view::npos) break;
        const LineKind kind = KindOf(whole.substr(start, feed - start));
        if (kind == LineKind::kParagraph) break;
        ahead.Count(kind);
        start = feed + 1;
    }
    const bool fieldsGoOnInProse = back.fields >= 2 && back.prose == 0 && ahead.prose >= 1;
    const bool proseGoesOnInFields =
        back.prose >= 2 && back.fields == 0 && ahead.fields >= 2 && ahead.prose == 0;
    return fieldsGoOnInProse || proseGoesOnInFields ? TextJoin::kTextBreaks
                                                    : TextJoin::kTextSaysNothing;
}

namespace {

// Words longer than this are not looked for.
constexpr size_t kLongestWord = 32;
// How far back before the boundary a space must occur for the bytes there
// to count as text with words.
constexpr size_t kWordSpan = 200;

// Letters of any script: bytes from 0x80 up belong to 8-bit and UTF-8 letters.
bool IsWordByte(uint8_t byte) { return IsAsciiLetter(byte) || byte >= 0x80; }

bool IsDigit(uint8_t byte) { return byte >= '0' && byte <= '9'; }

uint8_t Lower(uint8_t byte) { return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte; }

// Whether word (lower case) occurs in text as a whole run of word bytes,
// ASCII case ignored.
bool HasWord(std::span<const uint8_t> text, const std::vector<uint8_t>& word) {
    if (word.empty() || word.size() > text.size()) return false;
    // The word can only lie where its first letter is (or-ing in the case
    // bit of a letter makes both cases one).
    const uint8_t caseBit = IsAsciiLetter(word[0]) ? 0x20 : 0;
    const auto isWordAt = [&](size_t start) {
        const size_t end = start + word.size();
        if ((start > 0 && IsWordByte(text[start - 1])) ||
            (end < text.size() && IsWordByte(text[end]))) {
            return false;
        }
        return std::equal(word.begin(), word.end(), text.begin() + static_cast<ptrdiff_t>(start),
                          [](uint8_t w, uint8_t t) { return w == Lower(t); });
    };
    const size_t last = text.size() - word.size();  // the last start the word fits at
    size_t start = 0;
#if defined(VARROW_SSE2)
    // Sixteen bytes at a time: the bytes that hold the first letter are
    // the set bits of one vector compare, visited lowest first.
    const __m128i caseBits16 = _mm_set1_epi8(static_cast<char>(caseBit));
    const __m128i firsts16 = _mm_set1_epi8(static_cast<char>(word[0]));
    for (; start + 16 <= text.size() && start <= last; start += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + start));
        auto found = static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, caseBits16), firsts16)));
        for (; found != 0; found &= found - 1) {
            const size_t at = start + static_cast<size_t>(std::countr_zero(found));
            if (at <= last && isWordAt(at)) return true;
        }
    }
#endif
    // Eight bytes at a time: the bytes that hold the first letter are the
    // zero bytes of the difference, found exactly (no carry runs from one
    // byte into the next) and visited lowest first.
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;
    const uint64_t caseBits = caseBit * kOnes;
    const uint64_t firsts = word[0] * kOnes;
    for (; start + 8 <= text.size() && start <= last; start += 8) {
        uint64_t bytes = 0;
        std::memcpy(&bytes, text.data() + start, 8);
        const uint64_t diff = (bytes | caseBits) ^ firsts;
        uint64_t zeros = ~(((diff & kLows) + kLows) | diff | kLows);
        for (; zeros != 0; zeros &= zeros - 1) {
            const int byte = std::countr_zero(zeros) / 8;
            const size_t at =
                start +
                static_cast<size_t>(std::endian::native == std::endian::little ? byte : 7 - byte);
            if (at <= last && isWordAt(at)) return true;
        }
    }
    for (; start <= last; ++start) {
        if ((text[start] | caseBit) == word[0] && isWordAt(start)) return true;
    }
    return false;
}

}  // namespace

TextJoin JoinWords(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    size_t tail = 0;
    while (tail < before.size() && tail <= kLongestWord &&
           IsWordByte(before[before.size() - 1 - tail])) {
        ++tail;
    }
    size_t head = 0;
    while (head < after.size() && head <= kLongestWord && IsWordByte(after[head])) ++head;
    // The word must be bounded on both sides, by no digit (which would make
    // it part of a token such as an identifier).
    if (tail + head < 2 || tail + head > kLongestWord || tail == before.size() ||
        head == after.size() || IsDigit(before[before.size() - 1 - tail]) || IsDigit(after[head])) {
        return TextJoin::kTextSaysNothing;
    }
    const std::span<const uint8_t> recent = before.last(std::min(before.size(), kWordSpan));
    if (std::find(recent.begin(), recent.end(), ' ') == recent.end())
        return TextJoin::kTextSaysNothing;
    std::vector<uint8_t> word;
    for (size_t i = before.size() - tail; i < before.size(); ++i) word.push_back(Lower(before[i]));
    for (size_t i = 0; i < head; ++i) word.push_back(Lower(after[i]));
    return HasWord(after.subspan(head), word) || HasWord(before.first(before.size() - tail), word)
               ? TextJoin::kTextGoesOn
               : TextJoin::kTextSaysNothing;
}

size_t LongestTextLine(std::span<const uint8_t> bytes) {
    size_t longest = 0;
    size_t lines = 0;
    size_t start = SIZE_MAX;
    for (size_t i = 0; i < bytes.size(); ++i) {
        // The line feeds are found with memchr, far faster than a byte loop.
        const void* feed = std::memchr(bytes.data() + i, '\n', bytes.size() - i);
        if (feed == nullptr) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(feed) - bytes.data());
        if (start != SIZE_MAX) {
            size_t end = i;
            if (end > start && bytes[end - 1] == '\r') --end;
            const std::span<const uint8_t> line = bytes.subspan(start, end - start);
            // Once four lines count, only a longer one changes the answer:
            // the others need no test.
            if ((lines < 4 || line.size() > longest) && IsPlausibleText(line)) {
                longest = std::max(longest, line.size());
                ++lines;
            }
        }
        start = i + 1;
    }
    return lines >= 4 ? longest : 0;
}

size_t JoinedLineLength(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    size_t tail = 0;
    while (tail < before.size() && before[before.size() - 1 - tail] != '\n') ++tail;
    size_t head = 0;
    while (head < after.size() && after[head] != '\r' && after[head] != '\n') ++head;
    return head == after.size() ? SIZE_MAX : tail + head;
}

bool IsPlausibleText(std::span<const uint8_t> bytes) {
    const auto noText = [](uint8_t byte) {
        return byte == 0x7F ||
               (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != 0x1B);
    };
    size_t i = 0;
#if defined(VARROW_SSE2)
    // Sixteen bytes at a time with vector compares, none of them left to a
    // byte loop: in text, most eight bytes hold a line break, which the
    // eight-byte test below must look at one by one.
    const __m128i below = _mm_set1_epi8(0x1F);
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, below), v);
        const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                                          _mm_cmpeq_epi8(v, _mm_set1_epi8(0x1B))));
        const __m128i bad = _mm_or_si128(_mm_andnot_si128(allowed, control),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
        if (_mm_movemask_epi8(bad) != 0) return false;
    }
#endif
    // Eight bytes at a time: only eight that hold a control byte or DEL
    // are looked at one by one (in text, those with a line break).
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, 8);
        const uint64_t below = (word - 0x20 * kOnes) & ~word & kHighs;
        const uint64_t del = word ^ (0x7F * kOnes);
        const uint64_t isDel = (del - kOnes) & ~del & kHighs;
        if ((below | isDel) != 0 && std::any_of(bytes.data() + i, bytes.data() + i + 8, noText))
            return false;
    }
    return std::none_of(bytes.data() + i, bytes.data() + bytes.size(), noText);
}

// A field name and its colon.
static_assert(kMessageStartSpan == kLongestFieldName + 1);

bool IsMessageStart(std::span<const uint8_t> data) {
    const std::string_view name = FieldName(AsText(data));
    if (name.empty()) return false;
    if (IsKnownHeaderName(name)) return true;
    for (const std::string_view address : {"From", "To", "Cc", "Bcc", "Date"}) {
        if (EqualsNoCase(name, address)) return true;
    }
    return name.size() > 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '-';
}

}  // namespace varrow
