// How well each linking mode recovers the messages of several colliding
// stores: builds disk images with the image builder in varied layouts and
// seeds, runs RecoverMessages in classic and store-aware mode, and prints,
// per layout and mode, the real messages written byte for byte and the
// outputs that match no real message. Figures only; nothing is judged here.
//
//   store_quality [first seed] [last seed] [layout name part]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "file64.h"
#include "image_builder/colliding_stores.h"
#include "image_builder/image_builder.h"
#include "outfolders.h"
#include "sample/sample_image.h"
#include "scan.h"
#include "session.h"
#include "store_aware_linking.h"
#include "varrow.h"

namespace {

namespace builder = ostrel::builder;
namespace fs = std::filesystem;

using builder::ClusterOrder;
using builder::ScoredImage;
using Score = builder::RecoveryScore;

ScoredImage Sample(uint64_t seed) {
    ostrel::sample::SampleImage sample = ostrel::sample::BuildSampleImage(seed);
    return {std::move(sample.bytes), std::move(sample.manifest)};
}

struct Layout {
    const char* name;
    bool core;  // one of the five layouts the totals are summed over
    std::function<ScoredImage(uint64_t)> build;
};

std::vector<Layout> Layouts() {
    return {
        {"contiguous aligned", true, [](uint64_t s) { return builder::ContiguousStores(s, true); }},
        {"contiguous unaligned", true, [](uint64_t s) { return builder::ContiguousStores(s, false); }},
        {"in order with gaps", true, [](uint64_t s) { return builder::StoresWithGaps(s); }},
        {"shuffled", true, [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Shuffled); }},
        {"beside damaged older copy", true, [](uint64_t s) { return builder::BesideDamagedOlderCopy(s); }},
        {"interleaved", false, [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Interleaved); }},
        {"shuffled identical layouts", false,
         [](uint64_t s) { return builder::MixedStores(s, ClusterOrder::Shuffled, 0); }},
        {"in order with gaps 8K", false, [](uint64_t s) { return builder::StoresWithGaps(s, 8192); }},
        {"shuffled 16K", false,
         [](uint64_t s) {
             return builder::MixedStores(s, ClusterOrder::Shuffled, builder::kStoreRecordPercent, 16384);
         }},
        {"older copy 2K", false, [](uint64_t s) { return builder::BesideDamagedOlderCopy(s, 2048); }},
        {"sample image", false, Sample},
    };
}

int32_t VARROW_CALL Quiet(int32_t, void*, void*) { return 0; }

std::vector<std::string> Recover(const std::string& image, const std::string& output, uint32_t options) {
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
    RecoverMessages(&params);
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(output)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove_all(output);
    return files;
}

struct LinkingFacts {
    uint32_t clusterSize = 0;
    size_t repairs = 0;
    size_t blocks = 0;
    size_t memory = 0;
};

LinkingFacts Link(const std::string& path) {
    varrow::RecoverySession session(nullptr, nullptr);
    varrow::CFile64Ex source;
    if (!source.Open(path, varrow::CFile64::modeRead | varrow::CFile64::typeBinary, nullptr)) return {};
    varrow::StoreAwareLinker linker;
    varrow::ScanBlocks(session, source, linker.Collector());
    linker.ValidateHeads(session, source);
    return {linker.ClusterSize(), linker.RepairCount(), linker.BlockCount(), linker.MemoryUsed()};
}

void PrintScore(const Score& score) {
    std::printf("%5zu/%-5zu %4zu of %5zu", score.exact, score.real, score.unmatched, score.outputs);
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t first = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const uint64_t last = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : first + 2;
    const std::string only = argc > 3 ? argv[3] : "";
    const bool perSeed = std::getenv("STORE_QUALITY_PER_SEED") != nullptr;

    const fs::path folder = fs::temp_directory_path() / ("ostrel-store-quality-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string image = (folder / "image.bin").string();
    const std::string output = (folder / "out").string();

    std::printf("seeds %llu..%llu; per layout: exact/real, unmatched of outputs\n",
                static_cast<unsigned long long>(first), static_cast<unsigned long long>(last));
    std::printf("%-27s | %-24s | %-24s | %s\n", "layout", "classic", "store-aware",
                "C found, repairs, linker bytes per block (fixed tables included)");
    Score coreClassic, coreAware, allClassic, allAware;
    for (const Layout& layout : Layouts()) {
        if (!only.empty() && std::string(layout.name).find(only) == std::string::npos) continue;
        Score classic, aware;
        std::map<uint32_t, int> clusterSizes;
        size_t repairs = 0, blocks = 0, memory = 0;
        for (uint64_t seed = first; seed <= last; ++seed) {
            const ScoredImage built = layout.build(seed);
            {
                std::ofstream out(image, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(built.bytes.data()),
                          static_cast<std::streamsize>(built.bytes.size()));
            }
            const Score c = builder::ScoreOutputs(built.manifest, Recover(image, output, 0));
            const Score a = builder::ScoreOutputs(built.manifest, Recover(image, output, VARROW_OPTION_STORE_AWARE));
            const LinkingFacts facts = Link(image);
            classic += c;
            aware += a;
            ++clusterSizes[facts.clusterSize];
            repairs += facts.repairs;
            blocks += facts.blocks;
            memory += facts.memory;
            if (perSeed) {
                std::printf("  %-25s | ", (std::string(layout.name) + " #" + std::to_string(seed)).c_str());
                PrintScore(c);
                std::printf(" | ");
                PrintScore(a);
                std::printf(" | %u, %zu\n", facts.clusterSize, facts.repairs);
            }
        }
        std::printf("%-27s | ", layout.name);
        PrintScore(classic);
        std::printf(" | ");
        PrintScore(aware);
        std::printf(" |");
        for (const auto& [size, count] : clusterSizes) std::printf(" %ux%d", size, count);
        const double perBlock = blocks ? static_cast<double>(memory) / static_cast<double>(blocks) : 0.0;
        std::printf(", %zu, %.1f\n", repairs, perBlock);
        if (layout.core) {
            coreClassic += classic;
            coreAware += aware;
        }
        allClassic += classic;
        allAware += aware;
        std::fflush(stdout);
    }
    std::printf("%-27s | ", "five core layouts");
    PrintScore(coreClassic);
    std::printf(" | ");
    PrintScore(coreAware);
    std::printf("\n%-27s | ", "all layouts");
    PrintScore(allClassic);
    std::printf(" | ");
    PrintScore(allAware);
    std::printf("\n");
    fs::remove_all(folder);
    return 0;
}
