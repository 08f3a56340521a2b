// Runs the engine over pathological images and prints, for each, the
// outcome, the wall time and the peak resident memory of the run.
//
//   pathological_stress [--timeout SECONDS] [--scratch FOLDER] [--megabytes N] [--sharing N]
//                       [--store-aware] [--list] [SCENARIO...]
//
// --store-aware runs every scenario with store-aware linking.
// Each scenario writes its image into a scratch folder (under /tmp unless
// --scratch names another place, such as /dev/shm to leave the disk's file
// system out of the figures) and recovers it in
// a child process of its own, so that the peak memory is that run's alone
// and a run that does not end within the timeout is reported as a hang.
// A run passes when it completes, or ends with "Error 2: General error.
// Out of memory." and no other error; a crash, a hang, any other error text
// or a progress that goes back fails it (exit status 1).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "image_builder/block.h"
#include "varrow.h"

namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::HeaderBytes;
using Image = std::vector<uint8_t>;

constexpr char kOutOfMemory[] = "Error 2: General error. Out of memory.";
constexpr uint64_t kMiB = 1 << 20;
// The size of the dense images and the number of heads that share a
// successor; --megabytes and --sharing change them.
uint64_t g_denseMegabytes = 256;
uint64_t g_sharing = 20000;
uint32_t g_linkingOption = 0;  // VARROW_OPTION_STORE_AWARE with --store-aware

void PutBlock(Image& image, uint64_t position, const BlockFields& fields, const std::string& data = {}) {
    const uint64_t end = position + 16 + std::max<uint64_t>(data.size(), 512);
    if (image.size() < end) image.resize(end, 0);
    const auto header = HeaderBytes(fields);
    std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(position));
    std::copy(data.begin(), data.end(), image.begin() + static_cast<ptrdiff_t>(position + 16));
}

// A real head at position 0 whose chain goes on at nextOffset.
void PutHead(Image& image, const std::string& subject, uint32_t nextOffset) {
    const std::string text = "Subject: " + subject + "\r\n";
    PutBlock(image, 0, BlockFields{0x10, 512, static_cast<uint32_t>(text.size()), nextOffset}, text);
}

// A valid header every 16 bytes over 256 MB, one chain through all of them
// from a head at the start: 16.7 million blocks of one byte each.
Image DenseChain() {
    constexpr uint64_t kStart = 528;
    const uint64_t count = (g_denseMegabytes * kMiB - kStart - 512) / 16;
    Image image(g_denseMegabytes * kMiB, 0);
    PutHead(image, "dense chain", 0x20);
    for (uint64_t i = 0; i < count; ++i) {
        const auto self = static_cast<uint32_t>(0x20 + 16 * i);
        const auto header = HeaderBytes(BlockFields{self, 512, 1, i + 1 < count ? self + 16 : 0});
        std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(kStart + 16 * i));
    }
    return image;
}

// A valid header every 16 bytes over 256 MB, each its own head: 16.7
// million heads, none with a colon in its data, so validation drops them.
Image DenseHeads() {
    const uint64_t count = (g_denseMegabytes * kMiB - 512) / 16;
    Image image(g_denseMegabytes * kMiB, 0);
    for (uint64_t i = 0; i < count; ++i) {
        const auto header = HeaderBytes(BlockFields{static_cast<uint32_t>(16 * (i + 1)), 512, 1, 0});
        std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(16 * i));
    }
    return image;
}

// Blocks of 16 data bytes, 32 bytes apart, from position 528 on: the
// offsets of block i are given by self(i) and next(i).
Image SpacedBlocks(uint64_t count, const std::function<BlockFields(uint64_t)>& fields,
                   const std::string& data) {
    constexpr uint64_t kStart = 528;
    Image image(kStart + 32 * count + 512, 0);
    for (uint64_t i = 0; i < count; ++i) {
        BlockFields block = fields(i);
        block.dataLength = static_cast<uint32_t>(data.size());
        const auto header = HeaderBytes(block);
        const auto at = image.begin() + static_cast<ptrdiff_t>(kStart + 32 * i);
        std::copy(header.begin(), header.end(), at);
        std::copy(data.begin(), data.end(), at + 16);
    }
    return image;
}

// One message of a million blocks.
Image MillionBlockChain() {
    constexpr uint64_t kCount = 1000000;
    Image image = SpacedBlocks(kCount, [](uint64_t i) {
        const auto self = static_cast<uint32_t>(0x1000 + 16 * i);
        return BlockFields{self, 512, 0, i + 1 < kCount ? self + 16 : 0};
    }, "0123456789abcdef");
    PutHead(image, "million blocks", 0x1000);
    return image;
}

