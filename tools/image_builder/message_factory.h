// Seeded, realistic message texts as Outlook Express 6 kept them in its
// stores: the raw RFC 822/MIME message as received (or as sent), CRLF line
// ends, the headers Outlook Express wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image_builder/random.h"

namespace ostrel::builder {

enum class SubjectKind {
    Plain,         // "Meeting on Thursday"
    Reply,         // "Re: ..."
    Forward,       // "Fw: ..."
    InvalidChars,  // holds some of \ / : * ? " < > | that file names cannot
    Duplicate,     // the subject of an earlier message of this factory
    Empty,         // a Subject line with nothing after the colon
    Missing,       // no Subject line at all (and no "subject" anywhere)
    Utf8,          // raw UTF-8 bytes in the header
    EncodedWord,   // RFC 2047: =?iso-8859-1?Q?...?= or =?utf-8?B?...?=
    Long,          // about 300 bytes on one line, longer than a file name may be
};

enum class BodyKind {
    Plain,        // text/plain, 7bit (8bit UTF-8 for a Utf8 subject)
    Alternative,  // multipart/alternative: quoted-printable text and HTML
    Attachment,   // multipart/mixed: a text part and a base64 attachment
};

struct MessageKinds {
    SubjectKind subject = SubjectKind::Plain;
    BodyKind body = BodyKind::Plain;
    // As Sent Items keeps a message: from the mailbox owner, without the
    // Return-Path and Received lines that delivery adds.
    bool sent = false;
    // Rough length of the text body in bytes; 0 lets the factory pick one
    // between a few hundred bytes and 40 KB.
    size_t bodyLength = 0;
};

class MessageFactory {
public:
    explicit MessageFactory(uint64_t seed);

    // A new message of the given kinds. Dates advance from one message to
    // the next; the same seed and calls give the same texts.
    std::string Make(const MessageKinds& kinds);

    // The kinds of the next message of a fixed rotation in which every
    // subject kind and body kind comes up within any 20 consecutive messages.
    MessageKinds NextKinds(bool sent = false);

    // Make(NextKinds(sent)).
    std::string Next(bool sent = false) { return Make(NextKinds(sent)); }

private:
    std::string MakeSubject(SubjectKind kind);
    // Paragraphs up to about length bytes, signed, then the quote (if any).
    std::string MakeBodyText(size_t length, const std::string& signature, const std::string& quote);
    std::string DateText(int64_t unixTime) const;

    Random random_;
    size_t rotation_ = 0;
    int64_t clock_;
    int timezoneMinutes_;
    std::string ownerName_;
    std::string ownerAddress_;
    std::vector<std::string> usedSubjects_;
};

}  // namespace ostrel::builder
