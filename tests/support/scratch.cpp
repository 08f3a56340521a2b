#include "scratch.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "environment.h"
#include "base/paths.h"
#include "platform/os.h"

namespace varrow::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    static std::mt19937_64 random{std::random_device{}()};
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / ("ostrel-test-" + std::to_string(random() % 1000000000));
        // create_directory is false when the name is taken: try another.
        if (fs::create_directory(candidate)) path_ = candidate.string();
    }
    if (path_.empty()) throw std::runtime_error("cannot make a scratch folder");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Read-only folders made by a test must not keep their contents alive.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::operator/(const std::string& name) const { return path_ + kPathSeparator + name; }

std::string ScratchFolder::WriteFile(const std::string& name,
                                     const std::vector<uint8_t>& bytes) const {
    const std::string file = *this / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
}

std::string ScratchFolder::WriteFile(const std::string& name, const std::string& text) const {
    return WriteFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ListFolder(const std::string& path) {
    // Through the system's own listing, so that names come in the bytes the
    // engine names files by (the ANSI code page on Windows).
    std::vector<std::string> names;
    if (!platform::SystemOs().ListDirectory(path, [&names](const std::string& name) { names.push_back(name); })) {
        throw std::runtime_error("cannot list " + path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

ScopedTmpdir::ScopedTmpdir(const std::string& value) : old_(GetEnvironment(kTempFolderVariable)) {
    SetEnvironment(kTempFolderVariable, value);
}

ScopedTmpdir::~ScopedTmpdir() {
    if (old_) {
        SetEnvironment(kTempFolderVariable, *old_);
    } else {
        UnsetEnvironment(kTempFolderVariable);
    }
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace varrow::testing
