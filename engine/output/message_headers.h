// What a message's header section tells a person: its subject, sender and
// date, decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varrow {

// The bytes of a message's start that are searched for its header fields.
inline constexpr size_t kHeaderSectionBytes = 256 * 1024;

struct MessageHeaders {
    // The decoded Subject: field; nothing when the header has none.
    std::optional<std::string> subject;
    // The decoded From: field; empty when there is none.
    std::string from;
    // The Date: field's time; nothing when there is none that reads.
    std::optional<int64_t> date;
};

// Reads the header fields from the first size bytes of a message.
MessageHeaders ReadMessageHeaders(const uint8_t* start, size_t size);

// The subject the log, the report and the file name use when subjects are
// read for people: the decoded Subject: field, or else subjectLine (the
// first line that holds "subject") decoded; at most kMaxSubjectBytes of
// whole characters; "Message n" when that leaves nothing.
std::string ReadableSubject(const MessageHeaders& headers, const std::string& subjectLine,
                            uint32_t messageNumber);

}  // namespace varrow
