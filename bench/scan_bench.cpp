// scan_bench: how fast pass 1 and a whole recovery run, side by side with
// the rate at which plain reads deliver the same image.
//
//   scan_bench [FOLDER]            all figures
//   scan_bench --pass1 [FOLDER]    only pass 1 over the mixed image
//   scan_bench --cached [FOLDER]   only pass 1 over the page-cached mixed image
//   scan_bench --uncached [FOLDER] only pass 1 over the mixed image from the storage
//   scan_bench --pass2 [FOLDER]    only pass 2 beside writing its files once
//   scan_bench --images [FOLDER]   only pass 1 over disk images (E01, split raw,
//                                  VMDK) beside the image library's own reading
//   scan_bench --run-kib N ...     the fast scan reads runs of N KiB (default 1024)
//   scan_bench --read-ahead N ...  buffers of the helper thread, which reads every
//                                  other run (default 2; 0: no helper)
//   scan_bench --mixed PATH MIB    only writes an image of noise and messages
//   scan_bench --noise PATH MIB    only writes an image of random bytes
//
// Keeps its images in FOLDER (default $TMPDIR, else /tmp) and reuses them on
// later runs: a 2 GiB image of noise and messages, a 100 MiB image of
// messages only, 256 MiB adversarial images, and a 512 MiB image of noise
// and messages with its E01, split raw and VMDK forms made by ewfacquire,
// split and qemu-img. Figures are measured over
// page-cached images unless they say otherwise; the machine is shared with
// whatever else runs, so rates are the best of several runs, and pread and
// the scan take turns (from the storage: rested pairs, see
// PrintUncachedFigures).
#include <fcntl.h>
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
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_images.h"
#include "link/block_index.h"
#include "link/classic/chain_indexer.h"
#include "link/store_aware/store_aware_linking.h"
#include "platform/disk_image.h"
#include "scan/block_layout.h"
#include "scan/fast_scan.h"
#include "scan/reference_scan.h"
#include "scan/simd_header_search.h"
#include "session.h"
#include "source/file64.h"
#include "varrow.h"

namespace {

using Clock = std::chrono::steady_clock;
using ostrel::bench::Filler;

constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kMixedSize = 2048 * kMiB;
constexpr uint64_t kMessagesSize = 100 * kMiB;
constexpr uint64_t kFilledSize = 256 * kMiB;
constexpr uint64_t kReferenceSlice = 64 * kMiB;
constexpr int kRepeats = 5;

// How the fast scans of this run read: --run-kib changes it.
varrow::FastScanSettings g_scanSettings;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double MBps(uint64_t bytes, double seconds) { return static_cast<double>(bytes) / 1e6 / seconds; }

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes an image in a child process, so that what it builds in memory does
// not count in this process's peak.
void EnsureImage(const std::string& path, uint64_t size, const std::function<void()>& write) {
    if (ostrel::bench::HasSize(path, size)) return;
    std::printf("writing %s ...\n", path.c_str());
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        write();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !ostrel::bench::HasSize(path, size)) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        std::exit(1);
    }
    std::printf("  done in %.1f s\n", SecondsSince(start));
}

