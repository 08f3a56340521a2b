// The MIME encodings that mail clients put into stored messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel::builder {

// Base64 of bytes (RFC 2045) in lines of lineLength characters, the last one
// shorter, each ending in CRLF; lineLength 0 gives one line without CRLF.
std::string Base64(std::string_view bytes, size_t lineLength);

// Quoted-printable form of text whose lines end in CRLF: '=' and bytes
// outside printable ASCII become =XX, and soft breaks keep lines within 76.
std::string QuotedPrintable(std::string_view text);

// RFC 2047 encoded words for a header: "=?charset?Q?...?=" (spaces as '_')
// and "=?charset?B?...?=". bytes are already in that charset.
std::string EncodedWordQ(std::string_view charset, std::string_view bytes);
std::string EncodedWordB(std::string_view charset, std::string_view bytes);

}  // namespace ostrel::builder
