// Volumes whose stores real file system code laid out: a FAT16 volume
// written with mtools at sector 63 of its disk (files deleted so that later
// ones fill the holes in pieces, an older version of a store deleted and
// partly overwritten by the new one), and an ext4 volume made with
// mke2fs -d. The stores' own messages are the truth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::builder {

struct FileSystemVolume {
    std::string image;  // the disk or volume image file
    // The messages still whole in the live stores, and every text any
    // store (deleted ones too) ever held.
    std::vector<std::string> real;
    std::set<std::string> known;
};

// What a recovery made of a volume: outputs (text, flagged incomplete).
struct VolumeQuality {
    size_t exact = 0;  // real messages written byte for byte
    size_t wrong = 0;  // outputs that are no store's message, yet not flagged
};
VolumeQuality JudgeVolume(const FileSystemVolume& volume,
                          const std::vector<std::pair<std::string, bool>>& outputs);

// Whether mtools (mformat, mcopy, mdel) and mke2fs can be run.
bool HaveFatTools();
bool HaveExt4Tools();

// The volumes of seed, made in folder (which must exist); nothing where a
// tool failed. The FAT volume's clusters are of clusterSectors sectors; it
// is FAT16 of 48 MiB, or with fat32 FAT32 of at least 48 MiB.
std::optional<FileSystemVolume> MakeFatVolume(uint64_t seed, const std::string& folder,
                                              unsigned clusterSectors = 8, bool fat32 = false);
std::optional<FileSystemVolume> MakeExt4Volume(uint64_t seed, const std::string& folder);

}  // namespace ostrel::builder
