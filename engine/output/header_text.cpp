#include "output/header_text.h"

#include <optional>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace varrow {

namespace {

struct EncodedWord {
    size_t begin = 0;  // where "=?" starts in the raw text
    size_t end = 0;    // just after "?="
    std::string charset;
    std::string bytes;  // the decoded bytes, still in charset
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
    for (char& c : text) c = Lower(c);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The bytes of B encoding; padding may be missing. Nothing when a byte is
// not of the alphabet or the length cannot be base64.
std::optional<std::string> DecodeBase64(std::string_view text) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    if (text.size() % 4 == 1) return std::nullopt;
    std::string bytes;
    uint32_t buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = Base64Value(c);
        if (value < 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return bytes;
}

// The bytes of Q encoding: "_" is a space, "=XX" a byte.
std::optional<std::string> DecodeQ(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (text[i] == '=') {
            if (i + 2 >= text.size() || HexValue(text[i + 1]) < 0 || HexValue(text[i + 2]) < 0)
                return std::nullopt;
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// The encoded word that starts at raw[at] ("=?"), if it is one.
std::optional<EncodedWord> ParseEncodedWord(const std::string& raw, size_t at) {
    const size_t charsetEnd = raw.find('?', at + 2);
    if (charsetEnd == std::string::npos || charsetEnd == at + 2) return std::nullopt;
    if (charsetEnd + 3 > raw.size() || raw[charsetEnd + 2] != '?') return std::nullopt;
    const char encoding = Lower(raw[charsetEnd + 1]);
    if (encoding != 'b' && encoding != 'q') return std::nullopt;
    const size_t textBegin = charsetEnd + 3;
    const size_t textEnd = raw.find("?=", textBegin);
    if (textEnd == std::string::npos) return std::nullopt;
    const std::string_view text(raw.data() + textBegin, textEnd - textBegin);
    // White space ends a word: "=?" and "?=" around it belong to two others.
    if (text.find_first_of(" \t\r\n") != std::string_view::npos) return std::nullopt;
    std::string charset = LowerAscii(raw.substr(at + 2, charsetEnd - at - 2));
    if (charset.find_first_of(" \t\r\n") != std::string::npos) return std::nullopt;
    const size_t language = charset.find('*');  // RFC 2231 language suffix
    if (language != std::string::npos) charset.resize(language);
    if (charset.empty()) return std::nullopt;
    const std::optional<std::string> bytes = encoding == 'b' ? DecodeBase64(text) : DecodeQ(text);
    if (!bytes) return std::nullopt;
    return EncodedWord{at, textEnd + 2, charset, *bytes};
}

// Wider sets that mail declared by a narrower name often really is in; they
// read every byte of the narrower set the same way.
std::optional<std::string> WiderSetOf(const std::string& charset) {
    if (charset == "gb2312" || charset == "x-gbk") return "GBK";
    if (charset == "euc-kr" || charset == "ks_c_5601-1987" || charset == "ks_c_5601")
        return "CP949";
    if (charset == "shift_jis" || charset == "x-sjis" || charset == "shift-jis") return "CP932";
    if (charset == "big5") return "BIG5-HKSCS";
    if (charset == "us-ascii") return "windows-1252";
    return std::nullopt;
}

// The bytes in charset as UTF-8, through the system's conversion; nothing
// when neither the set nor a wider one can take them.
std::optional<std::string> ToUtf8(const std::string& charset, const std::string& bytes) {
    platform::Os& os = platform::CurrentOs();
    std::string utf8;
    if (os.ConvertToUtf8(charset, bytes, &utf8) && IsValidUtf8(utf8)) return utf8;
    if (const auto wider = WiderSetOf(charset)) {
        if (os.ConvertToUtf8(*wider, bytes, &utf8) && IsValidUtf8(utf8)) return utf8;
    }
    return std::nullopt;
}

// Bytes outside encoded words: kept when they are UTF-8, else read as
// Windows-1252. Its five unassigned bytes stand for themselves (U+0081...),
// as browsers read them.
std::string PlainToUtf8(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return bytes;
    std::string utf8;
    std::string run;
    auto flush = [&] {
        if (run.empty()) return;
        std::string converted;
        if (platform::CurrentOs().ConvertToUtf8("windows-1252", run, &converted)) {
            utf8 += converted;
        } else {
            // No conversion at all: each byte as the code point of its value.
            for (const char c : run) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x80) {
                    utf8 += c;
                } else {
                    utf8 += static_cast<char>(0xc0 | (byte >> 6));
                    utf8 += static_cast<char>(0x80 | (byte & 0x3f));
                }
            }
        }
        run.clear();
    };
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x81 || byte == 0x8d || byte == 0x8f || byte == 0x90 || byte == 0x9d) {
            flush();
            utf8 += '\xc2';
            utf8 += c;
        } else {
            run += c;
        }
    }
    flush();
    return utf8;
}

// The bytes of the character a UTF-8 lead byte starts; 1 for any byte
// that cannot start a longer one.
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0xC0 || lead >= 0xF8) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    return 2;
}

bool OnlyWhiteSpace(const std::string& text, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return false;
    }
    return true;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t value = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xc2 && lead <= 0xdf)
            length = 2, value = lead & 0x1f;
        else if (lead >= 0xe0 && lead <= 0xef)
            length = 3, value = lead & 0x0f;
        else if (lead >= 0xf0 && lead <= 0xf4)
            length = 4, value = lead & 0x07;
        else
            return false;
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            value = (value << 6) | (next & 0x3f);
        }
        if ((length == 3 && value < 0x800) ||
            (length == 4 && (value < 0x10000 || value > 0x10ffff)) ||
            (value >= 0xd800 && value <= 0xdfff)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string CutUtf8(const std::string& text, size_t length) {
    if (length >= text.size()) return text;
    for (size_t back = 1; back <= 3 && back <= length; ++back) {
        const auto byte = static_cast<unsigned char>(text[length - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        return text.substr(0, Utf8SequenceLength(byte) > back ? length - back : length);
    }
    return text.substr(0, length);
}

std::string DecodeHeaderText(const std::string& raw) {
    // The encoded words, in order.
    std::vector<EncodedWord> words;
    for (size_t at = raw.find("=?"); at != std::string::npos;) {
        if (auto word = ParseEncodedWord(raw, at)) {
            const size_t end = word->end;
            words.push_back(std::move(*word));
            at = raw.find("=?", end);
        } else {
            at = raw.find("=?", at + 2);
        }
    }

    std::string decoded;
    size_t done = 0;  // raw bytes handled so far
    for (size_t i = 0; i < words.size();) {
        // A run of words of one set, with nothing but white space between.
        size_t last = i;
        std::string bytes = words[i].bytes;
        while (last + 1 < words.size() && words[last + 1].charset == words[i].charset &&
               OnlyWhiteSpace(raw, words[last].end, words[last + 1].begin)) {
            ++last;
            bytes += words[last].bytes;
        }
        decoded += PlainToUtf8(raw.substr(done, words[i].begin - done));
        if (const auto text = ToUtf8(words[i].charset, bytes)) {
            decoded += *text;
        } else {
            decoded += PlainToUtf8(raw.substr(words[i].begin, words[last].end - words[i].begin));
        }
        done = words[last].end;
        i = last + 1;
        // White space between this run and a next word of another set goes too.
        if (i < words.size() && OnlyWhiteSpace(raw, done, words[i].begin)) done = words[i].begin;
    }
    decoded += PlainToUtf8(raw.substr(done));
    return decoded;
}

}  // namespace varrow
