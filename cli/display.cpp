#include "display.h"

#include <cstdio>

namespace varrow::cli {

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f) {
            AppendEscaped(out, byte);
        } else if (byte == 0xc2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            // U+0080..U+009F: a terminal may act on these as on ESC [.
            AppendEscaped(out, byte);
            AppendEscaped(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string SpreadsheetSafe(const std::string& cell) {
    if (cell.empty()) return cell;
    switch (cell[0]) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r': return "'" + cell;
        default: return cell;
    }
}

}  // namespace varrow::cli
