// The subject reader and BuildOutputPath on arbitrary bytes.
//
// Input: a mode byte, a byte for the length of the output folder's path,
// four bytes of message number; the rest is either the text of a message
// file (read with ReadMessageSubject) or the subject itself. Before the
// path is built, the name the subject asks for first is taken by a file, a
// link to a file outside, or a folder, as the mode says. Invariants:
//  - the subject is what a plain line-by-line reading finds;
//  - the path names a new entry directly inside the folder (no separator
//    in the name, never "." or ".."), nothing exists there, and a file can
//    be created there;
//  - the probe leaves nothing behind, and what was there keeps its bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/messages.h"
#include "base/paths.h"
#include "fuzz_support.h"
#include "output/naming.h"

namespace {

namespace fs = std::filesystem;
using ostrel::fuzz::Check;

constexpr char kKeptText[] = "kept";
constexpr char kVictimText[] = "outside";

struct World {
    std::string root = ostrel::fuzz::MakeScratchRoot("naming");
    std::string output = root + "/out";
    std::string message = root + "/message";
    std::string victim = root + "/victim";

    World() {
        fs::create_directory(output);
        ostrel::fuzz::WriteFileText(victim, kVictimText);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

bool IsSubjectSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The subject as the naming rules describe it, one whole line at a time.
std::string ReferenceSubject(const std::string& text, uint32_t number) {
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        line = line.substr(0, line.find('\0'));
        std::string lower = line;
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        const size_t word = lower.find("subject");
        const size_t colon = word == std::string::npos ? word : line.find(':', word + 7);
        if (colon != std::string::npos) {
            size_t first = colon + 1;
            size_t last = line.size();
            while (first < last && IsSubjectSpace(line[first])) ++first;
            while (last > first && IsSubjectSpace(line[last - 1])) --last;
            if (last > first) return line.substr(first, last - first);
            break;
        }
        if (end == text.size()) break;
        from = end + 1;
    }
    return varrow::FormatText("Message %lu", static_cast<unsigned long>(number));
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

// Takes the name at path with what the mode asks for; returns false when
// nothing was put there.
bool Occupy(const World& world, const std::string& path, uint8_t mode) {
    if (path.find('\0') != std::string::npos || !ostrel::fuzz::LiesInside(path, world.output) ||
        Exists(path)) {
        return false;
    }
    // The name may be one the system refuses (too long, say): then nothing
    // is put there.
    std::error_code error;
    switch (mode % 3) {
        case 0: std::ofstream(path, std::ios::binary) << kKeptText; break;
        case 1: fs::create_symlink(world.victim, path, error); break;
        default: fs::create_directory(path, error); break;
    }
    return Exists(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    World& world = TheWorld();
    const uint8_t mode = data[0];
    const uint32_t number = uint32_t{data[2]} | uint32_t{data[3]} << 8 | uint32_t{data[4]} << 16 |
                            uint32_t{data[5]} << 24;
    const std::string rest(reinterpret_cast<const char*>(data) + 6, size - 6);

    // Folder paths of many lengths, up to where the cut to 245 bytes reaches
    // into the extension and beyond.
    std::string folder = world.output;
    const size_t extra = data[1] % 224;
    if (extra != 0) {
        folder += "/" + std::string(extra, 'd');
        fs::create_directory(folder);
    }

    std::string subject = rest;
    if (mode & 1) {
        ostrel::fuzz::WriteFileText(world.message, rest);
        subject = varrow::ReadMessageSubject(world.message, number);
        Check(subject == ReferenceSubject(rest, number), "the subject differs from a line-by-line reading");
    }

    std::string occupied;
    if (mode & 2) {
        const std::string first = varrow::ShortenPath(
            varrow::AddTrailingBackslash(folder) + varrow::ReplaceInvalidChars(subject) + ".eml",
            varrow::kMaxOutputPathLength);
        if (Occupy(world, first, mode >> 2)) occupied = first;
    }

    const std::string path = varrow::BuildOutputPath(folder, subject, number);

    Check(path.find('\0') == std::string::npos, "the path holds a zero byte");
    Check(path.compare(0, folder.size() + 1, folder + "/") == 0, "the path is not in the folder: " + path);
    const std::string name = path.substr(folder.size() + 1);
    Check(!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos,
          "the name is not one entry of the folder: " + name);
    Check(!Exists(path), "the path names an existing entry: " + path);
    for (const auto& entry : fs::directory_iterator(folder)) {
        Check(entry.path() == occupied, "the probe left something behind: " + entry.path().string());
    }
    if (!occupied.empty()) {
        Check(path != occupied, "the path is the name that was taken");
        if (fs::is_symlink(occupied)) {
            Check(ostrel::fuzz::ReadFileText(world.victim) == kVictimText, "a link's target was changed");
        } else if (fs::is_regular_file(occupied)) {
            Check(ostrel::fuzz::ReadFileText(occupied) == kKeptText, "an existing file was changed");
        }
    }

    // The engine copies the message there; the name must take a new file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    Check(fd >= 0, "no file can be created at " + path);
    ::close(fd);
    Check(ostrel::fuzz::LiesInside(path, folder), "the file lands outside the folder: " + path);

    ostrel::fuzz::EmptyFolder(world.output);
    return 0;
}
