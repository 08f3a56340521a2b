// How well each linking mode recovers the messages of built disk images:
// builds images with the image builder in varied layouts and seeds, links
// them in classic and store-aware mode and prints, per layout and mode,
//  - exact: real intact messages written byte for byte, of all of them;
//  - wrong: outputs that are no real message and that the records would
//    not flag incomplete (completeness.h), of all outputs;
//  - the time of scan, linking and every chain (into memory), and of a
//    whole RecoverMessages run that writes the files;
//  - the linking's memory per scanned block.
// Figures only; nothing is judged here.
//
//   store_quality [first seed] [last seed] [layout name part]
//   store_quality --mixed MIB    only time and memory of both modes over the
//                                benchmark's image of noise and one store
//                                fragmented among it (no manifest)
//   store_quality --copies N     only the time of both modes over images of
//                                N/4, N/2 and N copies of one store layout
//                                with different text, shuffled by cluster:
//                                how the linking grows with the copies of
//                                one file cluster
//   store_quality --filesystems FIRST LAST [KIND]
//                                exact and wrong of both modes over the
//                                FAT32 (512 bytes and 4 KiB clusters) and
//                                FAT16 volumes (1 to 16 KiB clusters) and
//                                ext4 volumes of those seeds, laid out by
//                                mtools and mke2fs
//                                (image_builder/filesystem_volumes.h);
//                                KIND ("FAT16 2K", "ext4") only that one;
//                                STORE_QUALITY_WHY=1 describes each loss;
//                                STORE_QUALITY_KEEP=DIR copies each volume
//                                with a loss into DIR
//
// STORE_QUALITY_PER_SEED=1 prints every seed's line as well.
// STORE_QUALITY_CPU=1 times in processor seconds instead of wall seconds.
// STORE_QUALITY_LOSSES=1 prints, per seed, why the real messages that
// store-aware mode did not write whole are lost (an output stops early, one
// goes wrong at a successor block or in a block's data, none starts like
// the message); with STORE_QUALITY_WHY=1 also each wrong one's blocks and
// where each stopped one stops (STORE_QUALITY_BLOCKS=1: with the message's
// blocks), and with STORE_QUALITY_TEXT=1 the text where it leaves the
// message.
// STORE_QUALITY_WRONG=1 describes each unflagged wrong output
// (STORE_QUALITY_BLOCKS=1: with its blocks).
// STORE_QUALITY_PROFILE=classic or store-aware only recovers into files,
// in that mode, five times per seed, and prints the processor seconds: a
// run to profile one mode's whole recovery alone.
// STORE_QUALITY_DIGEST=1 prints, per layout, a digest of every store-aware
// output (its bytes, blocks and whether it is flagged), so that a change
// meant to keep the linking's decisions can be checked to keep them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "assembly/completeness.h"
#include "bench_images.h"
#include "image_builder/colliding_stores.h"
#include "image_builder/filesystem_volumes.h"
#include "image_builder/random.h"
#include "image_builder/block.h"
#include "image_builder/image_builder.h"
#include "image_builder/store_layouts.h"
#include "link/chain_trace.h"
#include "link/classic/classic_linking.h"
#include "link/store_aware/store_aware_linking.h"
#include "output/outfolders.h"
#include "sample/sample_image.h"
#include "scan/fast_scan.h"
#include "session.h"
#include "source/file64.h"
#include "varrow.h"

