// Disk images as sources. Images made at test time with Debian's tools
// (ewfacquire, split, qemu-img) from a built raw image must read as exactly
// the raw image's bytes and give exactly its files; a damaged EWF chunk
// arrives as zeros, is counted, and costs only the messages in it; without
// the option an image file is read as the bytes it holds. Simulated images
// check the reader's image path where real files cannot reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"
#include "image_tools.h"
#include "platform/disk_image.h"
#include "recovery_folders.h"
#include "scratch.h"
#include "sim_os.h"
#include "source/file64.h"
#include "source/source_report.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using testing::EventRecorder;
using testing::ReadWholeFile;
using testing::SimImage;
using testing::SimOs;
using testing::StartsWith;

constexpr uint32_t kReadFlags = CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary;
constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kRawSize = 3 * kMiB;

// Every file below folder, by path relative to it, with its bytes.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        files[fs::relative(entry.path(), folder).string()] =
            testing::Text(ReadWholeFile(entry.path().string()));
    }
    return files;
}

// The whole media of a source, read through its windows in pieces that do
// not line up with them.
std::vector<uint8_t> ReadAll(CFile64Ex& source) {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> piece(5000);
    source.Seek(0, CFile64::begin);
    for (;;) {
        const uint32_t got = source.Read(piece.data(), static_cast<uint32_t>(piece.size()));
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + got);
        if (got < piece.size()) return bytes;
    }
}

class ImageSources : public testing::RecoveryFolders {
protected:
    ostrel::builder::Manifest manifest;
    std::string raw;
    std::vector<uint8_t> rawBytes;

    void SetUp() override {
        RecoveryFolders::SetUp();
        if (!platform::ImageLibrariesBuiltIn()) GTEST_SKIP() << "built without image libraries";
        raw = BuildRaw();
    }

    // Two stores of messages among noise, kRawSize bytes.
    std::string BuildRaw() {
        using namespace ostrel::builder;
        MessageFactory messages(21);
        StoreBuilder inbox(22), sent(23);
        for (int i = 0; i < 95; ++i) inbox.AddMessage(messages.Next());
        for (int i = 0; i < 40; ++i) sent.AddMessage(messages.Next(true));
        ImageBuilder builder(24);
        builder.AppendNoise(70000, NoiseKind::Text);
        builder.AppendWithGaps("Inbox.dbx", inbox, 4096, 20, 2);
        builder.AppendMixed({{"Sent Items.dbx", &sent}}, 4096, 30, ClusterOrder::Shuffled);
        if (builder.Size() >= kRawSize) {
            throw std::logic_error("the built image outgrew its size: " +
                                   std::to_string(builder.Size()));
        }
        builder.AppendNoise(kRawSize - builder.Size(), NoiseKind::Random);
        manifest = builder.BuildManifest();
        rawBytes = builder.Bytes();
        return scratch.WriteFile("disk.raw", rawBytes);
    }

    // Recovers source into a folder of its own and returns what it wrote.
    std::map<std::string, std::string> Recover(const std::string& source, const std::string& name,
                                               uint32_t options,
                                               EventRecorder* recorder = nullptr) {
        const std::string folder = output + "/" + name;
        fs::create_directory(folder);
        EventRecorder ignored;
        testing::RunRecovery(source, folder, options, recorder ? recorder : &ignored);
        return FilesBelow(folder);
    }
};

struct FormatRow {
    const char* name;
    const char* format;  // the first log line
    std::function<std::string(const std::string& raw, const std::string& folder)> make;
    bool paddedToGeometry = false;  // VHD rounds the media up to whole cylinders
};