// Drops the page-cached copy of a file, so that the next read comes from
// the storage.
void DropFromCache(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

// Plain 1 MiB preads over the whole file: what the storage delivers.
double PreadSeconds(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto* buffer = static_cast<char*>(std::aligned_alloc(4096, kMiB));
    const auto start = Clock::now();
    for (off_t at = 0;; at += static_cast<off_t>(kMiB)) {
        if (pread(fd, buffer, kMiB, at) <= 0) break;
    }
    const double seconds = SecondsSince(start);
    std::free(buffer);
    close(fd);
    return seconds;
}

// Answers "stop" once pass 1 has tried stopAfter positions (0: never).
struct Stopper {
    uint64_t stopAfter = 0;
    uint64_t questions = 0;
    static int32_t VARROW_CALL Callback(int32_t code, void*, void* self) {
        auto& stopper = *static_cast<Stopper*>(self);
        if (code != EV_QUERY_ABORT) return 0;
        ++stopper.questions;
        return stopper.stopAfter != 0 &&
               stopper.questions * varrow::kScanReportInterval >= stopper.stopAfter;
    }
};

// Counts the accepted blocks and, unless told not to, files them into the
// chain index as pass 1 of a recovery does.
class CountingIndexer : public varrow::BlockSink {
public:
    CountingIndexer(varrow::RecoverySession& session, bool index)
        : indexer_(session.linkedBlocks, session.chainHeads), index_(index) {}
    void Accept(const varrow::BlockHeader& header, uint64_t position) override {
        ++accepted;
        if (index_) indexer_.Accept(header, position);
    }
    void AcceptAll(const varrow::FoundBlock* blocks, size_t count) override {
        accepted += count;
        if (index_) indexer_.AcceptAll(blocks, count);
    }
    size_t accepted = 0;

private:
    varrow::ChainIndexer indexer_;
    bool index_;
};

struct ScanFigures {
    double seconds = 0;
    uint64_t positions = 0;
    size_t accepted = 0;
    size_t indexBytes = 0;
};

ScanFigures TimeScan(const std::string& path, bool fast, uint64_t stopAfter = 0, bool index = true,
                     bool readImages = false) {
    Stopper stopper{stopAfter};
    varrow::RecoverySession session(&Stopper::Callback, &stopper);
    CountingIndexer sink(session, index);
    varrow::CFile64Ex source(4096);
    source.ReadImageFormats(readImages);
    if (!source.Open(path, 0x8040, nullptr)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    const uint64_t length = source.GetLength();
    const auto start = Clock::now();
    if (fast) {
        varrow::ScanBlocksFast(session, source, sink, g_scanSettings);
    } else {
        varrow::ScanBlocks(session, source, sink);
    }
    ScanFigures figures;
    figures.seconds = SecondsSince(start);
    figures.positions = stopAfter != 0 ? std::min(stopAfter, length) : length;
    figures.accepted = sink.accepted;
    figures.indexBytes = session.linkedBlocks.MemoryUsed() + session.chainHeads.MemoryUsed();
    return figures;
}

struct StoreAwareFigures {
    double scanSeconds = 0;     // pass 1 into the block records
    double linkingSeconds = 0;  // indexes, cluster size, repairs and heads
    size_t blocks = 0;
    size_t bytes = 0;
};

// Pass 1 and the head validation of store-aware linking, the fastest of
// kRepeats runs.
StoreAwareFigures TimeStoreAware(const std::string& path) {
    StoreAwareFigures best;
    for (int i = 0; i < kRepeats; ++i) {
        varrow::RecoverySession session(nullptr, nullptr);
        varrow::CFile64Ex source(4096);
        if (!source.Open(path, 0x8040, nullptr)) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            std::exit(1);
        }
        varrow::StoreAwareLinker linker;
        const auto start = Clock::now();
        varrow::ScanBlocksFast(session, source, linker.Collector(), g_scanSettings);
        StoreAwareFigures figures;
        figures.scanSeconds = SecondsSince(start);
        const auto linking = Clock::now();
        linker.ValidateHeads(session, source);
        figures.linkingSeconds = SecondsSince(linking);
        figures.blocks = linker.BlockCount();
        figures.bytes = linker.MemoryUsed();
        if (i == 0 || figures.scanSeconds + figures.linkingSeconds < best.scanSeconds + best.linkingSeconds) {
            best = figures;
        }
    }
    return best;
}

struct SideBySide {
    double preadSeconds = 0;
    ScanFigures scan;
};

// kRepeats turns of a plain read and a fast scan over the same page-cached
// image; the fastest of each.
SideBySide BestOfTurns(const std::string& path) {
    SideBySide best;
    for (int i = 0; i < kRepeats; ++i) {
        const double pread = PreadSeconds(path);
        const ScanFigures scan = TimeScan(path, true);
        if (i == 0 || pread < best.preadSeconds) best.preadSeconds = pread;
        if (i == 0 || scan.seconds < best.scan.seconds) best.scan = scan;
    }
    return best;
}

// Reads the media of an image front to back in 1 MiB pieces through the
// image library alone: what the library delivers.
double LibraryReadSeconds(const std::string& path, uint64_t* size) {
    std::unique_ptr<varrow::platform::DiskImage> image = varrow::platform::OpenLibraryImage(path);
    if (!image) {
        std::fprintf(stderr, "the image libraries cannot open %s\n", path.c_str());
        std::exit(1);
    }
    *size = image->MediaSize();
    auto* buffer = static_cast<char*>(std::aligned_alloc(4096, kMiB));
    const auto start = Clock::now();
    for (uint64_t at = 0; at < *size; at += kMiB) {
        image->Read(at, buffer, static_cast<uint32_t>(std::min<uint64_t>(kMiB, *size - at)),
                    nullptr);
    }
    const double seconds = SecondsSince(start);
    std::free(buffer);
    return seconds;
}

// Makes an image with a shell command unless its first file is there.
void EnsureMadeImage(const std::string& first, const std::string& command) {
    if (std::filesystem::exists(first)) return;
    std::printf("making %s ...\n", first.c_str());
    std::fflush(stdout);
    const auto start = Clock::now();
    if (std::system((command + " > /dev/null").c_str()) != 0 || !std::filesystem::exists(first)) {
        std::fprintf(stderr, "could not make %s with: %s\n", first.c_str(), command.c_str());
        std::exit(1);
    }
    std::printf("  done in %.1f s\n", SecondsSince(start));
}

// Pass 1 over each form of a 512 MiB image of noise and messages, beside
// the image library's own front-to-back read of the same image; the raw
// form beside plain pread. Page-cached files; best of kRepeats turns.
void PrintImageFigures(const std::string& folder) {
    constexpr uint64_t kImageSize = 512 * kMiB;
    const std::string raw = folder + "/ostrel-bench-mixed-512m.img";
    EnsureImage(raw, kImageSize,
                [&] { ostrel::bench::WriteMixedImage(raw, kImageSize, 0.125, 3); });
    if (!varrow::platform::ImageLibrariesBuiltIn()) {
        std::printf("disk images: this build has no image libraries\n\n");
        return;
    }
    const std::string base = folder + "/ostrel-bench-mixed-512m";
    EnsureMadeImage(base + ".E01",
                    "ewfacquire -u -q -c deflate:fast -t '" + base + "' '" + raw + "'");
    EnsureMadeImage(base + ".split.001", "split -b 64M -d -a 3 --numeric-suffixes=1 '" + raw +
                                             "' '" + base + ".split.'");
    EnsureMadeImage(base + ".vmdk",
                    "qemu-img convert -f raw -O vmdk '" + raw + "' '" + base + ".vmdk'");

    std::printf("512 MiB of noise and messages in image files, page-cached, best of %d\n",
                kRepeats);
    std::printf("  %-22s %16s %16s %8s\n", "", "library / pread", "pass 1", "ratio");
    std::vector<std::string> pieces;
    for (int part = 1; part <= 8; ++part) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%03d", part);
        pieces.push_back(base + ".split." + suffix);
    }
    struct Form {
        const char* name;
        std::string path;
        std::vector<std::string> files;  // what to bring into the page cache
    };
    const Form forms[] = {{"raw (pread)", raw, {raw}},
                          {"E01, deflate fast", base + ".E01", {base + ".E01"}},
                          {"split raw, 8 files", pieces.front(), pieces},
                          {"VMDK", base + ".vmdk", {base + ".vmdk"}}};
    for (const auto& [name, path, files] : forms) {
        const bool isRaw = path == raw;
        for (const std::string& file : files) PreadSeconds(file);
        double best = 0;
        ScanFigures bestScan;
        uint64_t size = kImageSize;
        for (int i = 0; i < kRepeats; ++i) {
            const double plain = isRaw ? PreadSeconds(raw) : LibraryReadSeconds(path, &size);
            const ScanFigures scan = TimeScan(path, true, 0, true, !isRaw);
            if (i == 0 || plain < best) best = plain;
            if (i == 0 || scan.seconds < bestScan.seconds) bestScan = scan;
        }
        const double plainRate = MBps(size, best);
        const double scanRate = MBps(bestScan.positions, bestScan.seconds);
        std::printf("  %-22s %10.0f MB/s %10.0f MB/s %7.0f %%\n", name, plainRate, scanRate,
                    100 * scanRate / plainRate);
    }
    std::printf("\n");
}

