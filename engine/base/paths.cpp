#include "base/paths.h"

#include <string_view>
#include <vector>

namespace varrow {

namespace {

constexpr size_t npos = std::string::npos;

// Index of the last character of path that is one of bytes, stepping over
// the characters of the path text; npos when there is none.
size_t FindLast(const std::string& path, std::string_view bytes) {
    size_t found = npos;
    for (size_t at = 0; at < path.size(); at += platform::CharacterLength(path, at)) {
        if (bytes.find(path[at]) != std::string_view::npos) found = at;
    }
    return found;
}

size_t LastSeparator(const std::string& path) { return FindLast(path, platform::kPathSeparators); }

// Index of the last separator or dot, or npos.
size_t LastSeparatorOrDot(const std::string& path) {
    std::string bytes(platform::kPathSeparators);
    bytes += '.';
    return FindLast(path, bytes);
}

}  // namespace

std::string AddTrailingBackslash(const std::string& path) {
    if (!path.empty() && FindLast(path, std::string_view(&kPathSeparator, 1)) == path.size() - 1) return path;
    return path + kPathSeparator;
}

std::string GetPathDirectory(const std::string& path) {
    const size_t at = LastSeparator(path);
    return at == npos ? std::string() : path.substr(0, at + 1);
}

std::string GetPathFileName(const std::string& path) {
    const size_t at = LastSeparator(path);
    return at == npos ? path : path.substr(at + 1);
}

std::string GetPathExtension(const std::string& path) {
    const size_t at = LastSeparatorOrDot(path);
    if (at == npos || path[at] != '.') return {};
    return path.substr(at);
}

std::string RemovePathExtension(const std::string& path) {
    const size_t at = LastSeparatorOrDot(path);
    if (at == npos || path[at] != '.') return path;
    return path.substr(0, at);
}

std::string GetPathTitle(const std::string& path) {
    return GetPathFileName(RemovePathExtension(path));
}

namespace {
constexpr char kPosixSeparator = '/';
}  // namespace

std::string AbsolutePath(const std::string& path, const std::string& currentDirectory) {
    if (path.empty()) return {};
    std::string joined;
    if (path.front() == kPosixSeparator) {
        joined = path;
    } else {
        if (currentDirectory.empty()) return {};
        joined = currentDirectory;
        if (joined.back() != kPosixSeparator) joined += kPosixSeparator;
        joined += path;
    }

    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= joined.size()) {
        size_t to = joined.find(kPosixSeparator, from);
        if (to == std::string::npos) to = joined.size();
        const std::string part = joined.substr(from, to - from);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        from = to + 1;
    }

    std::string result;
    for (const std::string& part : parts) result += kPosixSeparator + part;
    if (result.empty()) return std::string(1, kPosixSeparator);
    if (path.back() == kPosixSeparator) result += kPosixSeparator;
    return result;
}

}  // namespace varrow
