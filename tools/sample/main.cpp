// make-sample-image: writes the bundled sample disk image and, on request,
// a manifest of every message on it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "sample/sample_image.h"

namespace {

constexpr char kUsage[] =
    "usage: make-sample-image [--seed N] OUTPUT.img [MANIFEST.txt]\n"
    "Writes a sample disk image of Outlook Express stores (the same bytes for\n"
    "the same seed, default 1) and optionally a manifest of its messages.\n";

bool ParseSeed(const char* text, uint64_t& seed) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    seed = std::strtoull(text, &end, 10);
    return *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t seed = 1;
    std::string imagePath;
    std::string manifestPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--seed") {
            if (i + 1 >= argc || !ParseSeed(argv[++i], seed)) {
                std::cerr << "make-sample-image: --seed needs a decimal number\n" << kUsage;
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "make-sample-image: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else if (imagePath.empty()) {
            imagePath = arg;
        } else if (manifestPath.empty()) {
            manifestPath = arg;
        } else {
            std::cerr << "make-sample-image: too many arguments\n" << kUsage;
            return 2;
        }
    }
    if (imagePath.empty()) {
        std::cerr << kUsage;
        return 2;
    }

    const ostrel::sample::SampleImage sample = ostrel::sample::BuildSampleImage(seed);
    std::ofstream image(imagePath, std::ios::binary | std::ios::trunc);
    image.write(reinterpret_cast<const char*>(sample.bytes.data()), static_cast<std::streamsize>(sample.bytes.size()));
    image.close();
    if (!image) {
        std::cerr << "make-sample-image: cannot write " << imagePath << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    if (!manifestPath.empty()) {
        std::ofstream manifest(manifestPath, std::ios::trunc);
        manifest << "# Ostrel sample image " << imagePath << ", seed " << seed << "\n";
        ostrel::builder::WriteManifest(sample.manifest, manifest);
        manifest.close();
        if (!manifest) {
            std::cerr << "make-sample-image: cannot write " << manifestPath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    std::cout << "Wrote " << imagePath << "\n";
    ostrel::sample::WriteSummary(sample, std::cout);
    if (!manifestPath.empty()) std::cout << "Manifest: " << manifestPath << "\n";
    return 0;
}
