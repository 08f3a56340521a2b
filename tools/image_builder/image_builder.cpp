#include "image_builder/image_builder.h"

#include <algorithm>
#include <stdexcept>

#include "image_builder/block.h"

namespace ostrel::builder {
namespace {

uint64_t ClusterCount(uint64_t size, uint32_t clusterSize) { return (size + clusterSize - 1) / clusterSize; }

bool Overlaps(uint64_t aBegin, uint64_t aEnd, uint64_t bBegin, uint64_t bEnd) {
    return aBegin < bEnd && bBegin < aEnd;
}

}  // namespace

ImageBuilder::ImageBuilder(uint64_t seed) : random_(seed) {}

void ImageBuilder::AddNoise(uint64_t position, uint64_t length, NoiseKind kind) {
    if (image_.size() < position + length) image_.resize(position + length, 0);
    FillNoise(image_.data() + position, length, kind, random_);
    owners_.Assign(position, position + length, 0);
}

uint64_t ImageBuilder::AppendNoise(uint64_t length, NoiseKind kind) {
    const uint64_t position = Size();
    AddNoise(position, length, kind);
    return position;
}

NoiseKind ImageBuilder::RandomNoiseKind() {
    const uint64_t roll = random_.Below(10);
    return roll < 5 ? NoiseKind::Random : roll < 8 ? NoiseKind::Text : NoiseKind::Zeros;
}

void ImageBuilder::PadToCluster(uint32_t clusterSize) {
    if (Size() % clusterSize != 0) AppendNoise(clusterSize - Size() % clusterSize, NoiseKind::Random);
}

size_t ImageBuilder::AddFile(const std::string& name, const StoreBuilder& store, uint32_t clusterSize) {
    if (clusterSize == 0) throw std::invalid_argument("cluster size 0");
    File file;
    file.placed = {name, store.Bytes().size(), clusterSize, {}};
    file.messages = store.Messages();
    files_.push_back(std::move(file));
    return files_.size() - 1;
}

void ImageBuilder::WritePiece(File& file, uint64_t fileOffset, uint64_t position, uint64_t length,
                              const std::vector<uint8_t>& bytes) {
    if (image_.size() < position + length) image_.resize(position + length, 0);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(fileOffset), length,
                image_.begin() + static_cast<std::ptrdiff_t>(position));
    const uint32_t owner = nextOwner_++;
    owners_.Assign(position, position + length, owner);
    file.pieces.push_back({{fileOffset, position, length}, owner});
    // Kept in file order, whatever order the pieces were written in.
    std::sort(file.pieces.begin(), file.pieces.end(),
              [](const Piece& a, const Piece& b) { return a.where.fileOffset < b.where.fileOffset; });
}

size_t ImageBuilder::PlaceContiguous(const std::string& name, const StoreBuilder& store, uint64_t position,
                                     uint32_t clusterSize) {
    const size_t index = AddFile(name, store, clusterSize);
    WritePiece(files_[index], 0, position, store.Bytes().size(), store.Bytes());
    return index;
}

size_t ImageBuilder::PlaceClusters(const std::string& name, const StoreBuilder& store, uint32_t clusterSize,
                                   const std::vector<uint64_t>& positions) {
    const uint64_t size = store.Bytes().size();
    if (clusterSize == 0 || positions.size() != ClusterCount(size, clusterSize)) {
        throw std::invalid_argument("one position per cluster needed");
    }
    const size_t index = AddFile(name, store, clusterSize);
    for (size_t i = 0; i < positions.size(); ++i) {
        const uint64_t offset = i * uint64_t{clusterSize};
        WritePiece(files_[index], offset, positions[i], std::min<uint64_t>(clusterSize, size - offset), store.Bytes());
    }
    return index;
}

size_t ImageBuilder::AppendWithGaps(const std::string& name, const StoreBuilder& store, uint32_t clusterSize,
                                    unsigned gapPercent, unsigned maxGapClusters) {
    if (clusterSize == 0) throw std::invalid_argument("cluster size 0");
    PadToCluster(clusterSize);
    const uint64_t clusters = ClusterCount(store.Bytes().size(), clusterSize);
    std::vector<uint64_t> positions;
    uint64_t position = Size();
    for (uint64_t i = 0; i < clusters; ++i) {
        positions.push_back(position);
        position += clusterSize;
        if (i + 1 < clusters && maxGapClusters > 0 && random_.Percent(gapPercent)) {
            const uint64_t gap = random_.Between(1, maxGapClusters) * clusterSize;
            AddNoise(position, gap, RandomNoiseKind());
            position += gap;
        }
    }
    return PlaceClusters(name, store, clusterSize, positions);
}

