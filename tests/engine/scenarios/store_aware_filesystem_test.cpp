// Store-aware recovery of stores that real file system code laid out: a
// FAT16 volume written with mtools (at sector 63 of its disk, files
// deleted so that later ones fill the holes in pieces, an older version of
// a store deleted and partly overwritten by the new one), and an ext4
// volume made with mke2fs -d. The stores' own messages are the truth.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "environment.h"
#include "image_builder/message_factory.h"
#include "image_builder/noise.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"
#include "linked_chains.h"
#include "scratch.h"

namespace varrow {
namespace {

namespace builder = ostrel::builder;
namespace fs = std::filesystem;
using testing::ScratchFolder;

constexpr uint64_t kSector63 = 63 * 512;

bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveTools(const std::vector<std::string>& tools) {
    for (const std::string& tool : tools) {
        if (!RunCommand("command -v " + tool) && !RunCommand("test -x /sbin/" + tool) &&
            !RunCommand("test -x /usr/sbin/" + tool)) {
            return false;
        }
    }
    return true;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

builder::StoreBuilder Store(builder::Random& random, builder::MessageFactory& factory, int count,
                            bool sent) {
    builder::StoreBuilder store(random.Next());
    for (int i = 0; i < count; ++i) {
        store.AddMessage(factory.Next(sent));
        if (random.Percent(15))
            store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
    return store;
}

// The messages a recovery should give whole: those still intact in the
// live stores; and every text any store ever held.
struct Truth {
    std::vector<std::string> real;
    std::set<std::string> known;

    void Live(const builder::StoreBuilder& store) {
        for (const builder::StoredMessage& message : store.Messages()) {
            if (message.Intact()) real.push_back(message.text);
            known.insert(message.text);
        }
    }
    void Gone(const builder::StoreBuilder& store) {
        for (const builder::StoredMessage& message : store.Messages()) known.insert(message.text);
    }
};

struct Quality {
    size_t exact = 0;
    size_t wrong = 0;  // no message of any store, not flagged incomplete
};

Quality Judge(const Truth& truth, const std::vector<testing::LinkedChain>& chains) {
    std::map<std::string, size_t> written;
    for (const testing::LinkedChain& chain : chains) ++written[chain.text];
    Quality quality;
    for (const std::string& text : truth.real) {
        const auto it = written.find(text);
        if (it != written.end() && it->second > 0) {
            --it->second;
            ++quality.exact;
        }
    }
    for (const testing::LinkedChain& chain : chains) {
        if (truth.known.count(chain.text) == 0 && !chain.Incomplete()) ++quality.wrong;
    }
    return quality;
}

class StoresOnFileSystems : public ::testing::Test {
protected:
    ScratchFolder scratch;

    void Expect(const std::string& image, const Truth& truth, const char* what) {
        const Quality classic = Judge(truth, testing::LinkChains(image, false));
        const Quality aware = Judge(truth, testing::LinkChains(image, true));
        std::printf(
            "%-34s classic %3zu/%zu exact, %zu wrong; store-aware %3zu/%zu exact, %zu wrong\n",
            what, classic.exact, truth.real.size(), classic.wrong, aware.exact, truth.real.size(),
            aware.wrong);
        EXPECT_EQ(aware.exact, truth.real.size()) << what;
        EXPECT_EQ(aware.wrong, 0u) << what;
        EXPECT_GE(aware.exact, classic.exact) << what;
    }
};

TEST_F(StoresOnFileSystems, FatVolumeAtSector63WithFragmentedStoresAndAnOverwrittenOlderVersion) {
    if (!HaveTools({"mformat", "mcopy", "mdel"})) GTEST_SKIP() << "mtools is not installed";
    testing::SetEnvironment("MTOOLS_SKIP_CHECK", "1");
    for (const uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        builder::Random random(seed);
        builder::MessageFactory factory(random.Next());
        builder::StoreBuilder older = Store(random, factory, 40, false);
        for (int i = 0; i < 6; ++i) older.FreeMessage(random.Below(older.Messages().size()));
        builder::StoreBuilder inbox = older.Compacted(random.Next());
        for (int i = 0; i < 12; ++i) inbox.AddMessage(factory.Next());
        const builder::StoreBuilder sent = Store(random, factory, 25, true);
        const builder::StoreBuilder deleted = Store(random, factory, 15, false);

        const std::string folder = scratch / ("fat" + std::to_string(seed));
        fs::create_directories(folder);
        const std::string image = folder + "/disk.img";
        const std::string volume = "'" + image + "@@" + std::to_string(kSector63) + "'";
        {
            std::ofstream disk(image, std::ios::binary | std::ios::trunc);
            disk.seekp(static_cast<std::streamoff>(kSector63 + 48 * 1024 * 1024 - 1));
            disk.put('\0');
        }
        ASSERT_TRUE(RunCommand("mformat -i " + volume + " -T 98304 -h 16 -s 63 -c 8 ::"));
        const auto copy = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
            WriteBytes(folder + "/" + name, bytes);
            ASSERT_TRUE(
                RunCommand("mcopy -i " + volume + " '" + folder + "/" + name + "' ::/" + name));
        };
        const auto remove = [&](const std::string& name) {
            ASSERT_TRUE(RunCommand("mdel -i " + volume + " ::/" + name));
        };
        // Other files, every other one deleted: holes the stores fill in pieces.
        for (int i = 0; i < 24; ++i) {
            const auto kind = i % 3 == 0 ? builder::NoiseKind::Text : builder::NoiseKind::Random;
            copy("file" + std::to_string(i),
                 builder::MakeNoise(random.Between(4000, 40000), kind, random));
        }
        for (int i = 0; i < 24; i += 2) remove("file" + std::to_string(i));
        copy("Inbox.dbx", older.Bytes());
        copy("Sent.dbx", sent.Bytes());
        for (int i = 24; i < 32; ++i) {
            copy("file" + std::to_string(i),
                 builder::MakeNoise(random.Between(4000, 40000), builder::NoiseKind::Text, random));
        }
        for (int i = 1; i < 24; i += 4) remove("file" + std::to_string(i));
        // Compaction writes the new store and deletes the old one; the new
        // one takes the holes first, then some of the old one's clusters.
        copy("Inbox.new", inbox.Bytes());
        remove("Inbox.dbx");
        copy("Deleted.dbx", deleted.Bytes());
        copy("late", builder::MakeNoise(200000, builder::NoiseKind::Random, random));

        Truth truth;
        truth.Live(inbox);
        truth.Live(sent);
        truth.Live(deleted);
        truth.Gone(older);
        Expect(image, truth, ("FAT16, seed " + std::to_string(seed)).c_str());
    }
}

TEST_F(StoresOnFileSystems, Ext4VolumeMadeFromAFolder) {
    if (!HaveTools({"mke2fs"})) GTEST_SKIP() << "e2fsprogs is not installed";
    for (const uint64_t seed : {1u, 2u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        builder::Random random(seed);
        builder::MessageFactory factory(random.Next());
        const std::string folder = scratch / ("ext4-" + std::to_string(seed));
        const std::string files = folder + "/files";
        fs::create_directories(files);
        Truth truth;
        std::vector<builder::StoreBuilder> stores;
        for (int i = 0; i < 4; ++i)
            stores.push_back(
                Store(random, factory, static_cast<int>(random.Between(15, 35)), i == 1));
        for (size_t i = 0; i < stores.size(); ++i) {
            WriteBytes(files + "/store" + std::to_string(i) + ".dbx", stores[i].Bytes());
            WriteBytes(
                files + "/other" + std::to_string(i),
                builder::MakeNoise(random.Between(1000, 30000), builder::NoiseKind::Text, random));
            truth.Live(stores[i]);
        }
        const std::string image = folder + "/volume.img";
        const std::string mke2fs = RunCommand("command -v mke2fs") ? "mke2fs" : "/sbin/mke2fs";
        ASSERT_TRUE(
            RunCommand(mke2fs + " -q -F -t ext4 -b 4096 -d '" + files + "' '" + image + "' 16M"));
        Expect(image, truth, ("ext4, seed " + std::to_string(seed)).c_str());
    }
}

}  // namespace
}  // namespace varrow
