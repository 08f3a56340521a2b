#include "output/message_headers.h"

#include "base/messages.h"
#include "output/header_fields.h"
#include "output/header_text.h"
#include "output/mail_date.h"
#include "output/naming.h"

namespace varrow {

namespace {

// Raw field bytes kept: a field longer than this is cut before it is
// decoded; what is left still decodes to more than a subject may hold.
constexpr size_t kMaxRawField = 4 * kMaxSubjectBytes;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// A zero byte ends a field's text, as it ends a subject line.
std::string UpToZero(std::string text) {
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

std::optional<std::string> Field(const uint8_t* start, size_t size, const char* name) {
    const std::optional<std::string> raw = FindHeaderField(start, size, name, kMaxRawField);
    if (!raw) return std::nullopt;
    return UpToZero(*raw);
}

}  // namespace

MessageHeaders ReadMessageHeaders(const uint8_t* start, size_t size) {
    MessageHeaders headers;
    if (const auto subject = Field(start, size, "Subject"))
        headers.subject = DecodeHeaderText(*subject);
    if (const auto from = Field(start, size, "From")) {
        headers.from = CutUtf8(Trimmed(DecodeHeaderText(*from)), kMaxSubjectBytes);
    }
    if (const auto date = Field(start, size, "Date")) headers.date = ParseMailDate(*date);
    return headers;
}

std::string ReadableSubject(const MessageHeaders& headers, const std::string& subjectLine,
                            uint32_t messageNumber) {
    const std::string decoded = headers.subject ? *headers.subject : DecodeHeaderText(subjectLine);
    const std::string subject = Trimmed(CutUtf8(decoded, kMaxSubjectBytes));
    if (!subject.empty()) return subject;
    return FormatText(EngineText(kTextUntitledMessage), static_cast<unsigned long>(messageNumber));
}

}  // namespace varrow