// The fastest of kRepeats fast scans.
ScanFigures BestScan(const std::string& path, bool index) {
    ScanFigures best;
    for (int i = 0; i < kRepeats; ++i) {
        const ScanFigures figures = TimeScan(path, true, 0, index);
        if (i == 0 || figures.seconds < best.seconds) best = figures;
    }
    return best;
}

// The header search alone over the first 256 MiB of an image, 1 MiB at a
// time copied into a buffer first, as the scan's runs are: the rate of the
// test itself, in MB/s.
double HeaderSearchRate(const std::string& path) {
    constexpr size_t kBytes = 256 * kMiB;
    std::vector<uint8_t> image(kBytes);
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(image.data()), kBytes);
    std::vector<uint8_t> run(kMiB + varrow::kBlockHeaderSize);
    const varrow::HeaderFinder finder = varrow::BestHeaderFinder();
    std::vector<uint32_t> found(varrow::kScanReportInterval);
    double best = 0;
    for (int i = 0; i < kRepeats; ++i) {
        double seconds = 0;
        for (size_t from = 0; from < kBytes; from += kMiB) {
            std::memcpy(run.data(), image.data() + from, kMiB);
            const auto start = Clock::now();
            for (size_t at = 0; at < kMiB; at += varrow::kScanReportInterval) {
                const size_t count = std::min<size_t>(varrow::kScanReportInterval, kMiB - at);
                finder(run.data() + at, count, found.data());
            }
            seconds += SecondsSince(start);
        }
        if (i == 0 || seconds < best) best = seconds;
    }
    return MBps(kBytes, best);
}

