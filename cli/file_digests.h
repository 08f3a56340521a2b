// Digests of written files, for reports an examiner can check.
#pragma once

#include <optional>
#include <string>

namespace varrow::cli {

struct FileDigests {
    std::string md5;  // lower-case hexadecimal
    std::string sha256;
};

// Whether this build can digest files (it needs OpenSSL's libcrypto).
extern const bool kDigestsAvailable;

// Reads the file at path and digests it; nothing when it cannot be read
// or the build cannot digest.
std::optional<FileDigests> DigestFile(const std::string& path);

}  // namespace varrow::cli