TEST_F(ImageSources, EveryFormatReadsAsTheRawBytesAndGivesTheRawImagesFiles) {
    using testing::ConvertImage;
    const FormatRow rows[] = {
        {"E01", "Source format: EWF (E01)",
         [](const std::string& r, const std::string& f) {
             return testing::MakeEwfImage(r, f, "one", 0, true);
         }},
        {"E01 in segments", "Source format: EWF (E01), 3 files",
         [](const std::string& r, const std::string& f) {
             return testing::MakeEwfImage(r, f, "seg", kMiB + 100000, false);
         }},
        {"split raw", "Source format: split raw, 3 files",
         [](const std::string& r, const std::string& f) {
             return testing::MakeSplitRaw(r, f, "piece", kMiB);
         }},
        {"VMDK", "Source format: VMDK",
         [](const std::string& r, const std::string& f) {
             return ConvertImage(r, "vmdk", f + "/disk.vmdk");
         }},
        {"VHD", "Source format: VHD/VHDX",
         [](const std::string& r, const std::string& f) {
             return ConvertImage(r, "vpc", f + "/disk.vhd");
         },
         true},
        {"VHDX", "Source format: VHD/VHDX",
         [](const std::string& r, const std::string& f) {
             return ConvertImage(r, "vhdx", f + "/disk.vhdx");
         }},
    };
    EventRecorder rawEvents;
    const auto rawFiles = Recover(raw, "rawimg", VARROW_OPTION_IMAGE_FORMATS, &rawEvents);
    ASSERT_GT(rawFiles.size(), 60u);
    EXPECT_EQ(rawEvents.Texts(EV_LOG)[0], "Source format: raw file");
    EXPECT_EQ(rawEvents.Texts(EV_LOG)[1],
              "Media size: 3145728 bytes (3.0 MiB), sectors of 512 bytes");

    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = scratch / row.name;
        fs::create_directory(folder);
        const std::string image = row.make(raw, folder);
        ASSERT_FALSE(image.empty());

        CFile64Ex source(4096);
        source.ReadImageFormats(true);
        ASSERT_TRUE(source.Open(image, kReadFlags, nullptr));
        EXPECT_EQ(source.Facts().kind, SourceKind::Image);
        std::vector<uint8_t> media = ReadAll(source);
        if (row.paddedToGeometry) {
            ASSERT_GE(media.size(), rawBytes.size());
            EXPECT_TRUE(std::all_of(media.begin() + rawBytes.size(), media.end(),
                                    [](uint8_t b) { return b == 0; }));
            media.resize(rawBytes.size());
        }
        EXPECT_TRUE(media == rawBytes) << "the media differs from the raw image";
        EXPECT_EQ(source.GetLength(), row.paddedToGeometry ? source.GetLength() : kRawSize);
        EXPECT_TRUE(source.Failures().Empty());
        source.Close();

        EventRecorder events;
        // Folder names of one length: the length of a path limits the file names.
        const std::string outputName = "image" + std::to_string(&row - rows);
        EXPECT_TRUE(Recover(image, outputName, VARROW_OPTION_IMAGE_FORMATS, &events) == rawFiles);
        const auto log = events.Texts(EV_LOG);
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], row.format);
        EXPECT_TRUE(StartsWith(log[1], "Media size: ")) << log[1];
    }
}

