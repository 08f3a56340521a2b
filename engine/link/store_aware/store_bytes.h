// Reading store bytes wherever a rebuilt store file says they lie, and the
// two tests of what those bytes look like.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scan/block_layout.h"

namespace varrow {

class CFile64Ex;

// The source as the linking reads it: small pieces at scattered places,
// many of them again and again (the ends of pieces, the blocks around
// them), through a direct-mapped cache of 4 KiB pages, 8 MiB in all: with
// 2 MiB, the boundaries of a dozen stores sharing a few megabytes read
// many pages twice.
class CachedSource {
public:
    explicit CachedSource(CFile64Ex& source);

    // count bytes from position, which may lie before the source start or
    // run past its end: bytes that are not there (or cannot be read) are 0.
    // *delivered, when given, learns how many of the first bytes the source
    // did deliver.
    std::vector<uint8_t> Read(int64_t position, uint32_t count, uint32_t* delivered = nullptr);
    // The same into *bytes, whose memory is kept for the next read: the
    // linking reads thousands of small pieces for every boundary.
    void ReadInto(int64_t position, uint32_t count, std::vector<uint8_t>* bytes);
    // The same into count bytes at out.
    void ReadTo(int64_t position, uint32_t count, uint8_t* out, uint32_t* delivered = nullptr);

private:
    static constexpr uint32_t kPageSize = 4096;
    static constexpr uint32_t kPages = 2048;

    // The slot holding page, read when it is not there; *length learns how
    // many of its bytes the source delivered.
    const uint8_t* Page(uint64_t page, uint32_t* length);

    // The pages lie page-aligned, so that a page is read with one call.
    struct AlignedDelete {
        void operator()(uint8_t* bytes) const;
    };

    CFile64Ex& source_;
    std::unique_ptr<uint8_t[], AlignedDelete> bytes_;
    std::vector<uint64_t> tags_;     // page number + 1 held in each slot; 0 for none
    std::vector<uint32_t> lengths_;  // bytes delivered of each slot's page
};

// A block header cut by a cluster boundary, put together from its two
// sides: its first `first` bytes at position, just before the boundary, and
// the rest at rest, where the file goes on after it.
BlockHeader ReadCutHeader(CachedSource& source, int64_t position, uint32_t first, int64_t rest);

// The file offsets among the last kBlockHeaderSize - 1 before boundary
// (a file offset) where a header cut by the boundary may begin, into
// *offsets in ascending order: a header begins with its own offset, so the
// bytes there, read at base, must hold it (as many of its four bytes as lie
// before the boundary). Offsets past 32 bits are no block's.
void CutHeaderOffsets(CachedSource& source, int64_t base, uint64_t boundary,
                      std::vector<uint64_t>* offsets);

// Whether bytes could be message text: no control byte but TAB, LF, CR and
// ESC, and no DEL; every byte from 0x80 up is allowed (8-bit charsets).
bool IsPlausibleText(std::span<const uint8_t> bytes);

// Whether data opens like a message: a field name of at most 76 letters,
// digits and hyphens (a letter first) directly followed by a colon, where
// the name is a known header name, From, To, Cc, Bcc or Date, or begins
// with "X-" and is longer than two bytes.
bool IsMessageStart(std::span<const uint8_t> data);
// The most bytes of data that IsMessageStart looks at.
constexpr uint32_t kMessageStartSpan = 77;

// What the text before a cluster boundary says about the text after it,
// where a message may run on from one to the other:
//  - kTextGoesOn when a header name cut in two makes a known name again,
//    or a field value cut in two a MIME type, charset, encoding or
//    disposition ("multi" + "part/alternative"), or when lines of base64
//    of one fixed length go on at that length;
//  - kTextBreaks when base64 lines of a fixed length would come out
//    longer, or go on in bytes that are no base64;
//  - kTextSaysNothing otherwise.
enum class TextJoin { kTextBreaks, kTextSaysNothing, kTextGoesOn };
TextJoin JoinText(std::span<const uint8_t> before, std::span<const uint8_t> after);
// The same, where base64Line is FixedBase64LineLength(before), worked out
// once for a before that many afters are joined to.
TextJoin JoinText(std::span<const uint8_t> before, std::span<const uint8_t> after,
                  size_t base64Line);
// The length of the complete lines of text (between line feeds, without
// the carriage return) when there are two or more, all of one length, all
// base64; 0 otherwise.
size_t FixedBase64LineLength(std::span<const uint8_t> text);

// What MIME boundaries say about message text after a cluster boundary,
// given the message's text before it (earlier blocks included): the first
// delimiter line after ("--" and a boundary) is kTextGoesOn when before
// declares that boundary or delimits a part with it, and kTextBreaks when
// before delimits a part with another boundary and neither side declares
// the new one (which an outer boundary declared further back also does);
// kTextSaysNothing otherwise.
TextJoin JoinBoundaries(std::span<const uint8_t> before, std::span<const uint8_t> after);

// What the word a cluster boundary may cut says about message text after
// it, given the text before it: the letters at the end of before and those
// at the start of after make one word, and kTextGoesOn when that word
// occurs whole elsewhere in before or after (the message's own wording).
// kTextSaysNothing otherwise, and where before's last bytes are no text
// with spaces (base64) or the word runs into digits.
TextJoin JoinWords(std::span<const uint8_t> before, std::span<const uint8_t> after);

// What the kinds of lines say about message text after a cluster boundary,
// given the text before it: within one paragraph (lines between empty
// lines or MIME delimiter lines) header fields ("Name: value") do not go
// on in prose, nor prose in header fields. kTextBreaks when before's last
// paragraph is two fields or more and after's first whole lines hold
// prose, or when before's is two prose lines or more and after's are two
// fields or more and no prose; kTextSaysNothing otherwise. The line the
// boundary cuts counts on neither side, and each side counts up to eight
// lines from the boundary.
TextJoin JoinParagraph(std::span<const uint8_t> before, std::span<const uint8_t> after);

// The longest line of text in bytes (between line feeds, without the
// carriage return; lines that hold bytes no text holds, such as block
// headers, do not count), when it holds four such lines or more; 0
// otherwise.
size_t LongestTextLine(std::span<const uint8_t> bytes);

// The length of the line that before's last line and after's first line
// make together; SIZE_MAX when after holds no line end.
size_t JoinedLineLength(std::span<const uint8_t> before, std::span<const uint8_t> after);

}  // namespace varrow
