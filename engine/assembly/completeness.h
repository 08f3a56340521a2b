// Whether a rebuilt message is whole, and if not, why.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varrow {

struct ChainTrace;

// Whether the text begins with a header line: a field name (a letter, then
// letters, digits or hyphens, at most 76 bytes) directly followed by a
// colon and then white space or the end. A message whose first blocks were
// lost begins in the middle of its header or body instead; a name that is
// only the end of a known one ("ubject:") is such a middle too, and so is
// a whole header with neither a From nor a Subject field: a MIME part's,
// or the rest of a message header whose first fields were lost.
bool StartsWithHeaderLine(const uint8_t* bytes, size_t size);

// The VARROW_INCOMPLETE_* reasons of a message: its beginning is missing
// (no header line first, or the linker knows it started late), its end is
// missing (the chain did not end at a next offset of 0, or the linker
// guessed where it went on), or some of its
// bytes came from sectors that could not be read. 0 when it is complete.
uint32_t IncompleteReasons(const ChainTrace& trace, bool startsWithHeader);

}  // namespace varrow
