#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ostrel::fuzz {

namespace fs = std::filesystem;

namespace {

std::vector<std::string>& Roots() {
    static std::vector<std::string> roots;
    return roots;
}

void RemoveRoots() {
    std::error_code ignored;
    for (const std::string& root : Roots()) fs::remove_all(root, ignored);
}

}  // namespace

void Check(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
    std::abort();
}

std::string MakeScratchRoot(const std::string& tag) {
    // The engine creates and deletes several files per message; in memory
    // that is many times faster than on a disk's file system.
    std::error_code error;
    const fs::path memory = "/dev/shm";
    const fs::path base = fs::is_directory(memory, error) && access(memory.c_str(), W_OK) == 0
                              ? memory
                              : fs::temp_directory_path();
    std::string pattern = (base / ("ostrel-fuzz-" + tag + "-XXXXXX")).string();
    Check(mkdtemp(pattern.data()) != nullptr, "cannot make a scratch folder");
    if (Roots().empty()) std::atexit(RemoveRoots);
    Roots().push_back(pattern);
    return pattern;
}

void EmptyFolder(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        // A folder the engine made read-only cannot be emptied otherwise.
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(entry.path(), error);
        Check(!error, "cannot empty " + folder + ": " + error.message());
    }
}

std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_directory() || it->is_symlink()) files.push_back(it->path().string());
    }
    return files;
}

bool LiesInside(const std::string& path, const std::string& folder) {
    const std::string prefix = folder + "/";
    if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size()) return false;
    size_t from = prefix.size();
    for (;;) {
        const size_t to = path.find('/', from);
        const std::string part = path.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (part.empty() || part == "." || part == "..") return false;
        if (to == std::string::npos) break;
        from = to + 1;
    }
    std::error_code error;
    const fs::path parent = fs::path(path).parent_path();
    if (!fs::exists(parent, error)) return true;
    const std::string realParent = fs::canonical(parent, error).string();
    const std::string realFolder = fs::canonical(folder, error).string();
    return realParent == realFolder || realParent.compare(0, realFolder.size() + 1, realFolder + "/") == 0;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    Check(static_cast<bool>(out), "cannot write " + path);
}

}  // namespace ostrel::fuzz
