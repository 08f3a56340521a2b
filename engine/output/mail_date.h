// The time a Date: header field names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varrow {

// Seconds since 1970-01-01 00:00:00 UTC for an RFC 5322 date-time, with the
// obsolete forms real mail uses: no weekday, two- and three-digit years,
// no seconds, named zones (UT, GMT, EST, EDT, CST, CDT, MST, MDT, PST, PDT,
// military letters), no zone at all (taken as UTC), comments, and the
// weekday or month names in any case. Nothing when the text is no date.
std::optional<int64_t> ParseMailDate(const std::string& text);

}  // namespace varrow