TEST_F(ImageSources, ADamagedEwfChunkArrivesAsZerosIsCountedAndCostsOnlyItsMessages) {
    const std::string image = testing::MakeEwfImage(raw, scratch.path(), "damaged", 0, false);
    ASSERT_FALSE(image.empty());
    // Uncompressed chunks lie in media order: the middle of the file is a
    // chunk in the middle of the media.
    testing::SpoilFileBytes(image, fs::file_size(image) / 2, 8);

    CFile64Ex source(4096);
    source.ReadImageFormats(true);
    ASSERT_TRUE(source.Open(image, kReadFlags, nullptr));
    const std::vector<uint8_t> media = ReadAll(source);
    ASSERT_EQ(media.size(), rawBytes.size());
    // One chunk of 64 sectors could not be read.
    ASSERT_EQ(source.Failures().Bytes(), 32768u);
    uint64_t damageStart = 0;
    while (!source.Failures().Overlaps(damageStart, 1)) damageStart += 512;
    EXPECT_EQ(damageStart % 32768, 0u);
    EXPECT_TRUE(source.Failures().Overlaps(damageStart + 32767, 1));
    for (uint64_t i = 0; i < media.size(); ++i) {
        const bool damaged = i >= damageStart && i < damageStart + 32768;
        ASSERT_EQ(media[i], damaged ? 0 : rawBytes[i]) << i;
    }
    source.Close();

    // Every message that the raw image gives and that has no byte in the
    // chunk is recovered whole from the damaged image.
    const uint32_t options = VARROW_OPTION_IMAGE_FORMATS | VARROW_OPTION_STORE_AWARE;
    const auto Texts = [](const std::map<std::string, std::string>& files) {
        std::vector<std::string> texts;
        for (const auto& [name, text] : files) texts.push_back(text);
        return texts;
    };
    const std::vector<std::string> fromRaw = Texts(Recover(raw, "raw", options));
    EventRecorder events;
    const std::vector<std::string> fromDamaged =
        Texts(Recover(image, "bad", options | VARROW_OPTION_RECORDS, &events));
    // The run's totals say how much could not be read: the chunk's sectors.
    ASSERT_EQ(events.totals.size(), 1u);
    EXPECT_EQ(events.totals[0].unreadableSectors, 64u);
    const auto Holds = [](const std::vector<std::string>& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    };
    int outside = 0;
    int touched = 0;
    for (const auto& message : manifest.messages) {
        if (!Holds(fromRaw, message.text)) continue;
        const bool inChunk =
            std::any_of(message.blocks.begin(), message.blocks.end(), [&](const auto& block) {
                return block.position < damageStart + 32768 &&
                       damageStart < block.position + 16 + block.dataLength;
            });
        if (inChunk) {
            ++touched;
            continue;
        }
        ++outside;
        EXPECT_TRUE(Holds(fromDamaged, message.text))
            << "lost a message outside the damaged chunk: " << message.text.substr(0, 60);
    }
    EXPECT_GT(touched, 0);
    EXPECT_GT(outside, 60);
}

TEST_F(ImageSources, WithoutTheOptionAnImageFileIsReadAsTheBytesItHolds) {
    const std::string image = testing::MakeEwfImage(raw, scratch.path(), "plain", 0, true);
    ASSERT_FALSE(image.empty());
    CFile64Ex source(4096);
    ASSERT_TRUE(source.Open(image, kReadFlags, nullptr));
    EXPECT_EQ(source.Facts().kind, SourceKind::File);
    EXPECT_EQ(source.GetLength(), fs::file_size(image));
    EXPECT_TRUE(ReadAll(source) == ReadWholeFile(image));
    source.Close();

    EventRecorder events;
    Recover(image, "classic", 0, &events);
    EXPECT_EQ(events.Count(EV_LOG) % 6, 0) << "no lines but the messages' own";
    for (const std::string& line : events.Texts(EV_LOG))
        EXPECT_FALSE(StartsWith(line, "Source format"));
}

TEST_F(ImageSources, APlainRawFileAndALoneFirstPieceKeepTheDirectPath) {
    const std::string lone = scratch.WriteFile("single.001", rawBytes);
    for (const std::string& path : {raw, lone}) {
        SCOPED_TRACE(path);
        CFile64Ex source(4096);
        source.ReadImageFormats(true);
        ASSERT_TRUE(source.Open(path, kReadFlags, nullptr));
        EXPECT_EQ(source.Facts().kind, SourceKind::File);
        EXPECT_EQ(source.GetLength(), kRawSize);
    }
}

TEST(ImageSourcesWithoutLibraries, AnImageFileIsReadAsPlainBytesAndTheLogSaysWhy) {
    if (platform::ImageLibrariesBuiltIn()) GTEST_SKIP() << "built with image libraries";
    testing::ScratchFolder scratch;
    const std::string path =
        scratch.WriteFile("disk.E01", std::string("EVF\x09\x0d\x0a\xff\x00", 8) + "rest");
    CFile64Ex source;
    source.ReadImageFormats(true);
    ASSERT_TRUE(source.Open(path, kReadFlags, nullptr));
    EXPECT_EQ(source.Facts().kind, SourceKind::File);
    EXPECT_EQ(source.GetLength(), 12u);
    EXPECT_EQ(DescribeSource(source)[0],
              "Source format: raw file (this build reads no image formats)");
}

