// Whether the bytes a cluster boundary joins read like the rest of the
// message: text keeps to its habits (a space or a line end after "?", no
// space before a line end), so a join that makes a run of character kinds
// the message has nowhere else is likely another message's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace varrow {

// How many of the runs of three character kinds that the boundary between
// before and after cuts (two: two bytes before and one after, one before
// and two after) occur nowhere else in before and after together. A kind
// is a lower-case letter (bytes from 0x80 up count as such), an upper-case
// letter, a digit, or the byte itself for any other. 0 when either side is
// shorter than two bytes.
size_t UnseenBoundaryGrams(std::span<const uint8_t> before, std::span<const uint8_t> after);

}  // namespace varrow
