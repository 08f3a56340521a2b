#include "link/store_aware/store_parts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "link/store_aware/store_text.h"

namespace varrow {

namespace {

// Shorter lines of the base64 alphabet alone occur in text (a long word, a
// token); base64 bodies are written in lines of 64 to 76.
constexpr size_t kShortestBase64Line = 60;

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Calls visit with each whole line of text (each ended by a line feed),
// without its CR, until visit returns false. Weighing an option looks at
// the lines after a boundary thousands of times: no list of them is made.
template <typename Visit>
void EachWholeLine(std::string_view text, Visit visit) {
    for (size_t start = 0, feed; (feed = text.find('\n', start)) != std::string_view::npos;
         start = feed + 1) {
        if (!visit(WithoutCr(text.substr(start, feed - start)))) return;
    }
}

// Calls visit with each whole line of text (without its CR), the last one
// first, until visit returns false: what lies nearest the boundary decides,
// and the rest need not be read.
template <typename Visit>
void EachWholeLineBackward(std::string_view text, Visit visit) {
    for (size_t end = LastFeedBefore(text, text.size()); end != std::string_view::npos;) {
        const size_t feed = LastFeedBefore(text, end);
        const size_t from = feed == std::string_view::npos ? 0 : feed + 1;
        if (!visit(WithoutCr(text.substr(from, end - from)))) return;
        end = feed;
    }
}

// "--" and a boundary (or an end of part); "-- " alone opens a signature.
bool IsDelimiterLine(std::string_view line) {
    return line.size() > 2 && line[0] == '-' && line[1] == '-' && line[2] != ' ';
}

bool IsBase64Byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

bool IsBase64Line(std::string_view line) {
    while (!line.empty() && line.back() == '=') line.remove_suffix(1);
    return std::all_of(line.begin(), line.end(), IsBase64Byte);
}

// A line that only base64 writes: long, of its alphabet alone, and not all
// hexadecimal digits (a hash on a line of its own is text).
bool IsLongBase64Line(std::string_view line) {
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    return line.size() >= kShortestBase64Line && IsBase64Line(line) &&
           !std::all_of(line.begin(), line.end(), hex);
}

// Fields a message or part header holds once at most.
bool IsOnceOnlyField(std::string_view name) {
    static constexpr std::array<std::string_view, 16> kOnce = {"date",
                                                               "from",
                                                               "sender",
                                                               "reply-to",
                                                               "to",
                                                               "cc",
                                                               "bcc",
                                                               "message-id",
                                                               "in-reply-to",
                                                               "references",
                                                               "subject",
                                                               "mime-version",
                                                               "content-type",
                                                               "content-transfer-encoding",
                                                               "content-disposition",
                                                               "content-id"};
    return std::any_of(kOnce.begin(), kOnce.end(),
                       [&](std::string_view once) { return EqualsNoCase(once, name); });
}

// Whether the last two whole lines of text are lines of words: each holds
// a space between other bytes, and neither is a delimiter line.
bool EndsInProse(std::string_view text) {
    int lines = 0;
    bool prose = true;
    EachWholeLineBackward(text, [&](std::string_view line) {
        const size_t space = line.find(' ');
        prose = !IsDelimiterLine(line) && space != std::string_view::npos && space > 0 &&
                space + 1 < line.size();
        return prose && ++lines < 2;
    });
    return prose && lines == 2;
}

}  // namespace

PartBody BodyBeforeBoundary(std::span<const uint8_t> bytes) {
    const std::string_view before = AsText(bytes);
    constexpr std::string_view kEncoding = "content-transfer-encoding:";
    PartBody body = PartBody::kUnknown;
    bool opened = false;  // an empty line lies between the line and the boundary
    EachWholeLineBackward(before, [&](std::string_view line) {
        if (IsDelimiterLine(line)) return false;
        if (line.empty()) {
            opened = true;
            return true;
        }
        if (!StartsWithNoCase(line, kEncoding)) return true;
        // A header still being read at the boundary: its body has not begun.
        if (!opened) return false;
        std::string_view value = line.substr(kEncoding.size());
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        body = StartsWithNoCase(value, "base64")             ? PartBody::kBase64
               : StartsWithNoCase(value, "quoted-printable") ? PartBody::kQuotedPrintable
                                                             : PartBody::kText;
        return false;
    });
    return body;
}

TextJoin JoinPartEncoding(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    return JoinPartEncoding(before, after, BodyBeforeBoundary(before));
}

TextJoin JoinPartEncoding(std::span<const uint8_t> before, std::span<const uint8_t> after,
                          PartBody bodyBefore) {
    const std::string_view text = AsText(before);
    const std::string_view next = AsText(after);
    PartBody body = bodyBefore;
    // Without a part header in sight, lines of words are text as well, but
    // only up to an empty line, which may end a header whose body follows.
    const bool declared = body != PartBody::kUnknown;
    if (!declared && EndsInProse(text)) body = PartBody::kText;
    if (body == PartBody::kUnknown) return TextJoin::kTextSaysNothing;
    const size_t lastFeed = LastFeedBefore(text, text.size());
    const std::string_view cut = text.substr(lastFeed == std::string_view::npos ? 0 : lastFeed + 1);
    // The cut line may be a delimiter, whose boundary holds other bytes.
    if (!cut.empty() && cut[0] == '-') return TextJoin::kTextSaysNothing;
    if (body == PartBody::kBase64) {
        // The rest of the cut line, the whole lines, and the start of the
        // last one, up to the end of the body.
        std::vector<std::string_view> segments;
        for (size_t start = 0;;) {
            const size_t feed = next.find('\n', start);
            segments.push_back(WithoutCr(next.substr(start, feed - start)));
            if (feed == std::string_view::npos) break;
            start = feed + 1;
        }
        for (size_t i = 0; i < segments.size(); ++i) {
            const std::string_view line = segments[i];
            const bool whole = i > 0 || cut.empty();
            const bool last = i + 1 == segments.size();
            if (whole && (line.empty() || IsDelimiterLine(line))) break;
            if (whole && last && line[0] == '-') break;
            if (!IsBase64Line(line)) return TextJoin::kTextBreaks;
        }
        return TextJoin::kTextSaysNothing;
    }
    // A text part: the line the boundary cuts may hold anything of it; the
    // whole lines after it do not run to base64.
    bool breaks = false;
    EachWholeLine(FromFirstWholeLine(text, next), [&](std::string_view line) {
        if (IsDelimiterLine(line) || (!declared && line.empty())) return false;
        breaks = IsLongBase64Line(line);
        return !breaks;
    });
    return breaks ? TextJoin::kTextBreaks : TextJoin::kTextSaysNothing;
}

TextJoin JoinHeaderFields(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    const std::string_view text = AsText(before);
    const std::string_view next = AsText(after);
    // After's fields of the kind a header holds once, up to its empty line.
    std::vector<std::string_view> once;
    EachWholeLine(FromFirstWholeLine(text, next), [&](std::string_view line) {
        if (line.empty() || IsDelimiterLine(line)) return false;
        const std::string_view name = FieldName(line);
        if (!name.empty() && IsOnceOnlyField(name)) once.push_back(name);
        return true;
    });
    if (once.empty()) return TextJoin::kTextSaysNothing;
    // Before's header: its whole lines since the last empty or delimiter
    // line, all of them fields or folded field lines.
    std::vector<std::string_view> fields;
    bool header = true;
    EachWholeLineBackward(text, [&](std::string_view line) {
        if (line.empty() || IsDelimiterLine(line)) return false;
        if (line[0] == ' ' || line[0] == '\t') return true;
        const std::string_view name = FieldName(line);
        header = !name.empty();
        if (header) fields.push_back(name);
        return header;
    });
    if (!header || fields.size() < 2) return TextJoin::kTextSaysNothing;
    for (const std::string_view name : once) {
        const bool again = std::any_of(fields.begin(), fields.end(), [&](std::string_view held) {
            return EqualsNoCase(held, name);
        });
        if (again) return TextJoin::kTextBreaks;
    }
    return TextJoin::kTextSaysNothing;
}

bool SoftBreaksBegin(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    // A soft break ends a line of at most 76 bytes, the most that
    // quoted-printable allows, with "=".
    constexpr size_t kLongestSoftLine = 76;
    const auto softBreak = [](std::string_view line) {
        return line.size() >= 2 && line.size() <= kLongestSoftLine && line.back() == '=';
    };
    // Before: the whole lines of its last paragraph, none of them a soft
    // break.
    int lines = 0;
    bool hard = true;
    EachWholeLineBackward(AsText(before), [&](std::string_view line) {
        if (line.empty() || IsDelimiterLine(line)) return false;
        hard = line.back() != '=';
        return hard && ++lines < 3;
    });
    if (!hard || lines < 1) return false;
    int soft = 0;
    EachWholeLine(FromFirstWholeLine(AsText(before), AsText(after)), [&](std::string_view line) {
        if (line.empty() || IsDelimiterLine(line)) return false;
        soft += softBreak(line) ? 1 : 0;
        return true;
    });
    // A part declared quoted-printable breaks softly wherever its lines
    // grow long (an HTML body after its short head lines, say).
    return soft >= 2 && BodyBeforeBoundary(before) != PartBody::kQuotedPrintable;
}

}  // namespace varrow