// --- Simulated images ------------------------------------------------------

class SimulatedImages : public ::testing::Test {
protected:
    SimOs sim;
    platform::ScopedOs scoped{sim};

    SimImage& Image(const std::string& path, size_t size, uint32_t sectorSize = 512) {
        SimImage& image = sim.AddImage(path);
        image = SimImage{};
        image.media.resize(size);
        for (size_t i = 0; i < size; ++i)
            image.media[i] = static_cast<uint8_t>(i * 13 + i / 512 + 1);
        image.sectorSize = sectorSize;
        return image;
    }

    void Open(CFile64Ex& source, const std::string& path) {
        source.ReadImageFormats(true);
        ASSERT_TRUE(source.Open(path, kReadFlags, nullptr));
        ASSERT_EQ(source.Facts().kind, SourceKind::Image);
    }
};

TEST_F(SimulatedImages, DamagedAndFailingPartsArriveAsZerosAndAreRecordedBySector) {
    struct Row {
        const char* name;
        bool damagedNotFailing;
        platform::MediaRange range;
        uint64_t recordedStart, recordedBytes;  // whole sectors around the range
    };
    const Row rows[] = {
        {"a damaged chunk", true, {32768, 32768}, 32768, 32768},
        {"a damaged range off the sectors", true, {1000, 100}, 512, 1024},
        {"a failing range", false, {4096, 512}, 4096, 512},
        {"a failing range across a window", false, {8000, 300}, 7680, 1024},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimImage& image = Image("/sim/disk.E01", 100000);
        (row.damagedNotFailing ? image.damaged : image.failing) = {row.range};
        CFile64Ex source(4096);
        Open(source, "/sim/disk.E01");
        const std::vector<uint8_t> media = ReadAll(source);
        ASSERT_EQ(media.size(), image.media.size());
        for (uint64_t i = 0; i < media.size(); ++i) {
            const bool lost = i >= row.recordedStart && i < row.recordedStart + row.recordedBytes;
            ASSERT_EQ(media[i], lost ? 0 : image.media[i]) << i;
        }
        EXPECT_EQ(source.Failures().Bytes(), row.recordedBytes);
        EXPECT_TRUE(source.Failures().Overlaps(row.recordedStart, 1));
        EXPECT_FALSE(source.Failures().Overlaps(row.recordedStart + row.recordedBytes, 1));
        EXPECT_FALSE(source.Failures().Overlaps(row.recordedStart - 1, 1));
    }
}

TEST_F(SimulatedImages, ARunInOneCallStopsWhereTheDamageBeginsAndRecordsNothing) {
    SimImage& image = Image("/sim/disk.E01", 70000);
    image.damaged = {{20000, 5000}};
    CFile64Ex source(4096);
    Open(source, "/sim/disk.E01");
    std::vector<uint8_t> run(32768);
    EXPECT_EQ(source.ReadAligned(0, run.data(), 32768, Transfer::OneCall).delivered, 20000u);
    EXPECT_EQ(source.ReadAligned(32768, run.data(), 32768, Transfer::OneCall).delivered, 32768u);
    EXPECT_EQ(source.ReadAligned(65536, run.data(), 32768, Transfer::OneCall).delivered,
              70000u - 65536);
    EXPECT_EQ(source.ReadAligned(98304, run.data(), 32768, Transfer::OneCall).delivered, 0u);
    EXPECT_TRUE(source.Failures().Empty());

    image.failing = {{40000, 1}};
    EXPECT_EQ(source.ReadAligned(32768, run.data(), 32768, Transfer::OneCall).delivered, 0u);

    // Sector by sector the same run delivers everything and counts its losses.
    const AlignedRead each = source.ReadAligned(32768, run.data(), 32768);
    EXPECT_EQ(each.delivered, 32768u);
    EXPECT_EQ(each.failedSectors, 1u);
    EXPECT_EQ(source.Failures().Bytes(), 512u);
}

