#include "output/header_fields.h"

namespace varrow {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t'; }

bool SameName(const uint8_t* field, size_t length, std::string_view name) {
    if (length != name.size()) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = static_cast<char>(field[i]);
        char b = name[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// The end of the line that starts at at: the index of its line feed, or size.
size_t LineEnd(const uint8_t* text, size_t size, size_t at) {
    while (at < size && text[at] != '\n') ++at;
    return at;
}

// The line's length without its carriage return.
size_t ContentEnd(const uint8_t* text, size_t begin, size_t end) {
    return end > begin && text[end - 1] == '\r' ? end - 1 : end;
}

}  // namespace

std::optional<std::string> FindHeaderField(const uint8_t* text, size_t size, std::string_view name,
                                           size_t maxValue) {
    for (size_t line = 0; line < size;) {
        const size_t end = LineEnd(text, size, line);
        const size_t contentEnd = ContentEnd(text, line, end);
        if (contentEnd == line) return std::nullopt;  // the empty line ends the header
        size_t colon = line;
        while (colon < contentEnd && text[colon] != ':' && !IsSpace(text[colon])) ++colon;
        // "Name:" with nothing between the name and its colon but white space.
        size_t nameEnd = colon;
        while (colon < contentEnd && IsSpace(text[colon])) ++colon;
        if (colon < contentEnd && text[colon] == ':' &&
            SameName(text + line, nameEnd - line, name)) {
            std::string value;
            size_t from = colon + 1;
            size_t to = contentEnd;
            size_t next = end + 1;
            for (;;) {
                value.append(reinterpret_cast<const char*>(text + from), to - from);
                if (value.size() >= maxValue || next >= size || !IsSpace(text[next])) break;
                // A continuation line: unfolding takes out the line break only.
                const size_t continuationEnd = LineEnd(text, size, next);
                from = next;
                to = ContentEnd(text, next, continuationEnd);
                next = continuationEnd + 1;
            }
            size_t begin = 0;
            while (begin < value.size() && IsSpace(static_cast<uint8_t>(value[begin]))) ++begin;
            size_t finish = value.size();
            while (finish > begin && (IsSpace(static_cast<uint8_t>(value[finish - 1])) ||
                                      value[finish - 1] == '\r')) {
                --finish;
            }
            value = value.substr(begin, finish - begin);
            if (value.size() > maxValue) value.resize(maxValue);
            return value;
        }
        line = end + 1;
    }
    return std::nullopt;
}

}  // namespace varrow
