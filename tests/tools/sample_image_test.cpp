// The bundled sample image holds what its summary and manifest claim.
#include "sample/sample_image.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "chain_reader.h"
#include "image_builder/block.h"

namespace ostrel::sample {
namespace {

using builder::PlacedMessage;
using builder::testing::FollowChain;
using builder::testing::GatherFile;

const SampleImage& Sample() {
    static const SampleImage sample = BuildSampleImage(1);
    return sample;
}

size_t FileNamed(const builder::Manifest& manifest, const std::string& name) {
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        if (manifest.files[i].name == name) return i;
    }
    ADD_FAILURE() << "no file " << name;
    return 0;
}

TEST(SampleImage, SameSeedGivesTheSameBytesAndAnotherSeedOthers) {
    EXPECT_EQ(BuildSampleImage(1).bytes, Sample().bytes);
    EXPECT_NE(BuildSampleImage(2).bytes, Sample().bytes);
}

TEST(SampleImage, HoldsAFewHundredMessagesInFourStoresOfAFewMegabytes) {
    const builder::Manifest& manifest = Sample().manifest;
    std::set<std::string> names;
    for (const auto& file : manifest.files) names.insert(file.name);
    EXPECT_EQ(names, (std::set<std::string>{kInboxName, kOlderInboxName, kSentName, kDeletedName}));
    std::set<std::string> texts;
    for (const PlacedMessage& message : manifest.messages) texts.insert(message.text);
    EXPECT_GE(texts.size(), 200u);
    EXPECT_LE(texts.size(), 600u);
    EXPECT_LT(Sample().bytes.size(), 8u << 20);
    EXPECT_EQ(Sample().bytes.size() % kSampleClusterSize, 0u);

    // Every store starts its message area at the same offset.
    for (size_t f = 0; f < manifest.files.size(); ++f) {
        const auto first = std::find_if(manifest.messages.begin(), manifest.messages.end(),
                                        [&](const PlacedMessage& m) { return m.file == f; });
        ASSERT_NE(first, manifest.messages.end());
        EXPECT_EQ(first->HeadOffset(), builder::kFirstBlockOffset) << manifest.files[f].name;
    }
    EXPECT_EQ(manifest.files[FileNamed(manifest, kDeletedName)].pieces.size(), 1u) << "one contiguous store";
    EXPECT_GT(manifest.files[FileNamed(manifest, kInboxName)].pieces.size(), 100u) << "fragmented";
}

TEST(SampleImage, EveryIntactMessageReadsBackFromTheImage) {
    const SampleImage& sample = Sample();
    std::map<size_t, std::vector<uint8_t>> files;
    size_t intact = 0;
    for (const PlacedMessage& message : sample.manifest.messages) {
        if (!message.Intact()) continue;
        ++intact;
        if (!files.count(message.file)) files[message.file] = GatherFile(sample.bytes, sample.manifest.files[message.file]);
        EXPECT_EQ(FollowChain(files[message.file], message.HeadOffset()), message.text)
            << sample.manifest.files[message.file].name << " 0x" << std::hex << message.HeadOffset();
    }
    EXPECT_GT(intact, sample.manifest.messages.size() * 9 / 10);
}

TEST(SampleImage, HasTheBrokenChainItClaimsAndNoOtherDamageInTheInbox) {
    const SampleImage& sample = Sample();
    const builder::Manifest& manifest = sample.manifest;
    const size_t inbox = FileNamed(manifest, kInboxName);
    const PlacedMessage& broken = manifest.messages.at(sample.brokenMessage);
    EXPECT_EQ(broken.file, inbox);
    EXPECT_TRUE(broken.Broken());
    const builder::PlacedBlock& head = broken.blocks.front();
    EXPECT_EQ(builder::DecodeHeader(&sample.bytes[head.position]),
              (builder::BlockFields{head.offset, 512, head.dataLength, head.nextOffset}));
    // The lost cluster holds the header of the middle block.
    const builder::PlacedBlock& lost = broken.blocks[broken.blocks.size() / 2];
    EXPECT_FALSE(lost.intact);
    EXPECT_NE(builder::DecodeHeader(&sample.bytes[lost.position]).selfOffset, lost.offset);
    EXPECT_TRUE(broken.blocks.back().intact) << "the chain resumes after the lost cluster";

    for (const PlacedMessage& message : manifest.messages) {
        if (message.file == inbox && &message != &broken) {
            EXPECT_TRUE(message.Intact());
        }
    }
}

TEST(SampleImage, TheOlderCopyIsDamagedAndHoldsDeletedMessages) {
    const builder::Manifest& manifest = Sample().manifest;
    const size_t older = FileNamed(manifest, kOlderInboxName);
    size_t damaged = 0, deleted = 0;
    std::set<std::string> current;
    for (const PlacedMessage& message : manifest.messages) {
        if (message.file == FileNamed(manifest, kInboxName)) current.insert(message.text);
    }
    size_t shared = 0;
    for (const PlacedMessage& message : manifest.messages) {
        if (message.file != older) continue;
        if (!message.Intact()) ++damaged;
        if (message.deleted) ++deleted;
        if (current.count(message.text)) ++shared;
    }
    EXPECT_EQ(Sample().damagedClusters.size(), 4u);
    EXPECT_GE(damaged, 4u);
    EXPECT_GE(deleted, 10u);
    EXPECT_GE(shared, 80u) << "most of the older copy is also in the current Inbox";
}

TEST(SampleImage, CoversTheHardCasesOfNamingAndMime) {
    size_t noSubject = 0, emptySubject = 0, invalid = 0, attachments = 0, alternatives = 0;
    std::map<std::string, int> subjects;
    for (const PlacedMessage& message : Sample().manifest.messages) {
        const auto line = builder::SubjectLine(message.text);
        if (!line) ++noSubject;
        else if (*line == "Subject: ") ++emptySubject;
        else {
            ++subjects[*line];
            if (line->substr(8).find_first_of("\\/:*?\"<>|") != std::string::npos) ++invalid;
        }
        if (message.text.find("Content-Transfer-Encoding: base64") != std::string::npos) ++attachments;
        if (message.text.find("multipart/alternative") != std::string::npos) ++alternatives;
    }
    EXPECT_GT(noSubject, 0u);
    EXPECT_GT(emptySubject, 0u);
    EXPECT_GT(invalid, 0u);
    EXPECT_GT(attachments, 0u);
    EXPECT_GT(alternatives, 0u);
    EXPECT_TRUE(std::any_of(subjects.begin(), subjects.end(), [](const auto& s) { return s.second > 1; }));
}

}  // namespace
}  // namespace ostrel::sample
