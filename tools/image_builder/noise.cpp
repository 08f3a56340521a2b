#include "image_builder/noise.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace ostrel::builder {
namespace {

constexpr std::array<std::string_view, 48> kWords = {
    "the",     "of",      "and",     "report",  "system",  "file",    "value",  "setup",
    "windows", "program", "data",    "version", "service", "update",  "user",   "folder",
    "is",      "to",      "in",      "for",     "with",    "on",      "error",  "driver",
    "network", "printer", "config",  "install", "cache",   "page",    "index",  "table",
    "2006",    "12",      "0x1f",    "ok",      "done",    "start",   "stop",   "level",
    "default", "path",    "memory",  "device",  "local",   "remote",  "backup", "log"};

void FillText(uint8_t* out, size_t count, Random& random) {
    size_t column = 0;
    size_t i = 0;
    while (i < count) {
        std::string_view piece;
        if (column > 60 + random.Below(20)) {
            piece = "\r\n";
            column = 0;
        } else {
            piece = kWords[random.Below(kWords.size())];
            column += piece.size() + 1;
        }
        const size_t n = std::min(piece.size(), count - i);
        std::memcpy(out + i, piece.data(), n);
        i += n;
        if (piece != "\r\n" && i < count) {
            out[i++] = random.Percent(8) ? '.' : ' ';
        }
    }
}

}  // namespace

void FillNoise(uint8_t* out, size_t count, NoiseKind kind, Random& random) {
    switch (kind) {
        case NoiseKind::Random: random.Fill(out, count); break;
        case NoiseKind::Zeros: std::fill(out, out + count, 0); break;
        case NoiseKind::Text: FillText(out, count, random); break;
    }
}

std::vector<uint8_t> MakeNoise(size_t count, NoiseKind kind, Random& random) {
    std::vector<uint8_t> bytes(count);
    FillNoise(bytes.data(), count, kind, random);
    return bytes;
}

}  // namespace ostrel::builder
