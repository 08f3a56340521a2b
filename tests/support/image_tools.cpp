#include "image_tools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace varrow::testing {

namespace {

// Runs a shell command; its output is kept out of the way unless it fails.
bool Run(const std::string& command) {
    const std::string quiet = command + " > /dev/null 2>&1";
    if (std::system(quiet.c_str()) == 0) return true;
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::system(command.c_str());
    return false;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::string MakeEwfImage(const std::string& raw, const std::string& folder, const std::string& name,
                         uint64_t segmentBytes, bool compressed) {
    const std::string target = folder + "/" + name;
    std::string command = "ewfacquire -u -q -t " + Quoted(target) + " -c " +
                          (compressed ? "deflate:fast" : "none") + " -b 64";
    if (segmentBytes != 0) command += " -S " + std::to_string(segmentBytes);
    command += " " + Quoted(raw);
    return Run(command) ? target + ".E01" : std::string();
}

std::string MakeSplitRaw(const std::string& raw, const std::string& folder, const std::string& name,
                         uint64_t pieceBytes) {
    const std::string prefix = folder + "/" + name + ".";
    const std::string command = "split -b " + std::to_string(pieceBytes) +
                                " -d -a 3 --numeric-suffixes=1 " + Quoted(raw) + " " +
                                Quoted(prefix);
    return Run(command) ? prefix + "001" : std::string();
}

std::string ConvertImage(const std::string& raw, const std::string& format,
                         const std::string& target) {
    const std::string command =
        "qemu-img convert -f raw -O " + format + " " + Quoted(raw) + " " + Quoted(target);
    return Run(command) ? target : std::string();
}

void SpoilFileBytes(const std::string& path, uint64_t offset, uint32_t count) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    const std::vector<char> spoiled(count, static_cast<char>(0xA5));
    file.write(spoiled.data(), count);
}

}  // namespace varrow::testing
