// A scratch folder that lives as long as the test that made it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varrow::testing {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, without a trailing separator.
    const std::string& path() const { return path_; }
    // path() + the platform's separator + name
    std::string operator/(const std::string& name) const;

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::string WriteFile(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// Names value as the engine's temporary folder (TMPDIR on POSIX, TMP on
// Windows) while it lives, and puts the old value back.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& value);
    ~ScopedTmpdir();
    ScopedTmpdir(const ScopedTmpdir&) = delete;
    ScopedTmpdir& operator=(const ScopedTmpdir&) = delete;

private:
    std::optional<std::string> old_;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);
// The bytes as a string, for comparisons with texts.
std::string Text(const std::vector<uint8_t>& bytes);
bool StartsWith(const std::string& text, const std::string& prefix);
// path written with '/' in the platform's own form (backslashes on Windows).
std::string NativePath(std::string path);
// Names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

}  // namespace varrow::testing
