// What the MIME structure of a message says about its text going on across
// a cluster boundary: the text before it (earlier blocks included) tells
// which header or which part's body the boundary cuts, and that decides
// what may follow.
#pragma once

#include <cstdint>
#include <span>

#include "link/store_aware/store_bytes.h"

namespace varrow {

// The body text ends in: the one the last part header with a
// Content-Transfer-Encoding field declares, once the empty line after that
// header has opened it, with no delimiter line since. The look goes back
// through the text, so the options of one end share it.
enum class PartBody { kUnknown, kBase64, kQuotedPrintable, kText };
PartBody BodyBeforeBoundary(std::span<const uint8_t> before);

// The body the boundary cuts, as the last part header in before declares
// it (a Content-Transfer-Encoding field followed by the empty line that
// opens the body, and no delimiter line since):
//  - base64: kTextBreaks when after, up to its first empty line or
//    delimiter line, holds a byte that base64 lines do not hold;
//  - any other encoding (text): kTextBreaks when after's whole lines, up to
//    its first delimiter line, hold a line of 60 bytes or more of the
//    base64 alphabet alone (not all hexadecimal digits), which no text part
//    holds;
// Where before shows no such header but its last two whole lines are lines
// of words, it is text too, up to after's first empty line (which may end
// a header whose body follows). kTextSaysNothing otherwise.
TextJoin JoinPartEncoding(std::span<const uint8_t> before, std::span<const uint8_t> after);
// The same, where body is BodyBeforeBoundary(before).
TextJoin JoinPartEncoding(std::span<const uint8_t> before, std::span<const uint8_t> after,
                          PartBody body);

// Within one header (the fields since before's last empty line or
// delimiter line), a field that occurs once in a message or part header
// (From, To, Date, Subject, Content-Type and the like) does not occur
// again: kTextBreaks when after's whole lines up to its first empty line
// name such a field that before's header holds already; kTextSaysNothing
// otherwise. The line the boundary cuts counts on neither side; where
// before ends with a line end, the boundary cuts none.
TextJoin JoinHeaderFields(std::span<const uint8_t> before, std::span<const uint8_t> after);

// Whether after's whole lines, up to its first empty or delimiter line,
// break softly as quoted-printable does (two or more lines of at most 76
// bytes that end in "=") where before's last paragraph has whole lines and
// none of its last three ends so, and before's part is not declared
// quoted-printable: text of another encoding going on, likelier another
// message's than this one's.
bool SoftBreaksBegin(std::span<const uint8_t> before, std::span<const uint8_t> after);

}  // namespace varrow
