#include "image_builder/filesystem_volumes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "image_builder/message_factory.h"
#include "image_builder/noise.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace ostrel::builder {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kSector63 = 63 * 512;
// FAT32 has at least 65525 clusters.
constexpr uint32_t kLeastFat32Clusters = 65525;

bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveTool(const std::string& tool) {
    return RunCommand("command -v " + tool) || RunCommand("test -x /sbin/" + tool) ||
           RunCommand("test -x /usr/sbin/" + tool);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

StoreBuilder Store(Random& random, MessageFactory& factory, int count, bool sent) {
    StoreBuilder store(random.Next());
    for (int i = 0; i < count; ++i) {
        store.AddMessage(factory.Next(sent));
        if (random.Percent(15))
            store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
    return store;
}

void Live(const StoreBuilder& store, FileSystemVolume& volume) {
    for (const StoredMessage& message : store.Messages()) {
        if (message.Intact()) volume.real.push_back(message.text);
        volume.known.insert(message.text);
    }
}

void Gone(const StoreBuilder& store, FileSystemVolume& volume) {
    for (const StoredMessage& message : store.Messages()) volume.known.insert(message.text);
}

}  // namespace

VolumeQuality JudgeVolume(const FileSystemVolume& volume,
                          const std::vector<std::pair<std::string, bool>>& outputs) {
    std::map<std::string, size_t> written;
    for (const auto& [text, flagged] : outputs) ++written[text];
    VolumeQuality quality;
    for (const std::string& text : volume.real) {
        const auto it = written.find(text);
        if (it != written.end() && it->second > 0) {
            --it->second;
            ++quality.exact;
        }
    }
    for (const auto& [text, flagged] : outputs) {
        if (volume.known.count(text) == 0 && !flagged) ++quality.wrong;
    }
    return quality;
}

bool HaveFatTools() { return HaveTool("mformat") && HaveTool("mcopy") && HaveTool("mdel"); }

bool HaveExt4Tools() { return HaveTool("mke2fs"); }

std::optional<FileSystemVolume> MakeFatVolume(uint64_t seed, const std::string& folder,
                                              unsigned clusterSectors, bool fat32) {
    Random random(seed);
    MessageFactory factory(random.Next());
    StoreBuilder older = Store(random, factory, 40, false);
    for (int i = 0; i < 6; ++i) older.FreeMessage(random.Below(older.Messages().size()));
    StoreBuilder inbox = older.Compacted(random.Next());
    for (int i = 0; i < 12; ++i) inbox.AddMessage(factory.Next());
    const StoreBuilder sent = Store(random, factory, 25, true);
    const StoreBuilder deleted = Store(random, factory, 15, false);

    FileSystemVolume volume;
    volume.image = folder + "/disk.img";
    const std::string at = "-i '" + volume.image + "@@" + std::to_string(kSector63) + "' ";
    // mtools would refuse a volume whose geometry it cannot check.
    const std::string mtools = "MTOOLS_SKIP_CHECK=1 ";
    // 48 MiB, or what FAT32 needs for its least number of clusters.
    const uint64_t sectors = std::max<uint64_t>(
        98304, fat32 ? uint64_t{kLeastFat32Clusters} * clusterSectors + 8192 : 0);
    {
        std::ofstream disk(volume.image, std::ios::binary | std::ios::trunc);
        disk.seekp(static_cast<std::streamoff>(kSector63 + sectors * 512 - 1));
        disk.put('\0');
    }
    if (!RunCommand(mtools + "mformat " + at + (fat32 ? "-F " : "") + "-T " +
                    std::to_string(sectors) + " -h 16 -s 63 -c " + std::to_string(clusterSectors) +
                    " ::"))
        return std::nullopt;
    bool ok = true;
    const auto copy = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(folder + "/" + name, bytes);
        ok = ok && RunCommand(mtools + "mcopy " + at + "'" + folder + "/" + name + "' ::/" + name);
    };
    const auto remove = [&](const std::string& name) {
        ok = ok && RunCommand(mtools + "mdel " + at + "::/" + name);
    };
    // Other files, every other one deleted: holes the stores fill in pieces.
    for (int i = 0; i < 24; ++i) {
        const auto kind = i % 3 == 0 ? NoiseKind::Text : NoiseKind::Random;
        copy("file" + std::to_string(i), MakeNoise(random.Between(4000, 40000), kind, random));
    }
    for (int i = 0; i < 24; i += 2) remove("file" + std::to_string(i));
    copy("Inbox.dbx", older.Bytes());
    copy("Sent.dbx", sent.Bytes());
    for (int i = 24; i < 32; ++i) {
        copy("file" + std::to_string(i),
             MakeNoise(random.Between(4000, 40000), NoiseKind::Text, random));
    }
    for (int i = 1; i < 24; i += 4) remove("file" + std::to_string(i));
    // Compaction writes the new store and deletes the old one; the new
    // one takes the holes first, then some of the old one's clusters.
    copy("Inbox.new", inbox.Bytes());
    remove("Inbox.dbx");
    copy("Deleted.dbx", deleted.Bytes());
    copy("late", MakeNoise(200000, NoiseKind::Random, random));
    if (!ok) return std::nullopt;

    Live(inbox, volume);
    Live(sent, volume);
    Live(deleted, volume);
    Gone(older, volume);
    return volume;
}

std::optional<FileSystemVolume> MakeExt4Volume(uint64_t seed, const std::string& folder) {
    Random random(seed);
    MessageFactory factory(random.Next());
    const std::string files = folder + "/files";
    fs::create_directories(files);
    FileSystemVolume volume;
    std::vector<StoreBuilder> stores;
    for (int i = 0; i < 4; ++i)
        stores.push_back(Store(random, factory, static_cast<int>(random.Between(15, 35)), i == 1));
    for (size_t i = 0; i < stores.size(); ++i) {
        WriteBytes(files + "/store" + std::to_string(i) + ".dbx", stores[i].Bytes());
        WriteBytes(files + "/other" + std::to_string(i),
                   MakeNoise(random.Between(1000, 30000), NoiseKind::Text, random));
        Live(stores[i], volume);
    }
    volume.image = folder + "/volume.img";
    const std::string mke2fs = RunCommand("command -v mke2fs") ? "mke2fs" : "/sbin/mke2fs";
    if (!RunCommand(mke2fs + " -q -F -t ext4 -b 4096 -d '" + files + "' '" + volume.image +
                    "' 16M"))
        return std::nullopt;
    return volume;
}

}  // namespace ostrel::builder
