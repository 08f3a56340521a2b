#include "base/paths.h"

#include <vector>

namespace varrow {

namespace {

// Index of the last separator or dot, or npos.
size_t LastSeparatorOrDot(const std::string& path) {
    return path.find_last_of(std::string{kPathSeparator, '.'});
}

}  // namespace

std::string AddTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == kPathSeparator) return path;
    return path + kPathSeparator;
}

std::string GetPathDirectory(const std::string& path) {
    const size_t at = path.rfind(kPathSeparator);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string GetPathFileName(const std::string& path) {
    const size_t at = path.rfind(kPathSeparator);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string GetPathExtension(const std::string& path) {
    const size_t at = LastSeparatorOrDot(path);
    if (at == std::string::npos || path[at] != '.') return {};
    return path.substr(at);
}

std::string RemovePathExtension(const std::string& path) {
    const size_t at = LastSeparatorOrDot(path);
    if (at == std::string::npos || path[at] != '.') return path;
    return path.substr(0, at);
}

std::string GetPathTitle(const std::string& path) {
    return GetPathFileName(RemovePathExtension(path));
}

std::string AbsolutePath(const std::string& path, const std::string& currentDirectory) {
    if (path.empty()) return {};
    std::string joined;
    if (path.front() == kPathSeparator) {
        joined = path;
    } else {
        if (currentDirectory.empty()) return {};
        joined = AddTrailingBackslash(currentDirectory) + path;
    }

    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= joined.size()) {
        size_t to = joined.find(kPathSeparator, from);
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
    for (const std::string& part : parts) result += kPathSeparator + part;
    if (result.empty()) return std::string(1, kPathSeparator);
    if (path.back() == kPathSeparator) result += kPathSeparator;
    return result;
}

}  // namespace varrow
