// The header names and word characters that decide between candidate blocks.
#include "link/header_names.h"

#include <gtest/gtest.h>

namespace varrow {
namespace {

TEST(HeaderNames, AreKnownWithoutRegardToCase) {
    for (const char* name : {"Content-Type", "content-type", "CONTENT-TYPE", "X-MimeOLE", "x-mimeole",
                             "Return-path", "Thread-Index", "X-AOL-SCOLL-AUTHENTICATION",
                             "Disposition-Notification-To"}) {
        EXPECT_TRUE(IsKnownHeaderName(name)) << name;
    }
    for (const char* name : {"", "From", "To", "Date", "Cc", "Content-Typ", "Content-Types",
                             "Content Type", "X-Mailer:"}) {
        EXPECT_FALSE(IsKnownHeaderName(name)) << name;
    }
}

TEST(HeaderNames, WordCharactersAreAsciiLettersAndHyphen) {
    for (int byte = 0; byte < 256; ++byte) {
        const bool expected = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte == '-';
        EXPECT_EQ(IsWordChar(static_cast<uint8_t>(byte)), expected) << byte;
    }
}

}  // namespace
}  // namespace varrow
