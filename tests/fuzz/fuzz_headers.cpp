// The readers of header fields on arbitrary bytes: the field finder, the
// decoder of encoded words and 8-bit text, the date parser and the title a
// decoded subject becomes.
//
// Input: a message's start. Invariants:
//  - every decoded subject and sender is valid UTF-8, the subject at most
//    4096 bytes and never empty;
//  - a readable title holds no control character and no separator;
//  - a date, when one is read, lies between the years 1900 and 10000;
//  - decoding is deterministic.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "output/header_text.h"
#include "output/mail_date.h"
#include "output/message_headers.h"
#include "output/naming.h"

namespace {

using ostrel::fuzz::Check;

constexpr int64_t kYear1900 = -2208988800;
constexpr int64_t kYear10000 = 253402300800;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const varrow::MessageHeaders headers = varrow::ReadMessageHeaders(data, size);
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string subject = varrow::ReadableSubject(headers, raw, 7);
    Check(varrow::IsValidUtf8(subject), "a decoded subject is UTF-8");
    Check(!subject.empty() && subject.size() <= varrow::kMaxSubjectBytes,
          "a subject has 1 to 4096 bytes");
    Check(varrow::IsValidUtf8(headers.from), "a decoded sender is UTF-8");
    if (headers.subject) Check(varrow::IsValidUtf8(*headers.subject), "a decoded field is UTF-8");
    if (headers.date)
        Check(*headers.date > kYear1900 && *headers.date < kYear10000,
              "a date lies in a sane range");

    const std::string title = varrow::FileTitleOf(subject, varrow::TitleStyle::Readable);
    for (size_t i = 0; i < title.size(); ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        Check(byte >= 0x20 && byte != 0x7f && byte != '/' && byte != '\\',
              "a title holds no control or separator");
        Check(!(byte == 0xc2 && i + 1 < title.size() &&
                static_cast<unsigned char>(title[i + 1]) < 0xa0),
              "a title holds no C1 control");
    }
    Check(title.empty() || title[0] != '.', "a title never starts with a dot");
    Check(varrow::DecodeHeaderText(raw) == varrow::DecodeHeaderText(raw),
          "decoding is deterministic");
    varrow::ParseMailDate(raw);
    return 0;
}
