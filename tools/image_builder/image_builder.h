// Lays store files out on a disk image the way a file system leaves them:
// whole, in clusters with gaps, or in clusters shuffled among other files',
// beside noise, with damage; and records a manifest of where everything went.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_builder/manifest.h"
#include "image_builder/noise.h"
#include "image_builder/owner_map.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace ostrel::builder {

inline constexpr uint32_t kDefaultClusterSize = 4096;

// A store to place and the file name it goes under in the manifest.
struct NamedStore {
    std::string name;
    const StoreBuilder* store = nullptr;
};

enum class ClusterOrder {
    Interleaved,  // each file's clusters keep their order; the files interleave
    Shuffled,     // every cluster lands in a random slot
};

class ImageBuilder {
public:
    // An empty image; seed draws all noise and every random layout choice.
    explicit ImageBuilder(uint64_t seed);

    const std::vector<uint8_t>& Bytes() const { return image_; }
    uint64_t Size() const { return image_.size(); }

    // Overwrites [position, position + length) with noise, growing the image
    // with zeros up to there; blocks of placed files there are lost.
    void AddNoise(uint64_t position, uint64_t length, NoiseKind kind);

    // AddNoise at the end of the image.
    // Returns the position where the noise begins.
    uint64_t AppendNoise(uint64_t length, NoiseKind kind);

    // Copies the whole store to position (aligned or not) as one piece.
    // clusterSize is what DamageCluster counts in. Returns the file's number.
    size_t PlaceContiguous(const std::string& name, const StoreBuilder& store, uint64_t position,
                           uint32_t clusterSize = kDefaultClusterSize);

    // Copies cluster i of the store (bytes [i * clusterSize, (i + 1) *
    // clusterSize), the last one maybe short) to positions[i]. Returns the
    // file's number; throws std::invalid_argument unless one position per cluster.
    size_t PlaceClusters(const std::string& name, const StoreBuilder& store, uint32_t clusterSize,
                         const std::vector<uint64_t>& positions);

    // Appends the store's clusters in order, after about gapPercent of them a
    // gap of 1..maxGapClusters clusters of noise. The image is first padded
    // with noise to a multiple of clusterSize. Returns the file's number.
    size_t AppendWithGaps(const std::string& name, const StoreBuilder& store, uint32_t clusterSize,
                          unsigned gapPercent, unsigned maxGapClusters);

    // Appends the clusters of all stores together with noiseClusters clusters
    // of noise ("other files") in one random arrangement, padded first as
    // AppendWithGaps is. Returns the files' numbers, in the order given.
    std::vector<size_t> AppendMixed(const std::vector<NamedStore>& stores, uint32_t clusterSize,
                                    size_t noiseClusters, ClusterOrder order);

    // Overwrites cluster `cluster` of a placed file with noise where it landed.
    // Throws std::out_of_range for a file or cluster that does not exist.
    void DamageCluster(size_t file, size_t cluster, NoiseKind kind);

    // Overwrites count distinct random clusters of the file's message area.
    // Returns their numbers, ascending.
    std::vector<size_t> DamageClusters(size_t file, size_t count, NoiseKind kind);

    // Overwrites the cluster holding the header of the middle block of the
    // file's message number `message`, and returns that cluster's number;
    // returns nothing, changing nothing, when the head or last block touches it.
    std::optional<size_t> BreakChain(size_t file, size_t message, NoiseKind kind);

    // The manifest of everything placed so far, with each block's fate.
    Manifest BuildManifest() const;

private:
    struct Piece {
        FilePiece where;
        uint32_t owner;
    };
    struct File {
        PlacedFile placed;
        std::vector<Piece> pieces;  // in file order
        std::vector<StoredMessage> messages;
    };

    size_t AddFile(const std::string& name, const StoreBuilder& store, uint32_t clusterSize);
    void WritePiece(File& file, uint64_t fileOffset, uint64_t position, uint64_t length,
                    const std::vector<uint8_t>& bytes);
    void PadToCluster(uint32_t clusterSize);
    // The image ranges where [offset, offset + length) of the file landed.
    std::vector<Piece> Locate(const File& file, uint64_t offset, uint64_t length) const;
    NoiseKind RandomNoiseKind();

    Random random_;
    std::vector<uint8_t> image_;
    std::vector<File> files_;
    OwnerMap owners_;
    uint32_t nextOwner_ = 1;
};

}  // namespace ostrel::builder