std::vector<size_t> ImageBuilder::AppendMixed(const std::vector<NamedStore>& stores, uint32_t clusterSize,
                                              size_t noiseClusters, ClusterOrder order) {
    if (clusterSize == 0) throw std::invalid_argument("cluster size 0");
    PadToCluster(clusterSize);
    constexpr size_t kNoise = SIZE_MAX;
    std::vector<size_t> slots(noiseClusters, kNoise);
    for (size_t s = 0; s < stores.size(); ++s) {
        slots.insert(slots.end(), ClusterCount(stores[s].store->Bytes().size(), clusterSize), s);
    }
    random_.Shuffle(slots);

    // Which cluster of each store goes into its next slot.
    std::vector<std::vector<uint64_t>> clusterOrder(stores.size());
    for (size_t s = 0; s < stores.size(); ++s) {
        for (uint64_t c = 0; c < ClusterCount(stores[s].store->Bytes().size(), clusterSize); ++c) {
            clusterOrder[s].push_back(c);
        }
        if (order == ClusterOrder::Shuffled) random_.Shuffle(clusterOrder[s]);
    }
    std::vector<std::vector<uint64_t>> positions(stores.size());
    for (size_t s = 0; s < stores.size(); ++s) positions[s].resize(clusterOrder[s].size());
    std::vector<size_t> used(stores.size(), 0);
    const uint64_t base = Size();
    for (size_t slot = 0; slot < slots.size(); ++slot) {
        const uint64_t position = base + slot * uint64_t{clusterSize};
        // Noise under every slot also fills the slack behind a short last cluster.
        AddNoise(position, clusterSize, slots[slot] == kNoise ? RandomNoiseKind() : NoiseKind::Random);
        if (slots[slot] == kNoise) continue;
        const size_t s = slots[slot];
        positions[s][clusterOrder[s][used[s]++]] = position;
    }
    std::vector<size_t> indexes;
    for (size_t s = 0; s < stores.size(); ++s) {
        indexes.push_back(PlaceClusters(stores[s].name, *stores[s].store, clusterSize, positions[s]));
    }
    return indexes;
}

std::vector<ImageBuilder::Piece> ImageBuilder::Locate(const File& file, uint64_t offset, uint64_t length) const {
    std::vector<Piece> found;
    auto it = std::upper_bound(file.pieces.begin(), file.pieces.end(), offset,
                               [](uint64_t value, const Piece& p) { return value < p.where.fileOffset; });
    if (it == file.pieces.begin()) return found;
    --it;
    const uint64_t end = offset + length;
    for (; it != file.pieces.end() && offset < end; ++it) {
        const FilePiece& p = it->where;
        if (p.fileOffset > offset || p.fileOffset + p.length <= offset) break;
        const uint64_t take = std::min(end, p.fileOffset + p.length) - offset;
        found.push_back({{offset, p.position + (offset - p.fileOffset), take}, it->owner});
        offset += take;
    }
    return found;
}

void ImageBuilder::DamageCluster(size_t file, size_t cluster, NoiseKind kind) {
    const File& f = files_.at(file);
    const uint32_t clusterSize = f.placed.clusterSize;
    if (cluster >= ClusterCount(f.placed.size, clusterSize)) throw std::out_of_range("no such cluster");
    const uint64_t offset = cluster * uint64_t{clusterSize};
    for (const Piece& piece : Locate(f, offset, std::min<uint64_t>(clusterSize, f.placed.size - offset))) {
        AddNoise(piece.where.position, piece.where.length, kind);
    }
}

std::vector<size_t> ImageBuilder::DamageClusters(size_t file, size_t count, NoiseKind kind) {
    const File& f = files_.at(file);
    std::vector<size_t> candidates;
    for (uint64_t c = kFirstBlockOffset / f.placed.clusterSize; c < ClusterCount(f.placed.size, f.placed.clusterSize);
         ++c) {
        candidates.push_back(c);
    }
    random_.Shuffle(candidates);
    candidates.resize(std::min(count, candidates.size()));
    std::sort(candidates.begin(), candidates.end());
    for (size_t cluster : candidates) DamageCluster(file, cluster, kind);
    return candidates;
}

std::optional<size_t> ImageBuilder::BreakChain(size_t file, size_t message, NoiseKind kind) {
    const File& f = files_.at(file);
    const std::vector<StoredBlock>& blocks = f.messages.at(message).blocks;
    if (blocks.size() < 3) return std::nullopt;
    const uint32_t clusterSize = f.placed.clusterSize;
    const size_t cluster = blocks[blocks.size() / 2].offset / clusterSize;
    const uint64_t begin = cluster * uint64_t{clusterSize};
    const uint64_t end = begin + clusterSize;
    for (const StoredBlock* kept : {&blocks.front(), &blocks.back()}) {
        if (Overlaps(kept->offset, kept->offset + kHeaderSize + kept->dataLength, begin, end)) return std::nullopt;
    }
    DamageCluster(file, cluster, kind);
    return cluster;
}

Manifest ImageBuilder::BuildManifest() const {
    Manifest manifest;
    for (size_t index = 0; index < files_.size(); ++index) {
        const File& file = files_[index];
        PlacedFile placed = file.placed;
        for (const Piece& piece : file.pieces) placed.pieces.push_back(piece.where);
        manifest.files.push_back(std::move(placed));

        for (const StoredMessage& stored : file.messages) {
            PlacedMessage message{index, stored.text, {}, stored.deleted};
            for (const StoredBlock& block : stored.blocks) {
                const std::vector<Piece> pieces = Locate(file, block.offset, kHeaderSize + block.dataLength);
                const bool present = std::all_of(pieces.begin(), pieces.end(), [&](const Piece& p) {
                    return owners_.Holds(p.where.position, p.where.position + p.where.length, p.owner);
                });
                message.blocks.push_back({block.offset, block.dataLength, block.nextOffset,
                                          pieces.empty() ? 0 : pieces.front().where.position, pieces.size() == 1,
                                          !block.overwritten && !pieces.empty() && present});
            }
            manifest.messages.push_back(std::move(message));
        }
    }
    return manifest;
}

}  // namespace ostrel::builder
