#include "assembly/completeness.h"

#include "link/chain_trace.h"
#include "varrow.h"

namespace varrow {

namespace {

constexpr size_t kLongestFieldName = 76;

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsNameByte(uint8_t c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '-'; }

}  // namespace

bool StartsWithHeaderLine(const uint8_t* bytes, size_t size) {
    if (size == 0 || !IsLetter(bytes[0])) return false;
    size_t at = 1;
    while (at < size && at <= kLongestFieldName && IsNameByte(bytes[at])) ++at;
    if (at >= size || at > kLongestFieldName || bytes[at] != ':') return false;
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