TEST_F(SimulatedImages, SizeSectorsAndTheEndComeFromTheImage) {
    Image("/sim/big.vmdk", 3 * 4096 + 100, 4096).format = "VMDK";
    CFile64Ex source(4096);
    Open(source, "/sim/big.vmdk");
    EXPECT_EQ(source.SectorSize(), 4096u);
    EXPECT_EQ(source.GetLength(), 3u * 4096 + 100);
    EXPECT_EQ(source.Seek(-10, CFile64::end), 3u * 4096 + 90);
    EXPECT_FALSE(source.IsPhysicalDrive());
    uint8_t bytes[16];
    EXPECT_EQ(source.Read(bytes, 16), 10u);
    EXPECT_TRUE(source.IsEOF());
    EXPECT_EQ(
        DescribeSource(source),
        (std::vector<std::string>{"Source format: VMDK",
                                  "Media size: 12388 bytes (12.1 KiB), sectors of 4096 bytes"}));
    source.Close();
    EXPECT_EQ(source.Facts().kind, SourceKind::None);

    // An image that records no sector size, or an absurd one, is read in 512s.
    for (uint32_t recorded : {0u, 3u << 20}) {
        Image("/sim/odd.vhd", 5000, recorded);
        CFile64Ex odd(4096);
        Open(odd, "/sim/odd.vhd");
        EXPECT_EQ(odd.SectorSize(), 512u);
    }
}

TEST(SourceReport, SizesAndFormats) {
    EXPECT_EQ(DescribeSize(0), "0 bytes");
    EXPECT_EQ(DescribeSize(1), "1 byte");
    EXPECT_EQ(DescribeSize(1023), "1023 bytes");
    EXPECT_EQ(DescribeSize(1024), "1024 bytes (1.0 KiB)");
    EXPECT_EQ(DescribeSize(3 * kMiB), "3145728 bytes (3.0 MiB)");
    EXPECT_EQ(DescribeSize(500107862016ull), "500107862016 bytes (465.8 GiB)");
    EXPECT_EQ(DescribeSize(3ull << 40), "3298534883328 bytes (3.0 TiB)");

    SimOs sim;
    platform::ScopedOs scoped{sim};
    SimImage& set = sim.AddImage("/sim/case.E01");
    set.media.resize(2 * kMiB);
    set.files = 3;
    CFile64Ex image;
    image.ReadImageFormats(true);
    ASSERT_TRUE(image.Open("/sim/case.E01", kReadFlags, nullptr));
    EXPECT_EQ(DescribeSource(image)[0], "Source format: EWF (E01), 3 files");

    // Not asked to read images, the same file is a raw file.
    CFile64Ex plain;
    ASSERT_TRUE(plain.Open("/sim/case.E01", kReadFlags, nullptr));
    EXPECT_EQ(plain.Facts().kind, SourceKind::File);
    EXPECT_EQ(DescribeSource(plain)[1], "Media size: 4096 bytes (4.0 KiB), sectors of 512 bytes");

    testing::SimDevice& disk = sim.AddDevice("/dev/simdisk");
    disk.blockDevice = disk.wholeDisk = true;  // answers no length
    CFile64Ex whole;
    ASSERT_TRUE(whole.Open("/dev/simdisk", kReadFlags, nullptr));
    EXPECT_EQ(DescribeSource(whole),
              (std::vector<std::string>{"Source format: whole disk",
                                        "Media size: unknown, sectors of 512 bytes"}));
    testing::SimDevice& partition = sim.AddDevice("/dev/simdisk1");
    partition.blockDevice = true;
    partition.answersLength = true;
    partition.reportedLength = 1u << 30;
    CFile64Ex part;
    ASSERT_TRUE(part.Open("/dev/simdisk1", kReadFlags, nullptr));
    EXPECT_EQ(DescribeSource(part)[0], "Source format: block device");
    EXPECT_EQ(DescribeSource(part)[1],
              "Media size: 1073741824 bytes (1.0 GiB), sectors of 512 bytes");
}

}  // namespace
}  // namespace varrow
