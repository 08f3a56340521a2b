#include "store_bytes.h"

#include <algorithm>
#include <string_view>

#include "file64.h"
#include "header_names.h"

namespace varrow {

namespace {

constexpr size_t kLongestFieldName = 76;

bool IsAsciiLetter(uint8_t byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

CachedSource::CachedSource(CFile64Ex& source)
    : source_(source), bytes_(size_t{kPageSize} * kPages), tags_(kPages, 0) {}

const uint8_t* CachedSource::Page(uint64_t page) {
    const size_t slot = page % kPages;
    uint8_t* bytes = bytes_.data() + slot * kPageSize;
    if (tags_[slot] != page + 1) {
        std::fill(bytes, bytes + kPageSize, 0);
        source_.Seek(static_cast<int64_t>(page * kPageSize), CFile64::begin);
        source_.Read(bytes, kPageSize);
        tags_[slot] = page + 1;
    }
    return bytes;
}

std::vector<uint8_t> CachedSource::Read(int64_t position, uint32_t count) {
    std::vector<uint8_t> bytes(count, 0);
    uint32_t done = 0;
    if (position < 0) {
        if (static_cast<uint64_t>(-position) >= count) return bytes;
        done = static_cast<uint32_t>(-position);
    }
    while (done < count) {
        const uint64_t at = static_cast<uint64_t>(position + done);
        const uint32_t within = static_cast<uint32_t>(at % kPageSize);
        const uint32_t piece = std::min(count - done, kPageSize - within);
        std::copy_n(Page(at / kPageSize) + within, piece, bytes.data() + done);
        done += piece;
    }
    return bytes;
}

bool IsPlausibleText(std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        if (byte == 0x7F) return false;
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != 0x1B) return false;
    }
    return true;
}

bool IsMessageStart(std::span<const uint8_t> data) {
    if (data.empty() || !IsAsciiLetter(data[0])) return false;
    size_t length = 1;
    while (length < data.size() && length <= kLongestFieldName &&
           (IsAsciiLetter(data[length]) || (data[length] >= '0' && data[length] <= '9') || data[length] == '-')) {
        ++length;
    }
    if (length > kLongestFieldName || length >= data.size() || data[length] != ':') return false;
    const std::string_view name(reinterpret_cast<const char*>(data.data()), length);
    if (IsKnownHeaderName(name)) return true;
    for (const std::string_view address : {"From", "To", "Cc", "Bcc", "Date"}) {
        if (EqualsNoCase(name, address)) return true;
    }
    return length > 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '-';
}

}  // namespace varrow
