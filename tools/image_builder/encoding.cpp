#include "image_builder/encoding.h"

#include <cstdint>

namespace ostrel::builder {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string Base64Unbroken(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group <<= 8;
            if (k < n) group |= static_cast<uint8_t>(bytes[i + k]);
        }
        for (size_t k = 0; k < 4; ++k) {
            out += k <= n ? kBase64Alphabet[(group >> (18 - 6 * k)) & 0x3f] : '=';
        }
    }
    return out;
}

void AppendHex(std::string& out, uint8_t byte) {
    out += '=';
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xf];
}

}  // namespace

std::string Base64(std::string_view bytes, size_t lineLength) {
    const std::string flat = Base64Unbroken(bytes);
    if (lineLength == 0) return flat;
    std::string out;
    out.reserve(flat.size() + flat.size() / lineLength * 2 + 2);
    for (size_t i = 0; i < flat.size(); i += lineLength) {
        out.append(flat, i, lineLength);
        out += "\r\n";
    }
    return out;
}

std::string QuotedPrintable(std::string_view text) {
    constexpr size_t kMaxLine = 76;
    std::string out;
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        size_t lineEnd = text.find("\r\n", lineStart);
        const bool lastLine = lineEnd == std::string_view::npos;
        if (lastLine) lineEnd = text.size();
        size_t column = 0;
        for (size_t i = lineStart; i < lineEnd; ++i) {
            const auto byte = static_cast<uint8_t>(text[i]);
            std::string token;
            // A space or tab at the end of a line would be lost in transport.
            const bool trailingBlank = (byte == ' ' || byte == '\t') && i + 1 == lineEnd;
            if ((byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !trailingBlank)) {
                token = static_cast<char>(byte);
            } else {
                AppendHex(token, byte);
            }
            // Leave room for the '=' of a soft break.
            if (column + token.size() > kMaxLine - 1) {
                out += "=\r\n";
                column = 0;
            }
            out += token;
            column += token.size();
        }
        if (lastLine) break;
        out += "\r\n";
        lineStart = lineEnd + 2;
    }
    return out;
}

std::string EncodedWordQ(std::string_view charset, std::string_view bytes) {
    std::string out = "=?" + std::string(charset) + "?Q?";
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte == ' ') {
            out += '_';
        } else if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
            out += c;
        } else {
            AppendHex(out, byte);
        }
    }
    return out + "?=";
}

std::string EncodedWordB(std::string_view charset, std::string_view bytes) {
    return "=?" + std::string(charset) + "?B?" + Base64Unbroken(bytes) + "?=";
}

}  // namespace ostrel::builder