// Keeps every accepted block, to file them again without scanning.
class RecordingSink : public varrow::BlockSink {
public:
    void Accept(const varrow::BlockHeader& header, uint64_t position) override {
        blocks.push_back({header, position});
    }
    std::vector<varrow::FoundBlock> blocks;
};

// Filing the blocks of one scan into the chain index alone, the fastest of
// kRepeats turns: the share of pass 1 that is not reading or testing.
double IndexSecondsAlone(const std::string& path, size_t* blocks) {
    varrow::RecoverySession scanSession(nullptr, nullptr);
    RecordingSink recorded;
    varrow::CFile64Ex source(4096);
    if (!source.Open(path, 0x8040, nullptr)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    varrow::ScanBlocksFast(scanSession, source, recorded, g_scanSettings);
    *blocks = recorded.blocks.size();
    double best = 0;
    for (int i = 0; i < kRepeats; ++i) {
        varrow::RecoverySession session(nullptr, nullptr);
        varrow::ChainIndexer indexer(session.linkedBlocks, session.chainHeads);
        const auto start = Clock::now();
        indexer.Begin();
        indexer.AcceptAll(recorded.blocks.data(), recorded.blocks.size());
        const double seconds = SecondsSince(start);
        if (i == 0 || seconds < best) best = seconds;
    }
    return best;
}

struct RecoveryFigures {
    double seconds = 0;
    double firstMessageAt = 0;  // when pass 2 began to write messages
    size_t messages = 0;
};

struct RecoveryWatch {
    Clock::time_point start;
    double firstMessageAt = -1;
    size_t cells = 0;
    static int32_t VARROW_CALL Callback(int32_t code, void*, void* self) {
        auto& watch = *static_cast<RecoveryWatch*>(self);
        if (code == EV_LOG && watch.firstMessageAt < 0) watch.firstMessageAt = SecondsSince(watch.start);
        if (code == EV_REPORT_CELL) ++watch.cells;
        return 0;
    }
};

// The recovery's output stays in folder/ostrel-bench-output until the next
// recovery or WriteOnceSeconds.
RecoveryFigures TimeRecovery(const std::string& image, const std::string& folder, uint32_t options = 0) {
    const std::string output = folder + "/ostrel-bench-output";
    std::filesystem::remove_all(output);
    std::filesystem::create_directory(output);
    RecoveryWatch watch;
    RecoveryParams params{};
    params.sourcePath = image.c_str();
    params.destFolder = output.c_str();
    params.options = options;
    params.callback = &RecoveryWatch::Callback;
    params.userData = &watch;
    auto* bytes = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    watch.start = Clock::now();
    RecoverMessages(&params);
    RecoveryFigures figures;
    figures.seconds = SecondsSince(watch.start);
    figures.firstMessageAt = watch.firstMessageAt < 0 ? figures.seconds : watch.firstMessageAt;
    figures.messages = watch.cells >= 2 ? (watch.cells - 2) / 2 : 0;
    return figures;
}

// The time it takes to write the files of the last recovery's output once,
// from memory, each created, written and closed: the floor for pass 2 on
// this file system. Returns the number of files through *files.
double WriteOnceSeconds(const std::string& folder, size_t* files) {
    namespace fs = std::filesystem;
    const std::string output = folder + "/ostrel-bench-output";
    std::vector<std::pair<std::string, std::string>> contents;
    for (const auto& entry : fs::recursive_directory_iterator(output)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        contents.emplace_back(entry.path().filename().string(),
                              std::string(std::istreambuf_iterator<char>(in), {}));
    }
    fs::remove_all(output);
    const std::string copy = folder + "/ostrel-bench-write-once";
    fs::remove_all(copy);
    fs::create_directory(copy);
    const Clock::time_point start = Clock::now();
    for (const auto& [name, bytes] : contents) {
        const int fd = ::open((copy + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) continue;
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::perror("write");
        ::close(fd);
    }
    const double seconds = SecondsSince(start);
    fs::remove_all(copy);
    *files = contents.size();
    return seconds;
}

std::string ProcessorName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown";
}

const char* KernelName() {
    const varrow::HeaderFinder best = varrow::BestHeaderFinder();
    if (best == varrow::Avx512HeaderFinder()) return "AVX-512BW";
    if (best == varrow::Avx2HeaderFinder()) return "AVX2";
    return "portable";
}

// Pass 2 over the image of ~4 KB messages, beside writing the same files once.
void PrintPass2Figures(const std::string& messages, const std::string& folder) {
    PreadSeconds(messages);
    const RecoveryFigures small = TimeRecovery(messages, folder);
    std::printf("RecoverMessages over 100 MiB of ~4 KB messages\n");
    std::printf("  total                      %8.2f s, %zu messages\n", small.seconds, small.messages);
    std::printf("  before the first message   %8.2f s\n", small.firstMessageAt);
    const double pass2Rate = static_cast<double>(small.messages) / (small.seconds - small.firstMessageAt);
    std::printf("  pass 2                     %8.0f messages/s\n", pass2Rate);
    size_t files = 0;
    const double onceSeconds = WriteOnceSeconds(folder, &files);
    const double onceRate = static_cast<double>(files) / onceSeconds;
    std::printf("  the same files written once %7.0f files/s (pass 2 takes %.1f times as long)\n\n", onceRate,
                onceRate / pass2Rate);

}

// Pass 1 over the mixed image beside plain reads, each from the storage.
// Each turn rests first and then drops the image from the page cache right
// before it reads: on a virtual machine the memory freed by the drop goes
// back to the host a few seconds later, and a turn that started after that
// would time the host handing memory back rather than the storage (a third
// of the speed, which two readers get more of than one). The two take turns
// in pairs (alternating which goes first) and the figure that counts is the
// median of the pairs' ratios.
void PrintUncachedFigures(const std::string& mixed) {
    constexpr int kPairs = 7;
    constexpr auto kRest = std::chrono::seconds(5);
    std::printf("the same image read from the storage each time, %d pairs of turns\n", kPairs);
    std::vector<double> ratios;
    double bestPread = 0;
    double bestScan = 0;
    for (int i = 0; i < kPairs; ++i) {
        double preadRate = 0;
        double scanRate = 0;
        const auto timePread = [&] {
            std::this_thread::sleep_for(kRest);
            DropFromCache(mixed);
            preadRate = MBps(std::filesystem::file_size(mixed), PreadSeconds(mixed));
        };
        const auto timeScan = [&] {
            std::this_thread::sleep_for(kRest);
            DropFromCache(mixed);
            const ScanFigures scan = TimeScan(mixed, true);
            scanRate = MBps(scan.positions, scan.seconds);
        };
        if (i % 2 == 0) {
            timePread();
            timeScan();
        } else {
            timeScan();
            timePread();
        }
        ratios.push_back(scanRate / preadRate);
        bestPread = std::max(bestPread, preadRate);
        bestScan = std::max(bestScan, scanRate);
        std::printf("  pair %d: pread %6.0f MB/s, fast scan %6.0f MB/s, %4.0f %%\n", i + 1, preadRate, scanRate,
                    100 * ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("  best plain 1 MiB pread     %8.0f MB/s\n", bestPread);
    std::printf("  best fast scan             %8.0f MB/s\n", bestScan);
    std::printf("  fast / pread, median pair  %8.0f %% (pairs %.0f..%.0f %%)\n\n", 100 * ratios[kPairs / 2],
                100 * ratios.front(), 100 * ratios.back());
}

int Usage() {
    std::fputs("usage: scan_bench [--run-kib N] [--read-ahead N]\n"
               "                  [--pass1 | --pass2 | --images | --cached | --uncached] [FOLDER]\n"
               "       scan_bench --mixed PATH MIB | --noise PATH MIB\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && (std::strcmp(argv[1], "--mixed") == 0 || std::strcmp(argv[1], "--noise") == 0)) {
        const bool mixed = std::strcmp(argv[1], "--mixed") == 0;
        const uint64_t size = std::strtoull(argv[3], nullptr, 10) * kMiB;
        EnsureImage(argv[2], size, [&] {
            if (mixed) {
                ostrel::bench::WriteMixedImage(argv[2], size, 0.125, 1);
            } else {
                ostrel::bench::WriteFilledImage(argv[2], size, Filler::Random);
            }
        });
        return 0;
    }
    for (;;) {
        if (argc > 2 && std::strcmp(argv[1], "--run-kib") == 0) {
            g_scanSettings.runSize =
                static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) * 1024;
        } else if (argc > 2 && std::strcmp(argv[1], "--read-ahead") == 0) {
            g_scanSettings.readAhead = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        } else {
            break;
        }
        argc -= 2;
        argv += 2;
    }
    const bool pass1Only = argc > 1 && std::strcmp(argv[1], "--pass1") == 0;
    const bool pass2Only = argc > 1 && std::strcmp(argv[1], "--pass2") == 0;
    const bool imagesOnly = argc > 1 && std::strcmp(argv[1], "--images") == 0;
    const bool cachedOnly = argc > 1 && std::strcmp(argv[1], "--cached") == 0;
    const bool uncachedOnly = argc > 1 && std::strcmp(argv[1], "--uncached") == 0;
    if (pass1Only || pass2Only || imagesOnly || cachedOnly || uncachedOnly) {
        --argc;
        ++argv;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) return Usage();
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string folder = argc > 1 ? argv[1] : (tmpdir && *tmpdir ? tmpdir : "/tmp");
    const std::string mixed = folder + "/ostrel-bench-mixed-2g.img";
    const std::string messages = folder + "/ostrel-bench-messages.img";

    if (imagesOnly) {
        std::printf("\nmachine: %s, %u cores, scan kernel %s, %u runs read ahead\n\n",
                    ProcessorName().c_str(), std::thread::hardware_concurrency(), KernelName(),
                    g_scanSettings.readAhead);
        PrintImageFigures(folder);
        return 0;
    }
    EnsureImage(messages, kMessagesSize,
                [&] { ostrel::bench::WriteMixedImage(messages, kMessagesSize, 0.9, 2); });
    if (pass2Only) {
        PrintPass2Figures(messages, folder);
        return 0;
    }
    EnsureImage(mixed, kMixedSize, [&] { ostrel::bench::WriteMixedImage(mixed, kMixedSize, 0.125, 1); });
    const std::pair<const char*, Filler> fillers[] = {
        {"random", Filler::Random},
        {"zeros", Filler::Zeros},
        {"0x02", Filler::Twos},
        {"00 02 00 00 repeated", Filler::SizeEveryFour},
        {"header every 16 bytes", Filler::HeaderEvery16}};
    std::vector<std::string> filled;
    for (const auto& [name, filler] : fillers) {
        std::string path = folder + "/ostrel-bench-filled-" + std::to_string(static_cast<int>(filler)) + ".img";
        EnsureImage(path, kFilledSize, [&, filler = filler] { ostrel::bench::WriteFilledImage(path, kFilledSize, filler); });
        filled.push_back(path);
    }

    std::printf("\nmachine: %s, %u cores, scan kernel %s\n", ProcessorName().c_str(),
                std::thread::hardware_concurrency(), KernelName());
    std::printf("fast scan reads runs of %u KiB, up to %u ahead, shared with a helper thread\n",
                g_scanSettings.runSize / 1024, g_scanSettings.readAhead);
    std::printf("all images page-cached; best of %d runs where repeated\n\n", kRepeats);

    if (uncachedOnly) {
        PrintUncachedFigures(mixed);
        return 0;
    }

    // Pass 1 over the mixed image.
    PreadSeconds(mixed);  // brings the image into the page cache
    const SideBySide cached = BestOfTurns(mixed);
    const ScanFigures& fast = cached.scan;
    const long scanPeak = PeakResidentKiB();
    const ScanFigures counted = BestScan(mixed, false);
    const double preadRate = MBps(kMixedSize, cached.preadSeconds);
    const double fastRate = MBps(fast.positions, fast.seconds);
    std::printf("2 GiB of noise and messages, page-cached\n");
    std::printf("  plain 1 MiB pread          %8.0f MB/s\n", preadRate);
    std::printf("  fast scan, chain index     %8.0f MB/s  (%.3f s)\n", fastRate, fast.seconds);
    std::printf("  fast / pread               %8.0f %%\n", 100 * fastRate / preadRate);
    std::printf("  fast scan, blocks counted  %8.0f MB/s  %.0f %% of pread\n",
                MBps(counted.positions, counted.seconds),
                100 * MBps(counted.positions, counted.seconds) / preadRate);
    std::printf("  header search alone        %8.0f MB/s  (runs in cache)\n", HeaderSearchRate(mixed));
    size_t replayed = 0;
    const double indexAlone = IndexSecondsAlone(mixed, &replayed);
    std::printf("  chain index alone          %8.3f s = %.0f ns per block\n", indexAlone,
                1e9 * indexAlone / static_cast<double>(std::max<size_t>(replayed, 1)));
    if (cachedOnly) return 0;
    const ScanFigures reference = TimeScan(mixed, false, kReferenceSlice);
    std::printf("  reference scan, 64 MiB     %8.1f MB/s  (%.2f s)\n",
                MBps(reference.positions, reference.seconds), reference.seconds);
    std::printf("  accepted blocks            %8zu\n", fast.accepted);
    std::printf("  index memory               %8.1f MB = %.1f bytes per indexed block\n",
                static_cast<double>(fast.indexBytes) / 1e6,
                static_cast<double>(fast.indexBytes) / static_cast<double>(std::max<size_t>(fast.accepted, 1)));
    std::printf("  peak resident after scans  %8.1f MB\n", static_cast<double>(scanPeak) / 1024);
    const StoreAwareFigures aware = TimeStoreAware(mixed);
    std::printf("  store-aware: fast scan     %8.0f MB/s  (%.3f s), then %.3f s to link\n",
                MBps(kMixedSize, aware.scanSeconds), aware.scanSeconds, aware.linkingSeconds);
    std::printf("  store-aware memory         %8.1f MB = %.1f bytes per block\n\n",
                static_cast<double>(aware.bytes) / 1e6,
                static_cast<double>(aware.bytes) / static_cast<double>(std::max<size_t>(aware.blocks, 1)));

    PrintUncachedFigures(mixed);
    PrintImageFigures(folder);
    if (pass1Only) return 0;

    // Adversarial images against random data of the same size.
    std::printf("256 MiB filled images, page-cached, fast scan (random / this)\n");
    std::printf("  %-24s %18s %20s\n", "", "chain index", "blocks counted");
    double randomIndexed = 0;
    double randomCounted = 0;
    for (size_t i = 0; i < filled.size(); ++i) {
        PreadSeconds(filled[i]);  // brings the image into the page cache
        const ScanFigures indexed = BestScan(filled[i], true);
        const ScanFigures counted = BestScan(filled[i], false);
        const double indexedRate = MBps(indexed.positions, indexed.seconds);
        const double countedRate = MBps(counted.positions, counted.seconds);
        if (i == 0) {
            randomIndexed = indexedRate;
            randomCounted = countedRate;
        }
        std::printf("  %-24s %6.0f MB/s (%5.2f) %6.0f MB/s (%5.2f)  %zu accepted\n", fillers[i].first,
                    indexedRate, randomIndexed / indexedRate, countedRate, randomCounted / countedRate,
                    indexed.accepted);
    }
    std::printf("\n");

    // Whole recoveries, in both linking modes.
    for (const auto& [mode, options] : {std::pair<const char*, uint32_t>{"classic", 0},
                                        std::pair<const char*, uint32_t>{"store-aware", VARROW_OPTION_STORE_AWARE}}) {
        PreadSeconds(mixed);
        const RecoveryFigures whole = TimeRecovery(mixed, folder, options);
        std::filesystem::remove_all(folder + "/ostrel-bench-output");
        std::printf("RecoverMessages over the 2 GiB image, %s linking\n", mode);
        std::printf("  total                      %8.2f s, %zu messages\n", whole.seconds, whole.messages);
        std::printf("  before the first message   %8.2f s\n", whole.firstMessageAt);
        std::printf("  writing messages           %8.0f messages/s\n\n",
                    static_cast<double>(whole.messages) / (whole.seconds - whole.firstMessageAt));
    }

    PrintPass2Figures(messages, folder);

    std::printf("peak resident memory         %8.1f MB\n", static_cast<double>(PeakResidentKiB()) / 1024);
    return 0;
}