// A chain of a million offsets that closes into a loop, laid out twice, so
// that every step has two candidates and ends where it began.
Image LongCycle() {
    constexpr uint64_t kOffsets = 1000000;
    Image image = SpacedBlocks(2 * kOffsets, [](uint64_t i) {
        const uint64_t k = i % kOffsets;
        const auto self = static_cast<uint32_t>(0x1000 + 16 * k);
        return BlockFields{self, 512, 0, k + 1 < kOffsets ? self + 16 : 0x1000};
    }, "cycle text abcde");
    PutHead(image, "long cycle", 0x1000);
    return image;
}

// A million one-block messages, each with a subject.
Image MillionHeads() {
    return SpacedBlocks(1000000, [](uint64_t i) {
        return BlockFields{static_cast<uint32_t>(0x1000 + 16 * i), 512, 0, 0};
    }, "Subject: many\r\n ");
}

// A million heads without a colon: validation drops every one.
Image MillionColonlessHeads() {
    return SpacedBlocks(1000000, [](uint64_t i) {
        return BlockFields{static_cast<uint32_t>(0x1000 + 16 * i), 512, 0, 0};
    }, "no subject here ");
}

// count heads that all name one offset, which has count copies: each
// message chooses among all copies, and every head's data ends in a word
// that makes the choice look at each candidate's data.
Image SharedSuccessor(uint64_t count) {
    return SpacedBlocks(2 * count, [count](uint64_t i) {
        if (i < count) return BlockFields{static_cast<uint32_t>(0x1000 + 16 * i), 512, 0, 0x10};
        return BlockFields{0x10, 512, 0, 0};
    }, "Subject: s\r\nabcd");
}

struct Scenario {
    const char* name;
    const char* what;
    std::function<Image()> build;
    uint32_t options;
};

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> scenarios = {
        {"dense-chain", "256 MB (--megabytes), a valid header every 16 bytes, one chain through all",
         DenseChain, 0},
        {"dense-heads", "256 MB (--megabytes), a valid header every 16 bytes, each a head without a colon",
         DenseHeads, 0},
        {"chain-1m", "one chain of a million blocks", MillionBlockChain, 0},
        {"cycle-1m", "a chain of a million offsets that loops back, laid out twice", LongCycle, 0},
        {"heads-1m", "a million distinct heads, each a message (rollover every 10000)", MillionHeads,
         VARROW_OPTION_NEW_FOLDER},
        {"heads-1m-colonless", "a million distinct heads without a colon", MillionColonlessHeads, 0},
        {"shared-successor", "20000 (--sharing) heads naming one offset that has as many copies",
         [] { return SharedSuccessor(g_sharing); }, 0},
    };
    return scenarios;
}

// What the child learns of its run, passed to the parent through a pipe.
struct Outcome {
    int32_t result = 0;
    uint64_t rows = 0;
    uint64_t errors = 0;
    uint64_t outOfMemory = 0;
    uint8_t lastProgress = 0;
    bool progressWentBack = false;
    char firstOtherError[200] = "";
};

int32_t VARROW_CALL Count(int32_t code, void* data, void* userData) {
    auto& outcome = *static_cast<Outcome*>(userData);
    if (code == EV_PROGRESS) {
        const uint8_t percent = *static_cast<const uint8_t*>(data);
        if (percent < outcome.lastProgress) outcome.progressWentBack = true;
        outcome.lastProgress = percent;
    } else if (code == EV_REPORT_CELL) {
        ++outcome.rows;
    } else if (code == EV_ERROR) {
        const char* text = static_cast<const char*>(data);
        ++outcome.errors;
        if (std::strcmp(text, kOutOfMemory) == 0) {
            ++outcome.outOfMemory;
        } else if (outcome.firstOtherError[0] == '\0') {
            std::snprintf(outcome.firstOtherError, sizeof outcome.firstOtherError, "%s", text);
        }
    }
    return 0;
}

Outcome Recover(const std::string& image, const std::string& output, uint32_t options) {
    Outcome outcome;
    RecoveryParams params{};
    params.sourcePath = image.c_str();
    params.options = options;
    params.destFolder = output.c_str();
    params.callback = &Count;
    params.userData = &outcome;
    auto* bytes = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    outcome.result = RecoverMessages(&params);
    outcome.rows = outcome.rows >= 2 ? (outcome.rows - 2) / 2 : 0;
    return outcome;
}

