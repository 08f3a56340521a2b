#include "assembly/identical_copies.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "source/file64.h"

namespace varrow {

namespace {

constexpr uint32_t kPiece = 64 * 1024;
constexpr uint32_t kReadFlags = CFile64::modeRead | CFile64::shareDenyWrite | CFile64::typeBinary;

// Hands the bytes to visit piece by piece; false when they could not all
// be read.
template <typename Visit>
bool EachPiece(const MessageBytes& bytes, Visit visit) {
    if (bytes.content) {
        const auto* data = reinterpret_cast<const char*>(bytes.content->data());
        for (size_t at = 0; at < bytes.content->size(); at += kPiece) {
            visit(
                std::string_view(data + at, std::min<size_t>(kPiece, bytes.content->size() - at)));
        }
        return true;
    }
    CFile64 file;
    if (!file.Open(bytes.file, kReadFlags, nullptr)) return false;
    std::vector<char> piece(kPiece);
    uint64_t total = 0;
    try {
        while (const uint32_t got = file.Read(piece.data(), kPiece)) {
            visit(std::string_view(piece.data(), got));
            total += got;
        }
    } catch (...) {
        return false;
    }
    return total == bytes.size;
}

// Whether the file at path holds exactly the bytes.
bool FileHolds(const std::string& path, const MessageBytes& bytes) {
    CFile64 file;
    if (!file.Open(path, kReadFlags, nullptr)) return false;
    std::vector<char> theirs(kPiece);
    bool same = true;
    try {
        if (file.GetLength() != bytes.size) return false;
        const bool read = EachPiece(bytes, [&](std::string_view mine) {
            if (!same) return;
            same = file.Read(theirs.data(), static_cast<uint32_t>(mine.size())) == mine.size() &&
                   std::memcmp(theirs.data(), mine.data(), mine.size()) == 0;
        });
        return read && same;
    } catch (...) {
        return false;
    }
}

}  // namespace

size_t IdenticalCopies::HashOf(const MessageBytes& bytes) {
    // Pieces are hashed alone and combined, so that a message in a file
    // costs no more memory than one piece.
    size_t hash = std::hash<uint64_t>{}(bytes.size);
    EachPiece(bytes, [&hash](std::string_view piece) {
        hash = (hash ^ std::hash<std::string_view>{}(piece)) * 1099511628211u;
    });
    return hash;
}

std::optional<IdenticalCopies::Written> IdenticalCopies::Find(const MessageBytes& bytes,
                                                              size_t hash) const {
    const auto [first, last] = written_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (FileHolds(it->second.path, bytes)) return it->second;
    }
    return std::nullopt;
}

void IdenticalCopies::Remember(size_t hash, Written written) {
    written_.emplace(hash, std::move(written));
}

}  // namespace varrow