namespace {

// Bytes [from, to) of text on one line, with CR and LF written out.
std::string Shown(const std::string& text, size_t from, size_t to) {
    std::string shown;
    for (size_t i = from; i < std::min(to, text.size()); ++i) {
        const char c = text[i];
        if (c == '\r')
            shown += "\\r";
        else if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return shown;
}

namespace builder = ostrel::builder;
namespace fs = std::filesystem;

using builder::ClusterOrder;
using builder::ScoredImage;
// Seconds on the wall clock, or with STORE_QUALITY_CPU=1 of the process's
// processor time, which other programs sharing the machine disturb less.
double Now() {
    static const bool cpu = std::getenv("STORE_QUALITY_CPU") != nullptr;
    if (cpu) {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ScoredImage Sample(uint64_t seed) {
    ostrel::sample::SampleImage sample = ostrel::sample::BuildSampleImage(seed);
    return {std::move(sample.bytes), std::move(sample.manifest)};
}

struct Layout {
    const char* name;
    bool hard;  // one of the harder layouts the second total sums
    std::function<ScoredImage(uint64_t)> build;
};

std::vector<Layout> Layouts() {
    return {
        {"contiguous aligned", false,
         [](uint64_t s) { return builder::ContiguousStores(s, true); }},
        {"contiguous unaligned", false,
         [](uint64_t s) { return builder::ContiguousStores(s, false); }},
        {"in order with gaps", false, [](uint64_t s) { return builder::StoresWithGaps(s); }},
        {"shuffled", false,
         [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Shuffled); }},
        {"beside damaged older copy", false,
         [](uint64_t s) { return builder::BesideDamagedOlderCopy(s); }},
        {"interleaved", false,
         [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Interleaved); }},
        {"shuffled identical layouts", false,
         [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Shuffled, 0); }},
        {"in order with gaps 8K", false,
         [](uint64_t s) { return builder::StoresWithGaps(s, 8192); }},
        {"shuffled 16K", false,
         [](uint64_t s) {
             return builder::MixedStores(s, ClusterOrder::Shuffled, builder::kStoreRecordPercent,
                                         16384);
         }},
        {"older copy 2K", false,
         [](uint64_t s) { return builder::BesideDamagedOlderCopy(s, 2048); }},
        {"sample image", false, Sample},
        {"twelve stores 4K overwritten", true,
         [](uint64_t s) { return builder::ManyStores(s, 4096); }},
        {"twelve stores 8K overwritten", true,
         [](uint64_t s) { return builder::ManyStores(s, 8192); }},
        {"versions at 63 sectors", true, [](uint64_t s) { return builder::StoreVersions(s); }},
        {"two volumes, deleted copy", true, [](uint64_t s) { return builder::TwoVolumes(s); }},
        {"scattered single blocks", true,
         [](uint64_t s) { return builder::ScatteredSingleBlocks(s, 15500); }},
    };
}

// A message file kept in memory.
class MemoryFile : public varrow::CFile64 {
public:
    void Write(const void* buffer, uint32_t count) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        text.append(reinterpret_cast<const char*>(bytes), count);
    }
    uint64_t GetLength() const override { return text.size(); }
    std::string text;
};

struct Output {
    std::string text;
    bool flagged = false;
    std::vector<uint64_t> blocks;
};

// FNV-1a over the outputs, in the order the linker wrote them.
uint64_t Digest(const std::vector<Output>& outputs, uint64_t digest) {
    const auto add = [&digest](const void* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            digest ^= static_cast<const uint8_t*>(bytes)[i];
            digest *= 0x100000001B3ull;
        }
    };
    for (const Output& output : outputs) {
        const uint64_t size = output.text.size();
        add(&size, sizeof size);
        add(output.text.data(), output.text.size());
        add(&output.flagged, sizeof output.flagged);
        add(output.blocks.data(), output.blocks.size() * sizeof(uint64_t));
    }
    return digest;
}

struct Figures {
    size_t real = 0, exact = 0, outputs = 0, wrong = 0, flagged = 0;
    // Outputs that are real messages, byte for byte, yet flagged incomplete.
    size_t exactFlagged = 0;
    double linkSeconds = 0, recoverSeconds = 0;
    size_t blocks = 0, memory = 0, links = 0, blocked = 0;

    Figures& operator+=(const Figures& o) {
        real += o.real, exact += o.exact, outputs += o.outputs, wrong += o.wrong,
            flagged += o.flagged, exactFlagged += o.exactFlagged;
        linkSeconds += o.linkSeconds, recoverSeconds += o.recoverSeconds;
        blocks += o.blocks, memory += o.memory, links += o.links, blocked += o.blocked;
        return *this;
    }
};

// Why a real message was not written whole: an output is a prefix of it
// (stopped), an output starts like it and goes wrong, or none starts like it.
struct Losses {
    size_t stopped = 0, wrong = 0, noHead = 0;
    // Of the wrong ones: the output's chain leaves the message's blocks
    // (a wrong successor), or keeps them and reads other bytes (a block's
    // data read across a boundary from elsewhere); and how many of the
    // wrong outputs are flagged.
    size_t wrongSuccessor = 0, wrongData = 0, wrongFlagged = 0;
};

