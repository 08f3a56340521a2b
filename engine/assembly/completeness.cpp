#include "assembly/completeness.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/ascii_case.h"
#include "link/chain_trace.h"
#include "link/header_names.h"
#include "varrow.h"

namespace varrow {

namespace {

constexpr size_t kLongestFieldName = 76;

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsNameByte(uint8_t c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '-'; }

// Fields that messages begin with although their names also end longer
// known ones (Resent-From, Reply-To, Return-Path, ...).
constexpr std::array<std::string_view, 6> kWholeFirstFields = {"From", "To",   "Cc",
                                                               "Bcc",  "Date", "Path"};

// Whether name is only the end of a known header name ("ubject" of
// "Subject"): the rest of a field whose first bytes were lost with the
// block before.
bool IsCutFieldName(std::string_view name) {
    if (IsKnownHeaderName(name) || !EndsKnownHeaderName(name)) return false;
    const auto sameName = [&](std::string_view whole) { return EqualsNoCase(name, whole); };
    return std::none_of(kWholeFirstFields.begin(), kWholeFirstFields.end(), sameName);
}

// Whether text opens with a whole header (up to the empty line that ends
// it) with neither a From nor a Subject field. A message names its sender
// and nearly always its subject, so such a header is a MIME part's
// (Content- fields alone) or the rest of a message header whose first
// fields were lost with the blocks before it ("Cc: ...", "Date: ...").
// Where no empty line comes within text, it cannot tell and says no.
bool OpensWithHeaderOfNoMessage(std::string_view text) {
    for (size_t start = 0; start < text.size();) {
        const size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) return false;
        std::string_view line = text.substr(start, feed - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return start != 0;
        if (StartsWithNoCase(line, "from:") || StartsWithNoCase(line, "subject:")) return false;
        start = feed + 1;
    }
    return false;
}

}  // namespace

bool StartsWithHeaderLine(const uint8_t* bytes, size_t size) {
    if (size == 0 || !IsLetter(bytes[0])) return false;
    size_t at = 1;
    while (at < size && at <= kLongestFieldName && IsNameByte(bytes[at])) ++at;
    if (at >= size || at > kLongestFieldName || bytes[at] != ':') return false;
    if (IsCutFieldName(std::string_view(reinterpret_cast<const char*>(bytes), at))) return false;
    if (OpensWithHeaderOfNoMessage(std::string_view(reinterpret_cast<const char*>(bytes), size)))
        return false;
    ++at;
    return at == size || bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' ||
           bytes[at] == '\n';
}

uint32_t IncompleteReasons(const ChainTrace& trace, bool startsWithHeader) {
    uint32_t reasons = 0;
    if (!startsWithHeader || trace.startsLate) reasons |= VARROW_INCOMPLETE_BEGINNING;
    if (trace.end != ChainEnd::Complete) reasons |= VARROW_INCOMPLETE_END;
    if (trace.unreadable) reasons |= VARROW_INCOMPLETE_UNREADABLE;
    if (trace.endGuessed) reasons |= VARROW_INCOMPLETE_UNCERTAIN;
    return reasons;
}

}  // namespace varrow
