#include "scratch.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace varrow::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "ostrel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Read-only folders made by a test must not keep their contents alive.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

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
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

ScopedTmpdir::ScopedTmpdir(const std::string& value) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    setenv("TMPDIR", value.c_str(), 1);
}

ScopedTmpdir::~ScopedTmpdir() {
    if (old_) {
        setenv("TMPDIR", old_->c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace varrow::testing