void Score(const builder::Manifest& manifest, const std::vector<Output>& outputs, Figures& figures,
           Losses* losses = nullptr) {
    std::map<std::string, size_t> written;
    for (const Output& output : outputs) ++written[output.text];
    std::map<std::string, bool> known;
    for (const builder::PlacedMessage& message : manifest.messages) known[message.text] = true;
    for (const builder::PlacedMessage& message : manifest.messages) {
        if (!message.Intact()) continue;
        ++figures.real;
        auto it = written.find(message.text);
        if (it != written.end() && it->second > 0) {
            --it->second;
            ++figures.exact;
            continue;
        }
        if (!losses) continue;
        const std::string start = message.text.substr(0, 200);
        bool stopped = false, wrong = false;
        const Output* wrongOutput = nullptr;
        for (const Output& output : outputs) {
            if (output.text.size() < message.text.size() &&
                message.text.compare(0, output.text.size(), output.text) == 0 &&
                output.text.size() >= std::min<size_t>(start.size(), 64)) {
                stopped = true;
            } else if (output.text.compare(0, start.size(), start) == 0) {
                wrong = true;
                if (!wrongOutput && !output.blocks.empty() &&
                    output.blocks.front() == message.blocks.front().position)
                    wrongOutput = &output;
            }
        }
        if (!stopped && wrong && wrongOutput) {
            size_t same = 0;
            while (same < wrongOutput->blocks.size() && same < message.blocks.size() &&
                   wrongOutput->blocks[same] == message.blocks[same].position)
                ++same;
            const bool successor =
                same < wrongOutput->blocks.size() || same < message.blocks.size();
            losses->wrongSuccessor += successor;
            losses->wrongData += !successor;
            losses->wrongFlagged += wrongOutput->flagged;
            if (std::getenv("STORE_QUALITY_WHY")) {
                std::printf("    lost %s: %zu of %zu blocks kept, output %zu blocks %s; at %zu: "
                            "message %llx/%x, output %llx\n",
                            successor ? "at successor" : "in data", same, message.blocks.size(),
                            wrongOutput->blocks.size(), wrongOutput->flagged ? "flagged" : "unflagged",
                            same,
                            same < message.blocks.size()
                                ? static_cast<unsigned long long>(message.blocks[same].position)
                                : 0ull,
                            same < message.blocks.size() ? message.blocks[same].offset : 0u,
                            same < wrongOutput->blocks.size()
                                ? static_cast<unsigned long long>(wrongOutput->blocks[same])
                                : 0ull);
                if (std::getenv("STORE_QUALITY_TEXT")) {
                    size_t at = 0;
                    while (at < wrongOutput->text.size() && at < message.text.size() &&
                           wrongOutput->text[at] == message.text[at])
                        ++at;
                    const size_t from = at > 300 ? at - 300 : 0;
                    std::printf(
                        "      at byte %zu of %zu / output %zu\n      before: %s\n      real:   "
                        "%s\n      output: %s\n",
                        at, message.text.size(), wrongOutput->text.size(),
                        Shown(message.text, from, at).c_str(),
                        Shown(message.text, at, at + 200).c_str(),
                        Shown(wrongOutput->text, at, at + 200).c_str());
                }
            }
        }
        if (!stopped && wrong && !wrongOutput && std::getenv("STORE_QUALITY_WHY")) {
            // No output starts at the message's first block: where those
            // that start like it do.
            std::printf("    lost elsewhere: message of %zu blocks from %llx/%x;",
                        message.blocks.size(),
                        static_cast<unsigned long long>(message.blocks.front().position),
                        message.blocks.front().offset);
            if (std::getenv("STORE_QUALITY_BLOCKS")) {
                for (const auto& block : message.blocks)
                    std::printf(" %llx/%x", static_cast<unsigned long long>(block.position),
                                block.offset);
                std::printf(";");
            }
            for (const Output& output : outputs) {
                if (output.text.compare(0, start.size(), start) == 0 && !output.blocks.empty())
                    std::printf(" output of %zu blocks from %llx%s", output.blocks.size(),
                                static_cast<unsigned long long>(output.blocks.front()),
                                output.flagged ? " (flagged)" : "");
            }
            std::printf("\n");
        }
        if (stopped && std::getenv("STORE_QUALITY_WHY")) {
            // The longest output the message starts with: where it stops.
            size_t longest = 0;
            for (const Output& output : outputs) {
                if (output.text.size() < message.text.size() &&
                    message.text.compare(0, output.text.size(), output.text) == 0)
                    longest = std::max(longest, output.text.size());
            }
            std::printf("    lost stopped: output %zu of %zu bytes, message of %zu blocks\n", longest,
                        message.text.size(), message.blocks.size());
            if (std::getenv("STORE_QUALITY_BLOCKS")) {
                for (const auto& block : message.blocks)
                    std::printf("      block %llx/%x\n",
                                static_cast<unsigned long long>(block.position), block.offset);
            }
        }
        if (!stopped && !wrong && std::getenv("STORE_QUALITY_WHY")) {
            std::printf("    lost without head: message of %zu blocks", message.blocks.size());
            if (std::getenv("STORE_QUALITY_BLOCKS")) {
                for (const auto& block : message.blocks)
                    std::printf(" %llx/%x", static_cast<unsigned long long>(block.position),
                                block.offset);
            }
            std::printf("\n");
        }
        if (stopped)
            ++losses->stopped;
        else if (wrong)
            ++losses->wrong;
        else
            ++losses->noHead;
    }
    figures.outputs += outputs.size();
    for (const Output& output : outputs) {
        if (known.count(output.text) != 0) {
            figures.exactFlagged += output.flagged;
            continue;
        }
        if (output.flagged) {
            ++figures.flagged;
            continue;
        }
        ++figures.wrong;
        if (losses && std::getenv("STORE_QUALITY_WRONG")) {
            // The real message it shares the longest beginning with.
            size_t best = 0;
            const builder::PlacedMessage* like = nullptr;
            for (const builder::PlacedMessage& message : manifest.messages) {
                size_t same = 0;
                while (same < output.text.size() && same < message.text.size() &&
                       output.text[same] == message.text[same]) {
                    ++same;
                }
                if (same > best) best = same, like = &message;
            }
            std::printf(
                "    wrong output of %zu bytes: the first %zu are those of a message of %zu bytes "
                "(%s, %s)\n",
                output.text.size(), best, like ? like->text.size() : 0,
                like ? manifest.files[like->file].name.c_str() : "-",
                like ? (like->Intact() ? "intact" : "not intact") : "-");
            if (!like && std::getenv("STORE_QUALITY_TEXT")) {
                std::printf("      begins: %s\n", Shown(output.text, 0, 160).c_str());
            }
            if (like && std::getenv("STORE_QUALITY_TEXT")) {
                // Where the two part, from a little before.
                const size_t from = best > 40 ? best - 40 : 0;
                std::printf("      output goes on: %s\n      message goes on: %s\n",
                            Shown(output.text, from, from + 120).c_str(),
                            Shown(like->text, from, from + 120).c_str());
            }
            if (std::getenv("STORE_QUALITY_BLOCKS") && !like) {
                std::printf("      output blocks:");
                for (const uint64_t b : output.blocks)
                    std::printf(" %llx", static_cast<unsigned long long>(b));
                std::printf("\n");
            }
            if (std::getenv("STORE_QUALITY_BLOCKS") && like) {
                std::printf("      output blocks:");
                for (const uint64_t b : output.blocks)
                    std::printf(" %llx", static_cast<unsigned long long>(b));
                std::printf("\n      message blocks:");
                for (const auto& b : like->blocks)
                    std::printf(" %llx/%x", static_cast<unsigned long long>(b.position), b.offset);
                std::printf("\n");
            }
        }
    }
}