// Runs one scenario; true when it passed.
bool Run(const Scenario& scenario, const fs::path& scratch, int timeoutSeconds) {
    const std::string image = (scratch / "image").string();
    const std::string output = (scratch / "out").string();
    fs::create_directories(output);
    uint64_t imageSize = 0;
    {
        Image bytes = scenario.build();
        imageSize = bytes.size();
        std::ofstream out(image, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    int channel[2];
    if (pipe(channel) != 0) return false;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const Outcome outcome = Recover(image, output, scenario.options | g_linkingOption);
        const ssize_t sent = write(channel[1], &outcome, sizeof outcome);
        _exit(sent == static_cast<ssize_t>(sizeof outcome) ? 0 : 3);
    }
    close(channel[1]);

    int status = 0;
    rusage usage{};
    bool hung = false;
    for (;;) {
        const pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child) break;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > timeoutSeconds && !hung) {
            hung = true;
            kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Outcome outcome;
    const bool reported = read(channel[0], &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome);
    close(channel[0]);

    uint64_t files = 0;
    for (auto it = fs::recursive_directory_iterator(output); it != fs::recursive_directory_iterator(); ++it) {
        files += it->is_regular_file();
    }
    std::error_code ignored;
    fs::remove_all(output, ignored);
    fs::remove(image, ignored);

    std::printf("%-22s %s\n", scenario.name, scenario.what);
    std::printf("  image %.0f MB; %.1f s; peak memory %.0f MB\n", static_cast<double>(imageSize) / kMiB, seconds,
                static_cast<double>(usage.ru_maxrss) / 1024);
    bool passed = false;
    if (hung) {
        std::printf("  HANG: killed after %d s\n", timeoutSeconds);
    } else if (!reported || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("  CRASH: %s %d\n", WIFSIGNALED(status) ? "signal" : "exit status",
                    WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    } else {
        std::printf("  result %d, %llu messages reported, %llu files, %llu errors", outcome.result,
                    static_cast<unsigned long long>(outcome.rows), static_cast<unsigned long long>(files),
                    static_cast<unsigned long long>(outcome.errors));
        if (outcome.outOfMemory) std::printf(" (out of memory)");
        std::printf(", last progress %d\n", outcome.lastProgress);
        passed = outcome.lastProgress == 100 && !outcome.progressWentBack &&
                 outcome.firstOtherError[0] == '\0' && outcome.outOfMemory <= 1;
        if (outcome.firstOtherError[0] != '\0') std::printf("  unexpected error: %s\n", outcome.firstOtherError);
        if (outcome.progressWentBack) std::printf("  progress went back\n");
    }
    std::fflush(stdout);
    return passed;
}

}  // namespace

int main(int argc, char** argv) {
    int timeout = 900;
    std::string scratchBase = "/tmp";
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--timeout" && i + 1 < argc) {
            timeout = std::atoi(argv[++i]);
        } else if (argument == "--scratch" && i + 1 < argc) {
            scratchBase = argv[++i];
        } else if (argument == "--megabytes" && i + 1 < argc) {
            g_denseMegabytes = std::strtoull(argv[++i], nullptr, 10);
        } else if (argument == "--sharing" && i + 1 < argc) {
            g_sharing = std::strtoull(argv[++i], nullptr, 10);
        } else if (argument == "--store-aware") {
            g_linkingOption = VARROW_OPTION_STORE_AWARE;
        } else if (argument == "--list") {
            for (const Scenario& scenario : Scenarios()) std::printf("%-22s %s\n", scenario.name, scenario.what);
            return 0;
        } else {
            wanted.push_back(argument);
        }
    }
    std::string pattern = scratchBase + "/ostrel-stress-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a folder in %s\n", scratchBase.c_str());
        return 2;
    }
    const std::string tmp = pattern + "/tmp";
    fs::create_directories(tmp);
    setenv("TMPDIR", tmp.c_str(), 1);

    bool allPassed = true;
    int ran = 0;
    for (const Scenario& scenario : Scenarios()) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), scenario.name) == wanted.end()) continue;
        ++ran;
        allPassed = Run(scenario, pattern, timeout) && allPassed;
    }
    std::error_code ignored;
    fs::remove_all(pattern, ignored);
    if (ran == 0) {
        std::fprintf(stderr, "no such scenario; --list names them\n");
        return 2;
    }
    return allPassed ? 0 : 1;
}