int32_t VARROW_CALL Quiet(int32_t, void*, void*) { return 0; }

double RecoverSeconds(const std::string& image, const std::string& output, uint32_t options) {
    fs::remove_all(output);
    fs::create_directory(output);
    varrow::SetSubfolderCounter(1);
    RecoveryParams params{};
    params.sourcePath = image.c_str();
    params.destFolder = output.c_str();
    params.options = options;
    params.callback = &Quiet;
    auto* bytes = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    const double start = Now();
    RecoverMessages(&params);
    const double seconds = Now() - start;
    fs::remove_all(output);
    return seconds;
}

// Scan, link and every chain into memory, timed.
std::vector<Output> Link(const std::string& path, bool storeAware, Figures& figures) {
    const double start = Now();
    varrow::RecoverySession session(nullptr, nullptr);
    varrow::CFile64Ex source;
    if (!source.Open(path, varrow::CFile64::modeRead | varrow::CFile64::typeBinary, nullptr))
        return {};
    std::unique_ptr<varrow::MessageLinker> linker;
    varrow::StoreAwareLinker* aware = nullptr;
    if (storeAware) {
        auto owned = std::make_unique<varrow::StoreAwareLinker>();
        aware = owned.get();
        linker = std::move(owned);
    } else {
        linker = std::make_unique<varrow::ClassicLinker>(session.linkedBlocks, session.chainHeads);
    }
    varrow::ScanBlocksFast(session, source, linker->Collector());
    const double scanned = Now();
    linker->ValidateHeads(session, source);
    const double validated = Now();
    std::vector<Output> outputs;
    for (const uint32_t offset : linker->HeadOffsets()) {
        for (const uint64_t position : linker->HeadPositions(offset)) {
            MemoryFile file;
            varrow::ChainTrace trace;
            linker->WriteChain(source, offset, position, file, trace);
            const bool header = varrow::StartsWithHeaderLine(
                reinterpret_cast<const uint8_t*>(file.text.data()), file.text.size());
            const bool flagged = varrow::IncompleteReasons(trace, header) != 0;
            outputs.push_back({std::move(file.text), flagged, trace.blocks});
        }
    }
    figures.linkSeconds += Now() - start;
    if (std::getenv("STORE_QUALITY_PHASES")) {
        std::printf("  %s: scan %.2f s, linking and heads %.2f s, chains %.2f s\n",
                    storeAware ? "store-aware" : "classic",
                    scanned - start,
                    validated - scanned,
                    Now() - validated);
    }
    if (aware) {
        figures.blocks += aware->BlockCount();
        figures.memory += aware->MemoryUsed();
        figures.links += aware->Stores().LinkCount();
        figures.blocked += aware->Stores().BlockedCount();
    } else {
        size_t blocks = 0;
        for (const uint32_t offset : session.linkedBlocks.OffsetsInWalkingOrder()) {
            blocks += session.linkedBlocks.Find(offset)->size();
        }
        for (const uint32_t offset : session.chainHeads.OffsetsInWalkingOrder()) {
            blocks += session.chainHeads.Find(offset)->size();
        }
        figures.blocks += blocks;
        figures.memory += session.linkedBlocks.MemoryUsed() + session.chainHeads.MemoryUsed();
    }
    return outputs;
}

void Print(const Figures& f) {
    const double perBlock =
        f.blocks ? static_cast<double>(f.memory) / static_cast<double>(f.blocks) : 0.0;
    std::printf("%5zu/%-5zu %4zu of %5zu %6.2f %6.2f %5.1f", f.exact, f.real, f.wrong, f.outputs,
                f.linkSeconds, f.recoverSeconds, perBlock);
}

void PrintLine(const std::string& name, const Figures& classic, const Figures& aware) {
    std::printf("%-30s | ", name.c_str());
    Print(classic);
    std::printf(" | ");
    Print(aware);
    std::printf(" | %zu, %zu, %zu\n", aware.links, aware.blocked, aware.exactFlagged);
    std::fflush(stdout);
}

}  // namespace

// Time and memory of both modes over the mixed benchmark image.
int Mixed(uint64_t mebibytes) {
    const fs::path folder =
        fs::temp_directory_path() / ("ostrel-store-quality-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string image = (folder / "mixed.bin").string();
    const std::string output = (folder / "out").string();
    const size_t messages = ostrel::bench::WriteMixedImage(image, mebibytes << 20, 0.125, 7);
    std::printf("mixed image of %llu MiB, %zu messages\n",
                static_cast<unsigned long long>(mebibytes), messages);
    for (int round = 0; round < 2; ++round) {
        Figures c, a;
        const std::vector<Output> classic = Link(image, false, c);
        const std::vector<Output> aware = Link(image, true, a);
        c.recoverSeconds = RecoverSeconds(image, output, 0);
        a.recoverSeconds = RecoverSeconds(image, output, VARROW_OPTION_STORE_AWARE);
        size_t differ = 0;
        for (size_t i = 0; i < std::min(classic.size(), aware.size()); ++i)
            differ += classic[i].text != aware[i].text;
        std::printf("round %d: outputs %zu / %zu, %zu differ; blocks %zu\n", round + 1,
                    classic.size(), aware.size(), differ, a.blocks);
        PrintLine("mixed image", c, a);
    }
    fs::remove_all(folder);
    return 0;
}

// copies store files of eight 4 KiB clusters, all with their blocks at the
// same offsets (three-block messages on the 0x210 grid from 0x1000) and
// each with its own text, their clusters shuffled over the image.
std::vector<uint8_t> CopiesImage(size_t copies) {
    constexpr uint32_t kCluster = 4096, kClusters = 8, kSpan = 0x210, kFirst = 0x1000;
    constexpr uint32_t kEnd = kFirst + kClusters * kCluster;
    builder::Random random(copies);
    std::vector<std::vector<uint8_t>> files(copies);
    for (size_t c = 0; c < copies; ++c) {
        std::vector<uint8_t>& file = files[c];
        file.assign(kEnd + kCluster, 0);
        for (uint32_t offset = kFirst, block = 0; offset + kSpan <= kEnd;
             offset += kSpan, ++block) {
            std::string data;
            if (block % 3 == 0)
                data = "Subject: copy " + std::to_string(c) + " block " + std::to_string(block) +
                       "\r\n\r\n";
            while (data.size() < 512) {
                data += static_cast<char>('a' + random.Below(26));
                if (random.Percent(15)) data += ' ';
                if (random.Percent(2)) data += "\r\n";
            }
            data.resize(512);
            const bool last = block % 3 == 2 || offset + 2 * kSpan > kEnd;
            builder::WriteBlock(file, offset,
                                builder::BlockFields{offset, 512, 512, last ? 0 : offset + kSpan},
                                data);
        }
    }
    std::vector<std::pair<size_t, uint32_t>> slots;  // (copy, file cluster)
    for (size_t c = 0; c < copies; ++c) {
        for (uint32_t k = kFirst / kCluster; k < kEnd / kCluster; ++k) slots.emplace_back(c, k);
    }
    random.Shuffle(slots);
    std::vector<uint8_t> image((slots.size() + 2) * kCluster, 0);
    for (size_t slot = 0; slot < slots.size(); ++slot) {
        const auto& [copy, k] = slots[slot];
        std::copy_n(files[copy].begin() + static_cast<ptrdiff_t>(k * kCluster), kCluster,
                    image.begin() + static_cast<ptrdiff_t>((slot + 1) * kCluster));
    }
    return image;
}

// Linking time of both modes as the copies of one layout grow.
int Copies(size_t most) {
    const fs::path folder =
        fs::temp_directory_path() / ("ostrel-store-quality-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string image = (folder / "copies.bin").string();
    std::printf(
        "copies | classic: outputs, seconds | store-aware: outputs, seconds, links, blocked\n");
    for (const size_t copies : {most / 4, most / 2, most}) {
        if (copies == 0) continue;
        {
            const std::vector<uint8_t> bytes = CopiesImage(copies);
            std::ofstream out(image, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
        Figures c, a;
        const size_t classic = Link(image, false, c).size();
        const size_t aware = Link(image, true, a).size();
        std::printf("%6zu | %6zu %8.2f | %6zu %8.2f %6zu %6zu\n", copies, classic, c.linkSeconds,
                    aware, a.linkSeconds, a.links, a.blocked);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}

// Each real message of volume that store-aware mode did not write whole:
// the output that shares the longest beginning with it, where the two part,
// and the output's blocks from the one before.
void DescribeVolumeLosses(const builder::FileSystemVolume& volume) {
    Figures unused;
    const std::vector<Output> outputs = Link(volume.image, true, unused);
    std::map<std::string, size_t> written;
    for (const Output& output : outputs) ++written[output.text];
    for (const std::string& message : volume.real) {
        const auto it = written.find(message);
        if (it != written.end() && it->second > 0) {
            --it->second;
            continue;
        }
        const Output* closest = nullptr;
        size_t shared = 0;
        for (const Output& output : outputs) {
            size_t at = 0;
            while (at < output.text.size() && at < message.size() && output.text[at] == message[at])
                ++at;
            if (at > shared) shared = at, closest = &output;
        }
        std::printf("    lost: message of %zu bytes", message.size());
        if (!closest) {
            std::printf(", no output begins like it\n");
            continue;
        }
        std::printf(", output of %zu bytes %s parts at byte %zu; blocks", closest->text.size(),
                    closest->flagged ? "(flagged)" : "(unflagged)", shared);
        // A full block carries 0x1f0 bytes of text.
        const size_t block = shared / 0x1f0;
        for (size_t b = block > 0 ? block - 1 : 0; b < std::min(block + 3, closest->blocks.size());
             ++b)
            std::printf(" %zu:%llx", b, static_cast<unsigned long long>(closest->blocks[b]));
        std::printf("\n      before: %s\n      real:   %s\n      output: %s\n",
                    Shown(message, shared > 200 ? shared - 200 : 0, shared).c_str(),
                    Shown(message, shared, shared + 160).c_str(),
                    Shown(closest->text, shared, shared + 160).c_str());
    }
}

// Both modes over the FAT16 and ext4 volumes of seeds first..last, whose
// stores real file system code laid out.
int FileSystems(uint64_t first, uint64_t last, const std::string& only) {
    const fs::path folder =
        fs::temp_directory_path() / ("ostrel-store-quality-" + std::to_string(getpid()));
    using Make =
        std::function<std::optional<builder::FileSystemVolume>(uint64_t, const std::string&)>;
    struct Kind {
        const char* name;
        bool (*have)();
        Make make;
    };
    const auto fat = [](unsigned sectors, bool fat32 = false) -> Make {
        return [sectors, fat32](uint64_t seed, const std::string& folder) {
            return builder::MakeFatVolume(seed, folder, sectors, fat32);
        };
    };
    const Kind kinds[] = {{"FAT32 512", builder::HaveFatTools, fat(1, true)},
                          {"FAT32 4K", builder::HaveFatTools, fat(8, true)},
                          {"FAT16 1K", builder::HaveFatTools, fat(2)},
                          {"FAT16 2K", builder::HaveFatTools, fat(4)},
                          {"FAT16 4K", builder::HaveFatTools, fat(8)},
                          {"FAT16 8K", builder::HaveFatTools, fat(16)},
                          {"FAT16 16K", builder::HaveFatTools, fat(32)},
                          {"ext4", builder::HaveExt4Tools, builder::MakeExt4Volume}};
    std::printf("seeds %llu..%llu: exact/real messages, unflagged wrong outputs\n",
                static_cast<unsigned long long>(first), static_cast<unsigned long long>(last));
    for (const Kind& kind : kinds) {
        if (!only.empty() && only != kind.name) continue;
        if (!kind.have()) {
            std::printf("%-8s | the tools to make its volumes are not installed\n", kind.name);
            continue;
        }
        size_t real = 0;
        builder::VolumeQuality classic, aware;
        for (uint64_t seed = first; seed <= last; ++seed) {
            fs::remove_all(folder);
            fs::create_directories(folder);
            const std::optional<builder::FileSystemVolume> volume =
                kind.make(seed, folder.string());
            if (!volume) {
                std::printf("%-8s | seed %llu: the volume could not be made\n", kind.name,
                            static_cast<unsigned long long>(seed));
                continue;
            }
            Figures unused;
            const auto judge = [&](bool storeAware) {
                std::vector<std::pair<std::string, bool>> outputs;
                for (Output& output : Link(volume->image, storeAware, unused))
                    outputs.emplace_back(std::move(output.text), output.flagged);
                return builder::JudgeVolume(*volume, outputs);
            };
            const builder::VolumeQuality c = judge(false), a = judge(true);
            if (std::getenv("STORE_QUALITY_WHY")) DescribeVolumeLosses(*volume);
            if (const char* keep = std::getenv("STORE_QUALITY_KEEP");
                keep && (a.exact < volume->real.size() || a.wrong)) {
                const std::string kept =
                    std::string(keep) + "/" + kind.name + " " + std::to_string(seed) + ".img";
                fs::copy_file(volume->image, kept, fs::copy_options::overwrite_existing);
            }
            if (std::getenv("STORE_QUALITY_PER_SEED") || a.exact < volume->real.size() || a.wrong)
                std::printf(
                    "  %s seed %llu: classic %zu/%zu, %zu wrong; store-aware %zu/%zu, %zu wrong\n",
                    kind.name, static_cast<unsigned long long>(seed), c.exact, volume->real.size(),
                    c.wrong, a.exact, volume->real.size(), a.wrong);
            real += volume->real.size();
            classic.exact += c.exact, classic.wrong += c.wrong;
            aware.exact += a.exact, aware.wrong += a.wrong;
        }
        std::printf("%-9s | classic %6zu/%-6zu %4zu wrong | store-aware %6zu/%-6zu %4zu wrong\n",
                    kind.name, classic.exact, real, classic.wrong, aware.exact, real, aware.wrong);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--mixed") == 0)
        return Mixed(std::strtoull(argv[2], nullptr, 10));
    if (argc > 3 && std::strcmp(argv[1], "--filesystems") == 0)
        return FileSystems(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                           argc > 4 ? argv[4] : "");
    if (argc > 2 && std::strcmp(argv[1], "--copies") == 0)
        return Copies(std::strtoull(argv[2], nullptr, 10));
    const uint64_t first = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const uint64_t last = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : first + 2;
    const std::string only = argc > 3 ? argv[3] : "";
    const bool perSeed = std::getenv("STORE_QUALITY_PER_SEED") != nullptr;

    const fs::path folder =
        fs::temp_directory_path() / ("ostrel-store-quality-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string image = (folder / "image.bin").string();
    const std::string output = (folder / "out").string();

    std::printf(
        "seeds %llu..%llu. Per mode: exact/real messages, unflagged wrong of outputs,\n"
        "seconds to link into memory and to recover into files, linking bytes per block;\n"
        "store-aware also: links, blocked ends, real messages written whole but flagged\n",
        static_cast<unsigned long long>(first), static_cast<unsigned long long>(last));
    std::printf("%-30s | %-45s | %-45s |\n", "layout", "classic", "store-aware");
    Figures allClassic, allAware, hardClassic, hardAware;
    for (const Layout& layout : Layouts()) {
        if (!only.empty() && std::string(layout.name).find(only) == std::string::npos) continue;
        Figures classic, aware;
        uint64_t digest = 0xCBF29CE484222325ull;
        for (uint64_t seed = first; seed <= last; ++seed) {
            const ScoredImage built = layout.build(seed);
            {
                std::ofstream out(image, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(built.bytes.data()),
                          static_cast<std::streamsize>(built.bytes.size()));
            }
            if (const char* mode = std::getenv("STORE_QUALITY_PROFILE")) {
                const uint32_t options =
                    std::strcmp(mode, "classic") == 0 ? 0 : VARROW_OPTION_STORE_AWARE;
                double seconds = 0;
                for (int round = 0; round < 5; ++round)
                    seconds += RecoverSeconds(image, output, options);
                std::printf("  %s #%llu %s: %.3f s for five recoveries\n", layout.name,
                            static_cast<unsigned long long>(seed), mode, seconds);
                continue;
            }
            Figures c, a;
            Losses losses;
            Score(built.manifest, Link(image, false, c), c);
            const std::vector<Output> outputs = Link(image, true, a);
            digest = Digest(outputs, digest);
            Score(built.manifest, outputs, a, &losses);
            if (std::getenv("STORE_QUALITY_LOSSES")) {
                std::printf(
                    "  %s #%llu store-aware losses: %zu stopped, %zu gone wrong (%zu at a "
                    "successor, %zu in data, %zu flagged), %zu without head\n",
                    layout.name, static_cast<unsigned long long>(seed), losses.stopped,
                    losses.wrong, losses.wrongSuccessor, losses.wrongData, losses.wrongFlagged,
                    losses.noHead);
            }
            c.recoverSeconds = RecoverSeconds(image, output, 0);
            a.recoverSeconds = RecoverSeconds(image, output, VARROW_OPTION_STORE_AWARE);
            if (perSeed)
                PrintLine("  " + std::string(layout.name) + " #" + std::to_string(seed), c, a);
            classic += c;
            aware += a;
        }
        PrintLine(layout.name, classic, aware);
        if (std::getenv("STORE_QUALITY_DIGEST"))
            std::printf("  store-aware outputs digest %016llx\n",
                        static_cast<unsigned long long>(digest));
        allClassic += classic;
        allAware += aware;
        if (layout.hard) {
            hardClassic += classic;
            hardAware += aware;
        }
    }
    PrintLine("harder layouts", hardClassic, hardAware);
    PrintLine("all layouts", allClassic, allAware);
    fs::remove_all(folder);
    return 0;
}
