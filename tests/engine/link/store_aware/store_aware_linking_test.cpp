// The rules of store-aware linking, each on a small image whose store
// pieces are placed by hand: which blocks are heads, which block follows
// a block, the data and headers that cross a cluster boundary.
#include "link/store_aware/store_aware_linking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "image_builder/block.h"
#include "link/store_aware/store_bytes.h"
#include "linked_chains.h"
#include "output/outfolders.h"
#include "scratch.h"
#include "text_join_cases.h"

namespace varrow {
namespace {

using ostrel::builder::BlockFields;
using ostrel::builder::HeaderBytes;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::RunRecovery;
using testing::ScratchFolder;

constexpr uint32_t kCluster = 4096;
constexpr uint32_t kSpan = 0x210;

// The bytes of one store file, with blocks where a test puts them; tests
// place its pieces on the image by hand.
struct StoreFile {
    std::vector<uint8_t> bytes;

    void Block(uint32_t offset, const std::string& data, uint32_t next = 0) {
        WriteBlock(bytes, offset,
                   BlockFields{offset, 512, static_cast<uint32_t>(data.size()), next}, data);
    }
};

// Copies [from, from + length) of file to position; what the file does not
// hold is written as zeros.
void Place(std::vector<uint8_t>& image, const StoreFile& file, uint32_t from, uint32_t length,
           uint64_t position) {
    if (image.size() < position + length) image.resize(position + length, 0);
    for (uint32_t i = 0; i < length; ++i) {
        image[position + i] = from + i < file.bytes.size() ? file.bytes[from + i] : 0;
    }
}

void Put(std::vector<uint8_t>& image, uint64_t position, const std::string& bytes) {
    if (image.size() < position + bytes.size()) image.resize(position + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<ptrdiff_t>(position));
}

std::string Text(const std::vector<uint8_t>& bytes, uint64_t from, size_t length) {
    return std::string(bytes.begin() + static_cast<ptrdiff_t>(from),
                       bytes.begin() + static_cast<ptrdiff_t>(from + length));
}

// One message of a store file: its blocks (offset, data), each naming the
// next, and the text they make together.
struct ChainedMessage {
    StoreFile file;
    std::string text;
};

ChainedMessage ChainBlocks(const std::vector<std::pair<uint32_t, std::string>>& blocks) {
    ChainedMessage message;
    for (size_t i = 0; i < blocks.size(); ++i) {
        message.file.Block(blocks[i].first, blocks[i].second,
                           i + 1 < blocks.size() ? blocks[i + 1].first : 0);
        message.text += blocks[i].second;
    }
    return message;
}

class StoreAwareLinking : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::vector<uint8_t> image;
    std::string output = scratch / "out";
    std::optional<testing::ScopedTmpdir> tmpdir;

    void SetUp() override {
        std::filesystem::create_directory(scratch / "tmp");
        tmpdir.emplace((scratch / "tmp"));
    }

    // Every file the recovery wrote, by name.
    std::map<std::string, std::string> Recover(uint32_t options = VARROW_OPTION_STORE_AWARE) {
        const std::string source = scratch.WriteFile("image.bin", image);
        std::filesystem::remove_all(output);
        std::filesystem::create_directory(output);
        SetSubfolderCounter(1);
        EventRecorder recorder;
        RunRecovery(source, output, options, &recorder);
        std::map<std::string, std::string> files;
        for (const std::string& name : ListFolder(output)) {
            const auto bytes = ReadWholeFile(output + "/" + name);
            files[name] = std::string(bytes.begin(), bytes.end());
        }
        return files;
    }
    std::map<std::string, std::string> RecoverClassic() { return Recover(0); }

    // The image anew: file cluster 0 at 0x10000, other data after it, file
    // cluster 1 at 0x30000.
    void PlaceSplitAfterCluster0(const StoreFile& file) {
        image.clear();
        Place(image, file, 0, kCluster, 0x10000);
        Put(image, 0x11000, std::string(kCluster, '#'));
        Place(image, file, 0x1000, kCluster, 0x30000);
    }

    // Two stores of one layout whose file clusters 1 and 2 each lie on
    // their own, so that the end of either cluster 1 may go on in either
    // cluster 2. The linked texts by their first ten bytes; *flagged, when
    // given, learns how many chains are flagged incomplete.
    std::map<std::string, std::string> LinkTwins(const StoreFile& a, const StoreFile& b,
                                                 size_t* flagged = nullptr) {
        Place(image, a, kCluster, kCluster, 0x10000);
        Place(image, b, kCluster, kCluster, 0x30000);
        Place(image, a, 2 * kCluster, kCluster, 0x50000);
        Place(image, b, 2 * kCluster, kCluster, 0x70000);
        const std::string source = scratch.WriteFile("image.bin", image);
        std::map<std::string, std::string> texts;
        if (flagged != nullptr) *flagged = 0;
        for (const testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            texts[chain.text.substr(0, 10)] = chain.text;
            if (flagged != nullptr) *flagged += chain.Incomplete();
        }
        return texts;
    }

    // The chain the store-aware linker follows on the image that starts
    // with start; none found: an empty text.
    testing::LinkedChain ChainStartingWith(const std::string& start) {
        for (testing::LinkedChain& chain :
             testing::LinkChains(scratch.WriteFile("image.bin", image), true)) {
            if (chain.text.rfind(start, 0) == 0) return chain;
        }
        return {};
    }

    // A one-store piece: the blocks (offset, data, next) at base.
    void Piece(int64_t base,
               const std::vector<std::tuple<uint32_t, std::string, uint32_t>>& blocks) {
        for (const auto& [offset, data, next] : blocks) {
            WriteBlock(image, static_cast<uint64_t>(base) + offset,
                       BlockFields{offset, 512, static_cast<uint32_t>(data.size()), next}, data);
        }
    }
};

using Files = std::map<std::string, std::string>;

// --- Heads -----------------------------------------------------------------

TEST_F(StoreAwareLinking, AFirstBlockNamedByAnotherStoreThatHoldsThatOffsetItselfStaysAHead) {
    // Both stores use offset 0x1000: store A for a first block, store B for
    // the second block of its message.
    Piece(0x10000, {{0x1000, "Subject: a\r\n\r\nfirst of a ", 0x1210}, {0x1210, "rest of a", 0}});
    Piece(0x40000, {{0x0df0, "Subject: b\r\n\r\nfirst of b ", 0x1000}, {0x1000, "rest of b", 0}});
    EXPECT_EQ(Recover(), (Files{{"a.eml", "Subject: a\r\n\r\nfirst of a rest of a"},
                                {"b.eml", "Subject: b\r\n\r\nfirst of b rest of b"}}));
    // Keyed by offset alone, store A's first block counts as named.
    EXPECT_EQ(RecoverClassic().count("a.eml"), 0u);
}

TEST_F(StoreAwareLinking, EveryBlockOfAnOffsetNamedFromAPieceWithoutItIsLinked) {
    // Piece 1 ends after its first block; its message goes on in piece 2.
    // Piece 3 holds another block with that offset, which may be the one
    // that follows as well, so it is no head either.
    Piece(0x10000, {{0x1000, "Subject: c\r\n\r\nstart, ", 0x1210}});
    Piece(0x52000, {{0x1210, "and the rest: of c", 0}});
    Piece(0x90000, {{0x1210, "Subject: lost\r\n", 0}});
    EXPECT_EQ(Recover(), (Files{{"c.eml", "Subject: c\r\n\r\nstart, and the rest: of c"}}));
}

TEST_F(StoreAwareLinking, HeadsAreNumberedInTheWalkingOrderWithCopiesSharingANumber) {
    // Offsets 0x300 and 0x100 lie in buckets 48 and 16, and so does
    // 0x100 + 16 * 14983, which the scan meets later: the newer offset of a
    // bucket comes first. Both copies of 0x100 carry one number, in
    // ascending position.
    Piece(0x10000, {{0x300, "Subject: three\r\n", 0}});
    Piece(0x20000, {{0x100, "Subject: one\r\n", 0}});
    Piece(0x30000, {{0x100, "Subject: one\r\n", 0}});
    Piece(0x40000, {{0x100 + 16 * 14983, "Subject: same bucket\r\n", 0}});
    const std::string source = scratch.WriteFile("image.bin", image);
    std::filesystem::create_directory(output);
    EventRecorder recorder;
    EXPECT_EQ(RunRecovery(source, output, VARROW_OPTION_STORE_AWARE, &recorder), 1);
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL),
              (std::vector<std::string>{"Message No.", "Subject", "1", "same bucket", "2", "one",
                                        "2", "one", "3", "three"}));
}

// --- Successors ------------------------------------------------------------

// The message "Subject: pick" begins at 0x0c00 of a store whose cluster 0
// lies at 0x10000 (with a block before it, so that the piece is solid) and
// names 0x1020, in cluster 1. Pieces that begin with cluster 1 of some
// store lie at 0x40000 and 0x60000 (bases 0x3f000, 0x5f000); each holds a
// block at 0x1020 and, in some cases, one at 0x1230 that names back into
// cluster 0.
class NextCluster : public StoreAwareLinking {
protected:
    using Blocks = std::vector<std::tuple<uint32_t, std::string, uint32_t>>;
    const std::string head = "Subject: pick\r\n\r\nfirst part, ";

    void Build(const Blocks& near, const Blocks& far) {
        image.clear();
        Piece(0x10000, {{0x0a00, "Subject: before\r\n", 0}, {0x0c00, head, 0x1020}});
        Put(image, 0x11000, std::string(kCluster, '#'));
        Piece(0x3f000, near);
        Piece(0x5f000, far);
    }
    // The message's chain as the store-aware linker follows it.
    testing::LinkedChain Pick() {
        const std::string source = scratch.WriteFile("image.bin", image);
        for (testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            if (chain.text.rfind("Subject: pick", 0) == 0) return chain;
        }
        ADD_FAILURE() << "no message";
        return {};
    }
};

TEST_F(NextCluster, IsThePieceTheBlocksOnBothSidesSpeakFor) {
    struct Case {
        const char* what;
        Blocks near, far;
        std::string next;  // empty: the message stops at the boundary
        bool incomplete;   // stopped there, or went on over a guess
    };
    const Blocks back = {{0x1230, "more", 0x0e10}};     // names 0x0e10, which the store lacks
    const Blocks backOwn = {{0x1230, "more", 0x0a00}};  // names 0x0a00, which it holds
    const std::vector<Case> cases = {
        {"the only piece with the named block",
         {{0x1020, "rest", 0}},
         {{0x1030, "other", 0}},
         "rest",
         false},
        {"not one that names back what the store lacks",
         {{0x1020, "near", 0}, back[0]},
         {{0x1020, "far", 0}},
         "far",
         false},
        {"one that names back what the store holds",
         {{0x1020, "near", 0}},
         {{0x1020, "far", 0}, backOwn[0]},
         "far",
         false},
        {"not one whose block opens a message",
         {{0x1020, "Received: from", 0}},
         {{0x1020, "body", 0}},
         "body",
         false},
        // Between equals the nearer on disk is taken, as a guess.
        {"a flagged guess between equals",
         {{0x1020, "near", 0}},
         {{0x1020, "far", 0}},
         "near",
         true},
        {"none when no piece holds the block",
         {{0x1030, "near", 0}},
         {{0x1040, "far", 0}},
         "",
         true},
    };
    for (const Case& c : cases) {
        Build(c.near, c.far);
        const testing::LinkedChain chain = Pick();
        EXPECT_EQ(chain.text, head + c.next) << c.what;
        EXPECT_EQ(chain.Incomplete(), c.incomplete) << c.what;
        EXPECT_EQ(chain.trace.end == ChainEnd::Complete, !c.next.empty()) << c.what;
    }
}

TEST_F(NextCluster, ChosenOnlyByItsSharedWordingIsFollowedButFlagged) {
    // Both pieces hold the named block and nothing else speaks for either;
    // one goes on in the message's own words. The message follows it, but
    // as a guess: its record says the end may be missing.
    std::string echo;
    for (int i = 0; i < 40; ++i) echo += "first part, ";
    struct Case {
        const char* what;
        Blocks near, far;
        std::string next;
        bool flagged;
    };
    const std::vector<Case> cases = {
        {"picked by shared wording", {{0x1020, echo, 0}}, {{0x1020, "far", 0}}, echo, true},
        {"the only piece with the named block",
         {{0x1020, echo, 0}},
         {{0x1030, "far", 0}},
         echo,
         false},
    };
    for (const Case& c : cases) {
        Build(c.near, c.far);
        const testing::LinkedChain chain = Pick();
        EXPECT_EQ(chain.text, head + c.next) << c.what;
        EXPECT_EQ(chain.trace.end, ChainEnd::Complete) << c.what;
        EXPECT_EQ(chain.trace.endGuessed, c.flagged) << c.what;
        EXPECT_EQ(chain.Incomplete(), c.flagged) << c.what;
    }
}

// The store of "Subject: pick" does not reach the cluster its chain jumps
// to (no piece holds cluster 1 at all): only a block that every other
// piece holding that offset agrees on can be the one.
TEST_F(StoreAwareLinking, AChainThatJumpsOutOfItsFileTakesOnlyWhatAllCopiesAgreeOn) {
    struct Case {
        const char* what;
        std::vector<std::string> copies;
        std::string next;
    };
    const std::vector<Case> cases = {
        {"one copy", {"jumped"}, "jumped"},
        {"identical copies", {"jumped", "jumped"}, "jumped"},
        {"copies that disagree", {"jumped", "other"}, ""},
        {"not a block that opens a message", {"jumped", "From: x"}, "jumped"},
    };
    for (const Case& c : cases) {
        image.clear();
        const std::string head = "Subject: jump\r\n\r\nfirst, ";
        Piece(0x10000, {{0x0a00, "Subject: before\r\n", 0}, {0x0c00, head, 0x5020}});
        for (size_t i = 0; i < c.copies.size(); ++i) {
            Piece(0x81000 + 0x23000 * static_cast<int64_t>(i),
                  {{0x5020, c.copies[i], 0}, {0x5230, "x", 0}});
        }
        const std::string source = scratch.WriteFile("image.bin", image);
        bool found = false;
        for (const testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            if (chain.text.rfind("Subject: jump", 0) != 0) continue;
            found = true;
            EXPECT_EQ(chain.text, head + c.next) << c.what;
            EXPECT_EQ(chain.Incomplete(), c.next.empty()) << c.what;
        }
        EXPECT_TRUE(found) << c.what;
    }
}

// A stray block (alone at an alignment no piece of several blocks has) is
// followed by offset alone: the candidate that completes a cut header name,
// else the nearest.
TEST_F(StoreAwareLinking, AStrayBlockIsFollowedByOffsetAlone) {
    Piece(0x10123, {{0x1000, "Subject: stray\r\nContent-Ty", 0x1210}});
    Piece(0x12345, {{0x1210, "Received: near", 0}});
    Piece(0x90567, {{0x1210, "pe: text/plain", 0}});
    EXPECT_EQ(Recover().at("stray.eml"), "Subject: stray\r\nContent-Type: text/plain");
    image.clear();
    Piece(0x10123, {{0x1000, "Subject: stray\r\n", 0x1210}});
    Piece(0x12345, {{0x1210, "near", 0}});
    Piece(0x90567, {{0x1210, "far", 0}});
    EXPECT_EQ(Recover().at("stray.eml"), "Subject: stray\r\nnear");
}

// A store whose cluster 2 other data overwrote, beside an older copy that
// still holds it: the message that runs through cluster 2 stops there
// (incomplete) instead of taking the overwriting bytes for its own, and
// the copy gives it whole.
TEST_F(StoreAwareLinking, AnOverwrittenClusterThatACopyHoldsStopsTheMessage) {
    StoreFile file;
    const std::string first = "Subject: through\r\n\r\n" + std::string(490, 'a');
    file.Block(0x0a00, "Subject: before\r\n", 0);
    file.Block(0x1a00, first, 0x1c10);
    file.Block(0x1c10, std::string(512, 'b'), 0x1e20);
    file.Block(0x1e20, std::string(512, 'c'), 0x2030);
    file.Block(0x2030, std::string(512, 'd'), 0x2240);
    file.Block(0x2240, std::string(512, 'e'), 0x3050);
    file.Block(0x3050, "end", 0);
    file.Block(0x3260, "Subject: after\r\n", 0);
    Place(image, file, 0, 4 * kCluster, 0x10000);
    Place(image, file, 0, 4 * kCluster, 0x40000);
    Put(image, 0x12000, std::string(kCluster, 'N'));  // cluster 2 of the live store
    const std::string whole = first + std::string(512, 'b') + std::string(512, 'c') +
                              std::string(512, 'd') + std::string(512, 'e') + "end";
    const std::string source = scratch.WriteFile("image.bin", image);
    std::vector<std::string> complete, incomplete;
    for (const testing::LinkedChain& chain : testing::LinkChains(source, true)) {
        if (chain.text.rfind("Subject: through", 0) != 0) continue;
        (chain.Incomplete() ? incomplete : complete).push_back(chain.text);
    }
    EXPECT_EQ(complete, std::vector<std::string>{whole});
    ASSERT_EQ(incomplete.size(), 1u);
    EXPECT_EQ(whole.rfind(incomplete[0], 0), 0u) << "a prefix of the message";
    EXPECT_EQ(incomplete[0].find('N'), std::string::npos);
}

// A store in one piece whose cluster 2 other text overwrote: "Subject:
// into" runs 32 bytes into it from cluster 1. The piece goes on past the
// cluster, which holds no block, so nothing shows the text there to be
// another file's: it is read as it lies, and the message is flagged. The
// message after the cluster is whole.
TEST_F(StoreAwareLinking, DataFromAClusterOfAPieceThatHoldsNoBlockIsFlagged) {
    StoreFile file;
    file.Block(0x0a00, "Subject: before\r\n", 0);
    const std::string head = "Subject: into\r\n\r\n" + std::string(495, 'h');
    file.Block(0x1c00, head, 0x1e10);
    file.Block(0x1e10, std::string(480, 'x') + std::string(32, 'y'), 0);
    file.Block(0x3000, "Subject: after\r\n\r\nbody", 0);
    Place(image, file, 0, 4 * kCluster, 0x10000);
    Put(image, 0x12000, std::string(kCluster, 'T'));
    const testing::LinkedChain into = ChainStartingWith("Subject: into");
    EXPECT_EQ(into.text, head + std::string(480, 'x') + std::string(32, 'T'));
    EXPECT_TRUE(into.Incomplete());
    const testing::LinkedChain after = ChainStartingWith("Subject: after");
    EXPECT_EQ(after.text, "Subject: after\r\n\r\nbody");
    EXPECT_FALSE(after.Incomplete());
}

// A store file whose message "Subject: <tag>" has its last block (0x1e10)
// run 20 bytes into cluster 2, after "Subject: before" in cluster 0.
struct MessageIntoCluster2 {
    std::string head, last;
    StoreFile file;

    explicit MessageIntoCluster2(const std::string& tag)
        : head("Subject: " + tag + "\r\n\r\n" + std::string(499 - tag.size(), 'h')),
          last(std::string(480, 'x') + "\r\nRegards\r\n" + std::string(9, 'y')) {
        file.Block(0x0a00, "Subject: before\r\n", 0);
        file.Block(0x1c00, head, 0x1e10);
        file.Block(0x1e10, last, 0);
    }
};

// A message whose last block (0x1e10) runs 20 bytes into the store's
// cluster 2; the block after it on the store's grid (0x2020) lies there
// too, in another file. Where the cluster in line holds other text (which
// reads on as well as the message's own), that block shows it damaged and
// the message goes on where the store's cluster 2 lies. Where the cluster
// in line holds the rest of the last block unused (zeros up to 0x2020), it
// is the store's own, and the block that another store, placed whole,
// holds at 0x2020 only shares the grid.
TEST_F(StoreAwareLinking, ABlockAfterTheLastOneElsewhereShowsTheClusterInLineDamagedUnlessUnused) {
    MessageIntoCluster2 message("tail");
    const std::string &head = message.head, &last = message.last;
    StoreFile& file = message.file;
    file.Block(0x3000, "Subject: after\r\n\r\nbody", 0);
    {
        SCOPED_TRACE("the store's cluster 2 elsewhere");
        StoreFile moved = file;
        moved.Block(0x2020, "Subject: next\r\n\r\n" + std::string(490, 'n'), 0x2230);
        moved.Block(0x2230, std::string(300, 'n'), 0);
        Place(image, moved, 0, 2 * kCluster, 0x10000);
        Put(image, 0x12000, std::string(kCluster, 'x'));
        Place(image, moved, 2 * kCluster, 2 * kCluster, 0x30000);
        EXPECT_EQ(ChainStartingWith("Subject: tail").text, head + last);
        EXPECT_EQ(ChainStartingWith("Subject: after").text, "Subject: after\r\n\r\nbody");
    }
    {
        SCOPED_TRACE("another store sharing the grid");
        StoreFile other;
        other.Block(0x1c00, "Subject: other\r\n\r\n" + std::string(492, 'o'), 0x1e10);
        other.Block(0x1e10, std::string(512, 'p'), 0x2020);
        other.Block(0x2020, std::string(512, 'q'), 0x2230);
        other.Block(0x2230, std::string(300, 'r'), 0);
        image.clear();
        Place(image, file, 0, 4 * kCluster, 0x10000);
        Place(image, other, 0, 4 * kCluster, 0x40000);
        // (Flagged all the same: data from a cluster without a block.)
        EXPECT_EQ(ChainStartingWith("Subject: tail").text, head + last);
        EXPECT_EQ(ChainStartingWith("Subject: after").text, "Subject: after\r\n\r\nbody");
    }
}

// A message whose last block runs 20 bytes into the store's cluster 2,
// which holds nothing else: no piece begins there. The store's clusters 2
// and 3 lie elsewhere, the cluster in line holds binary data, and another
// store holds a cluster 2 of its own. In clusters of 4 KiB a cluster
// without a block is likelier damage than the store's own, so the piece
// that begins at cluster 3 is no way on: the message stops, flagged.
// (Volumes of 1 KiB clusters, where it is, are in the file system
// scenarios.)
TEST_F(StoreAwareLinking, AStartAClusterLaterIsNoWayOnInClustersOf4KiB) {
    MessageIntoCluster2 message("lead");
    const std::string &head = message.head, &last = message.last;
    StoreFile& file = message.file;
    file.Block(0x3000, "Subject: after\r\n\r\nbody", 0x3210);
    file.Block(0x3210, "more", 0);
    StoreFile other;
    other.Block(0x0a00, "Subject: other\r\n", 0);
    other.Block(0x2100, "Subject: second\r\n", 0x2310);
    other.Block(0x2310, "of the other store", 0);
    Place(image, file, 0, 2 * kCluster, 0x10000);
    std::string binary(kCluster, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 % 32);
    Put(image, 0x12000, binary);
    Place(image, file, 2 * kCluster, 2 * kCluster, 0x30000);
    Place(image, other, 0, 4 * kCluster, 0x50000);
    const testing::LinkedChain lead = ChainStartingWith("Subject: lead");
    EXPECT_EQ(lead.text, head + last.substr(0, 480));
    EXPECT_TRUE(lead.Incomplete());
    EXPECT_EQ(ChainStartingWith("Subject: after").text, "Subject: after\r\n\r\nbodymore");
}

// Two copies of one store file whose cluster 1 each lies on its own, with
// the same bytes; one start holds cluster 2. The older copy lost cluster 0,
// where "Subject: shared" begins, so only the live copy's chain has a head.
// Only which copy lies nearer tells which one the start continues: both go
// on there (as a guess), and the message is whole either way.
TEST_F(StoreAwareLinking, CopiesWithTheSameBytesBeforeABoundaryBothGoOnInTheStart) {
    std::vector<std::pair<uint32_t, std::string>> blocks;
    blocks.emplace_back(0x0e00, "Subject: shared\r\n\r\n" + std::string(493, 's'));
    for (uint32_t offset = 0x1010; offset < 0x2400; offset += kSpan)
        blocks.emplace_back(offset, std::string(512, static_cast<char>('a' + offset / kSpan % 26)));
    const ChainedMessage message = ChainBlocks(blocks);
    for (const bool liveNearer : {true, false}) {
        SCOPED_TRACE(liveNearer ? "live copy nearer the start" : "older copy nearer the start");
        image.clear();
        const uint64_t live = liveNearer ? 0x30000 : 0x20000;
        const uint64_t older = liveNearer ? 0x20000 : 0x30000;
        Place(image, message.file, 0, kCluster, 0x10000);
        Place(image, message.file, kCluster, kCluster, live);
        Place(image, message.file, kCluster, kCluster, older);
        Put(image, older + kCluster, std::string(kCluster, '#'));
        Put(image, live + kCluster, std::string(kCluster, '#'));
        Place(image, message.file, 2 * kCluster, 2 * kCluster, 0x40000);
        EXPECT_EQ(ChainStartingWith("Subject: shared").text, message.text);
    }
}

// The older copy of a store lost the cluster of a message's first block;
// the rest of that message there starts no message of its own, colon or
// not, unless it opens like one.
// Three stores with one block grid: a message runs from file cluster 1
// into cluster 2. Cluster 1 of B lies right after cluster 1 of A, and
// right after it cluster 2 of A, which therefore shares B's base and joins
// B's cluster 1 as if it were B's own. A's end and C's end at cluster 1
// both fit the starts of B's and C's cluster 2 equally well, so A's link
// is a guess, and so is the join that another copy's end could have
// continued in: B's message, read across it, is flagged.
TEST_F(StoreAwareLinking, AJoinThatAnotherCopysGuessedEndCouldContinueInIsAGuessToo) {
    const auto store = [](char letter) {
        StoreFile file;
        const std::string tag(1, letter);
        file.Block(0x1a00, "Subject: " + tag + "\r\n\r\n" + std::string(400, letter), 0x1c10);
        file.Block(0x1c10, std::string(512, letter), 0x2030);
        file.Block(0x2030, "more of " + tag, 0x2240);
        file.Block(0x2240, "end of " + tag, 0);
        return file;
    };
    const StoreFile a = store('a'), b = store('b'), c = store('c');
    struct Case {
        const char* what;
        bool withC;
        bool flagged;
    };
    for (const Case& layout : {Case{"another copy's end is a guess", true, true},
                               Case{"A's end has nothing to guess between", false, false}}) {
        image.clear();
        Place(image, a, kCluster, kCluster, 0x10000);
        Place(image, b, kCluster, kCluster, 0x11000);
        Place(image, a, 2 * kCluster, kCluster, 0x12000);
        if (layout.withC) {
            Place(image, b, 2 * kCluster, kCluster, 0x30000);
            Place(image, c, kCluster, kCluster, 0x50000);
            Place(image, c, 2 * kCluster, kCluster, 0x70000);
        }
        const std::string source = scratch.WriteFile("image.bin", image);
        bool found = false;
        for (const testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            if (chain.text.rfind("Subject: b", 0) != 0) continue;
            found = true;
            // B's own text up to the boundary, whatever follows it.
            EXPECT_EQ(chain.text.substr(0, 400 + 14), "Subject: b\r\n\r\n" + std::string(400, 'b'))
                << layout.what;
            EXPECT_EQ(chain.Incomplete(), layout.flagged) << layout.what;
        }
        EXPECT_TRUE(found) << layout.what;
    }
}

// Two copies whose messages run from file cluster 1 into 2 at the same
// offsets; each message's header name is cut by the boundary, which tells
// the copies apart. Wherever the clusters lie, even where one copy's
// cluster 1 lies in line with the other's cluster 2 at one base, each
// message is read whole and unflagged.
TEST_F(StoreAwareLinking, ClustersOfTwoCopiesInLineAreJoinedOnlyWhereTheTextSaysSo) {
    const auto store = [](char letter, const std::string& cutName, const std::string& rest) {
        const std::string tag(1, letter);
        // Header lines of 512 bytes or more, each field named once.
        const auto fields = [&](const std::string& first, const std::string& name) {
            std::string lines = first;
            for (int i = 0; lines.size() < 512; ++i)
                lines += name + std::to_string(i) + ": " + std::string(20, letter) + "\r\n";
            return lines;
        };
        // 464 bytes of the third block lie before the boundary.
        std::string crossing = fields("", "X-Third-" + tag).substr(0, 464 - cutName.size());
        crossing += cutName + rest;
        crossing.resize(512, letter);
        return ChainBlocks({{0x1a00, fields("Subject: " + tag + "\r\n", "X-First-").substr(0, 512)},
                            {0x1c10, fields("", "X-Second-").substr(0, 512)},
                            {0x1e20, crossing},
                            {0x2030, "the body of " + tag},
                            {0x2240, "the end of " + tag}});
    };
    const ChainedMessage a = store('a', "\r\nContent-Ty", "pe: text/plain\r\n\r\n");
    const ChainedMessage b = store('b', "\r\nMIME-Vers", "ion: 1.0\r\n\r\n");
    struct Case {
        const char* what;
        uint64_t a1, a2, b1, b2;  // where each copy's clusters 1 and 2 lie
    };
    for (const Case& layout : {
             Case{"A's cluster 1 in line with B's cluster 2", 0x20000, 0x60000, 0x40000, 0x21000},
             Case{"B's cluster 1 in line with A's cluster 2", 0x40000, 0x21000, 0x20000, 0x60000},
             Case{"A whole in line, B's clusters apart", 0x20000, 0x21000, 0x40000, 0x60000},
         }) {
        image.clear();
        Place(image, a.file, kCluster, kCluster, layout.a1);
        Place(image, a.file, 2 * kCluster, kCluster, layout.a2);
        Place(image, b.file, kCluster, kCluster, layout.b1);
        Place(image, b.file, 2 * kCluster, kCluster, layout.b2);
        const std::string source = scratch.WriteFile("image.bin", image);
        std::map<std::string, std::string> texts;
        size_t flagged = 0;
        for (const testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            texts[chain.text.substr(0, 10)] = chain.text;
            flagged += chain.Incomplete();
        }
        EXPECT_EQ(texts["Subject: a"], a.text) << layout.what;
        EXPECT_EQ(texts["Subject: b"], b.text) << layout.what;
        EXPECT_EQ(flagged, 0u) << layout.what;
    }
}

// One store whose file clusters 2 and 3 lie together, cluster 4 is lost
// and cluster 5 lies elsewhere; cluster 6 lies at the first fragment's base
// again, after two clusters without blocks. A message runs from cluster 5
// into 6. The gap at the first base is where the file's other fragment
// belongs, not a hole in one piece: the message is read whole across it.
TEST_F(StoreAwareLinking, AGapWhereAnotherFragmentsChainGoesOnSplitsThePiece) {
    StoreFile file;
    file.Block(0x2000, "Subject: p\r\n\r\n" + std::string(490, 'p'), 0x2210);
    file.Block(0x2210, "end of p", 0);
    file.Block(0x3000, "Subject: q\r\n\r\n" + std::string(490, 'q'), 0x3210);
    file.Block(0x3210, "end of q", 0);
    const std::string first = "Subject: m\r\n\r\n" + std::string(490, 'm');
    file.Block(0x5a00, first, 0x5c10);
    file.Block(0x5c10, std::string(512, 'n'), 0x6100);
    file.Block(0x6100, "more of m ", 0x6310);
    file.Block(0x6310, "end of m", 0);
    const std::string whole = first + std::string(512, 'n') + "more of m end of m";
    Place(image, file, 2 * kCluster, 2 * kCluster, 0x22000);
    Place(image, file, 6 * kCluster, kCluster, 0x26000);
    Place(image, file, 5 * kCluster, kCluster, 0x45000);
    const testing::LinkedChain chain = ChainStartingWith("Subject: m");
    EXPECT_EQ(chain.text, whole);
    EXPECT_FALSE(chain.Incomplete());
}

// A message's last block runs from file cluster 1 into cluster 2, which
// lies elsewhere, in the middle of a line one byte longer than any other
// line near the boundary (text wrapped at 60, one line of 61). The text
// says nothing else for or against the link: it is made, and the message
// read whole. Two bytes longer, the line speaks against it and the
// message stops at the boundary, flagged.
TEST_F(StoreAwareLinking, ALineOneByteLongerThanTheWidthsNearTheBoundaryIsStillItsText) {
    // Lines of width bytes of words, each ended by CR LF.
    const auto lines = [](size_t count, size_t width) {
        std::string text;
        for (size_t i = 0; i < count; ++i) {
            std::string line;
            while (line.size() < width) line += "word ";
            line.resize(width);
            line.back() = 'x';
            text += line + "\r\n";
        }
        return text;
    };
    for (const size_t longer : {1u, 2u}) {
        image.clear();
        StoreFile file;
        const std::string first = ("Subject: w\r\n\r\n" + lines(9, 60)).substr(0, 512);
        const std::string second = lines(9, 60).substr(0, 512);
        // 464 bytes of the last block lie before the boundary: the line the
        // boundary cuts starts 30 bytes before it.
        std::string last = lines(7, 60) + std::string(30, 'y');
        last += std::string(30 + longer, 'z') + "\r\n" + lines(1, 60);
        last.resize(512);
        file.Block(0x1a00, first, 0x1c10);
        file.Block(0x1c10, second, 0x1e20);
        file.Block(0x1e20, last, 0);
        file.Block(0x2240, "Subject: v\r\n\r\n" + lines(6, 60), 0);
        file.Block(0x2450, "Subject: u\r\n\r\n" + lines(6, 60), 0);
        Place(image, file, kCluster, kCluster, 0x11000);
        Place(image, file, 2 * kCluster, kCluster, 0x42000);
        const testing::LinkedChain chain = ChainStartingWith("Subject: w");
        if (longer == 1) {
            EXPECT_EQ(chain.text, first + second + last);
            EXPECT_FALSE(chain.Incomplete());
        } else {
            EXPECT_EQ(chain.text, first + second + last.substr(0, 464));
            EXPECT_TRUE(chain.Incomplete());
        }
    }
}

// Two stores with one layout and like wording; the last block of file
// cluster 1 runs into cluster 2 in the middle of a word ("proj|ect" in A,
// "Mon|day" in B). Links, text and shared substrings tie; only the word
// each message uses elsewhere tells which cluster 2 is whose.
struct TwinsWithCutWords {
    ChainedMessage a, b;

    TwinsWithCutWords() {
        const auto filler = [](size_t length) {
            std::string text;
            while (text.size() < length) text += "we send the notes after lunch and\r\n";
            return text.substr(0, length);
        };
        const auto store = [&](const std::string& subject, const std::string& cutWord, size_t cut) {
            return ChainBlocks({
                {0x1a00,
                 "Subject: " + subject + "\r\n\r\nAbout the " + cutWord + ".\r\n" + filler(400)},
                {0x1c10, filler(512)},
                // 464 bytes up to the boundary, 48 after it.
                {0x1e20, filler(464 - 6 - cut) + "\r\nour " + cutWord.substr(0, cut) +
                             cutWord.substr(cut) + " is late.\r\n" +
                             filler(48 - (cutWord.size() - cut) - 11)},
                {0x2030, filler(300)},
                {0x2240, "end of " + subject},
            });
        };
        a = store("a", "project", 4);
        b = store("b", "Monday", 3);
    }
};

TEST_F(StoreAwareLinking, TwinEndsTakeTheStartWhereTheWordTheBoundaryCutsIsTheirs) {
    const TwinsWithCutWords twins;
    const ChainedMessage& a = twins.a;
    const ChainedMessage& b = twins.b;
    size_t flagged = 0;
    EXPECT_EQ(LinkTwins(a.file, b.file, &flagged),
              (std::map<std::string, std::string>{{"Subject: a", a.text}, {"Subject: b", b.text}}));
    // The first link was picked among rivals of equal strong evidence: a
    // guess, which its message reports; the second is left to its end only
    // because the first took the rival start, and is as uncertain.
    EXPECT_EQ(flagged, 2u);
}

// The same twins where B's cluster 2 lies right after A's cluster 1 on
// disk, at A's base (a file system refilled freed clusters): the word the
// boundary cuts outranks going on in line.
TEST_F(StoreAwareLinking, AWordTheBoundaryCutsOutranksAnotherStoresClusterInLine) {
    const TwinsWithCutWords twins;
    Place(image, twins.a.file, kCluster, kCluster, 0x20000);
    Place(image, twins.b.file, 2 * kCluster, kCluster, 0x21000);
    Place(image, twins.b.file, kCluster, kCluster, 0x40000);
    Place(image, twins.a.file, 2 * kCluster, kCluster, 0x60000);
    EXPECT_EQ(ChainStartingWith("Subject: a").text, twins.a.text);
    EXPECT_EQ(ChainStartingWith("Subject: b").text, twins.b.text);
}

TEST_F(StoreAwareLinking, TwinEndsTakeTheStartThatKeepsTheirTextsHabits) {
    // Two stores with one layout and one wording; the last block of file
    // cluster 1 runs into cluster 2 right after "ready?" in A and after a
    // space in B. No word is cut, and each cluster 2 quotes the other
    // message's last line, so that shared wording points the wrong way;
    // only the kinds of characters tell: A's text has a line end after "?"
    // and never a letter, B's never a space before a line end.
    const std::string filler = "we send the notes after lunch and\r\n";
    const auto fill = [&](size_t length) {
        std::string text;
        while (text.size() < length) text += filler;
        return text.substr(0, length);
    };
    const std::string lineA = "the printer on floor two is broken again\r\n";
    const std::string lineB = "the budget for the trip to Lyon is fixed\r\n";
    const auto store = [&](const std::string& subject, const std::string& own,
                           const std::string& quoted, const std::string& beforeCut,
                           const std::string& afterCut) {
        return ChainBlocks({
            {0x1a00, "Subject: " + subject + "\r\n\r\nIs it ok?\r\n" + fill(400)},
            {0x1c10, fill(512)},
            // 464 bytes up to the boundary, 48 after it.
            {0x1e20, fill(464 - own.size() - beforeCut.size()) + own + beforeCut + afterCut +
                         fill(48 - afterCut.size())},
            {0x2030, quoted + quoted + quoted + fill(300 - 3 * quoted.size())},
            {0x2240, "end of " + subject},
        });
    };
    const ChainedMessage a = store("a", lineA, lineB, "is it ready?", "\r\n\r\nCall me\r\n"),
                         b = store("b", lineB, lineA, "our budget ", "xylo new\r\n");
    EXPECT_EQ(LinkTwins(a.file, b.file),
              (std::map<std::string, std::string>{{"Subject: a", a.text}, {"Subject: b", b.text}}));
}

TEST_F(StoreAwareLinking, ARemnantWhoseFirstBlockIsLostStartsNoMessage) {
    for (const bool opensLikeAMessage : {false, true}) {
        StoreFile file;
        const std::string second =
            opensLikeAMessage ? "Reply-To: x\r\n" : "second part: with a colon";
        file.Block(0x0a00, "Subject: before\r\n", 0);
        file.Block(0x0e00, "Subject: lost head\r\n\r\n", 0x1010);
        file.Block(0x1010, second, 0x1220);
        file.Block(0x1220, " end", 0);
        Place(image, file, 0, 2 * kCluster, 0x10000);
        Place(image, file, 0, 2 * kCluster, 0x40000);
        Put(image, 0x40000, std::string(kCluster, 'N'));  // cluster 0 of the older copy
        const Files files = Recover();
        EXPECT_EQ(files.at("lost head.eml"), "Subject: lost head\r\n\r\n" + second + " end");
        EXPECT_EQ(files.size(), opensLikeAMessage ? 3u : 2u) << opensLikeAMessage;
    }
}

TEST(StoreText, MessageStartsAndPlausibleText) {
    const std::vector<std::pair<std::string, bool>> starts = {
        {"Received: from", true},
        {"X-Mailer: x", true},
        {"from: a", true},
        {"DATE:", true},
        {"Content-Type: text/plain", true},
        {"pe: text/plain", false},
        {"X-: short", false},
        {"Xy: unknown", false},
        {"Subject : space", false},
        {"Subject", false},
        {"", false},
        {"1Subject: digit first", false},
        {"X-1: digit", true},
        {"--boundary:", false},
    };
    for (const auto& [text, expected] : starts) {
        EXPECT_EQ(IsMessageStart(std::vector<uint8_t>(text.begin(), text.end())), expected) << text;
    }
    const std::vector<std::pair<std::string, bool>> texts = {
        {"plain words\r\n\t", true},
        {"\x1b$B escape", true},
        {"caf\xe9 \xc3\xa9", true},
        {"", true},
        {std::string("nul\0", 4), false},
        {"bell\a", false},
        {"del\x7f", false},
        {"form\f", false},
    };
    for (const auto& [text, expected] : texts) {
        EXPECT_EQ(IsPlausibleText(std::vector<uint8_t>(text.begin(), text.end())), expected)
            << text;
    }
}

// The text test looks at sixteen and eight bytes at a time: every byte
// value must decide alone wherever it lies in a group of sixteen or eight
// or in the bytes after the last whole group, beside bytes that are text
// of every kind.
TEST(StoreText, EveryByteDecidesWhereverItLies) {
    const auto isText = [](int byte) {
        return byte >= 0x20 ? byte != 0x7F
                            : byte == '\t' || byte == '\n' || byte == '\r' || byte == 0x1B;
    };
    for (const uint8_t filler : {uint8_t{'a'}, uint8_t{'\n'}, uint8_t{0x80}, uint8_t{0xFF}}) {
        for (size_t length : {1u, 7u, 8u, 19u, 16u, 44u}) {
            for (size_t at = 0; at < length; ++at) {
                for (int byte = 0; byte < 256; ++byte) {
                    std::vector<uint8_t> bytes(length, filler);
                    bytes[at] = static_cast<uint8_t>(byte);
                    ASSERT_EQ(IsPlausibleText(bytes), isText(byte))
                        << "byte " << byte << " at " << at << " of " << length << " among "
                        << int{filler};
                }
            }
        }
    }
}

TEST(StoreText, MimeBoundariesAcrossABoundary) {
    const std::string declared =
        "Content-Type: multipart/mixed;\r\n\tboundary=\"----=_Part_1234_ABCD\"\r\n\r\n";
    const std::string part = "------=_Part_1234_ABCD\r\nContent-Type: text/plain\r\n\r\ntext\r\n";
    const std::vector<JoinCase> cases = {
        {"a part of the declared boundary", declared, "more\r\n------=_Part_1234_ABCD\r\n",
         TextJoin::kTextGoesOn},
        {"the closing delimiter", declared + part, "------=_Part_1234_ABCD--\r\n",
         TextJoin::kTextGoesOn},
        {"a part delimited before", part, "x\r\n------=_Part_1234_ABCD\r\n", TextJoin::kTextGoesOn},
        {"another message's boundary", part, "------=_Part_9999_ZZZZ\r\n", TextJoin::kTextBreaks},
        {"a nested boundary declared after", part,
         "Content-Type: multipart/alternative; "
         "boundary=\"inner_boundary_1\"\r\n\r\n--inner_boundary_1\r\n",
         TextJoin::kTextSaysNothing},
        {"no part in progress", "plain text\r\n", "------=_Part_9999_ZZZZ\r\n",
         TextJoin::kTextSaysNothing},
        {"a delimiter cut by the end", part, "------=_Part_9999_ZZ", TextJoin::kTextSaysNothing},
        {"a short line of dashes", part, "-----\r\n", TextJoin::kTextSaysNothing},
        // The separator a reply quotes with is no delimiter, though every
        // reply has one.
        {"a reply's separator again", part + "----- Original Message -----=20\r\n",
         "x\r\n----- Original Message -----=20\r\n", TextJoin::kTextSaysNothing},
        {"a delimiter padded with blanks", part, "x\r\n------=_Part_1234_ABCD  \r\n",
         TextJoin::kTextGoesOn},
        {"a reply's separator beside a part", part, "x\r\n----- Original Message ----- \r\n",
         TextJoin::kTextSaysNothing},
    };
    ExpectJoins(JoinBoundaries, cases);
}

TEST(StoreText, LineWidths) {
    const auto bytes = [](const std::string& text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    EXPECT_EQ(LongestTextLine(bytes("a\r\nbbb\r\ncc\r\ndddd\r\ne\r\n")), 4u);
    EXPECT_EQ(LongestTextLine(bytes("a\r\nbbb\r\ncc\r\n")), 0u) << "fewer than four lines";
    EXPECT_EQ(LongestTextLine(bytes("x\na\nbb\n\x01\x02\x03\x04\x05\x06\nc\nd\n")), 2u)
        << "a block header is no line";
    EXPECT_EQ(LongestTextLine(bytes("\n\nab\n\n\n")), 2u) << "empty lines count too";
    EXPECT_EQ(LongestTextLine(bytes("first\na\nb\nc\nd\nlast without line feed")), 1u)
        << "only lines between line feeds count";
    EXPECT_EQ(JoinedLineLength(bytes("one\r\ntwo th"), bytes("ree\r\nfour")), 9u);
    EXPECT_EQ(JoinedLineLength(bytes("no line feed"), bytes("\r\n")), 12u);
    EXPECT_EQ(JoinedLineLength(bytes("x\n"), bytes("no line end")), SIZE_MAX);
}

TEST(StoreText, TextAcrossABoundaryGoesOnOrBreaks) {
    const std::string line(60, 'Q');  // base64 lines of 60
    const std::string lines = "\r\n" + line + "\r\n" + line + "\r\n";
    const std::vector<JoinCase> cases = {
        {"a header name cut in two", "body\r\nContent-Ty", "pe: text/plain", TextJoin::kTextGoesOn},
        {"a cut address field", "\r\nFr", "om: a@b", TextJoin::kTextGoesOn},
        {"two words that make no name", "\r\nHello", "World: x", TextJoin::kTextSaysNothing},
        {"a name without its colon", "\r\nContent-Ty", "pe text", TextJoin::kTextSaysNothing},
        {"a MIME type cut in two", "MIME-Version: 1.0\r\nContent-Type: multi",
         "part/alternative;\r\n", TextJoin::kTextGoesOn},
        {"a charset cut in two", "Content-Type: text/plain;\r\n\tcharset=\"iso-88", "59-1\"\r\n",
         TextJoin::kTextGoesOn},
        {"an encoding cut in two", "\r\nContent-Transfer-Encoding: quoted-pr", "intable\r\n",
         TextJoin::kTextGoesOn},
        {"a type that goes on in another value", "\r\nContent-Type: multi", "iso-8859-1\"\r\n",
         TextJoin::kTextSaysNothing},
        {"such a word in prose", "we sent the multi", "part files today\r\n",
         TextJoin::kTextSaysNothing},
        {"base64 going on at its length", lines + line.substr(0, 20), line.substr(0, 40) + "\r\nQQ",
         TextJoin::kTextGoesOn},
        {"base64 breaking right at the boundary", lines, "\r\n" + line, TextJoin::kTextSaysNothing},
        {"base64 ending in a shorter line", lines + line.substr(0, 20), "QQ\r\n\r\n--b",
         TextJoin::kTextSaysNothing},
        {"base64 running longer", lines + line.substr(0, 20), line + "\r\n", TextJoin::kTextBreaks},
        {"base64 going on in other bytes", lines + line.substr(0, 20), "hello, world\r\n",
         TextJoin::kTextBreaks},
        {"lines of different lengths", "\r\nshort\r\n" + line + "\r\nQQ", line + "\r\n",
         TextJoin::kTextSaysNothing},
        {"nothing after", lines, "", TextJoin::kTextSaysNothing},
    };
    ExpectJoins(JoinText, cases);
}

TEST(StoreText, HeaderFieldsAndProseDoNotMixWithinAParagraph) {
    const std::string fields =
        "Subject: hello\r\nFrom: \"A\" <a@example.com>\r\nTo: b@example.com\r\nCc: \"C";
    const std::string prose =
        "Hello all,\r\nWe meet on Monday after lunch.\r\nBring the draft and the\r\nnumbers for "
        "the "
        "report, pl";
    const std::vector<JoinCase> cases = {
        {"fields going on in fields", fields,
         "arl\" <c@x.org>\r\nDate: Mon\r\nMIME-Version: 1.0\r\n", TextJoin::kTextSaysNothing},
        {"fields going on in folded fields", fields,
         "\"\r\nContent-Type: text/plain;\r\n\tcharset=\"utf-8\"\r\n", TextJoin::kTextSaysNothing},
        {"fields going on in prose", fields, "ease.\r\nSee you then, and thanks\r\n",
         TextJoin::kTextBreaks},
        {"fields ending before the prose", fields, "x\"\r\n\r\nSee you then, and thanks\r\n",
         TextJoin::kTextSaysNothing},
        {"prose going on in prose", prose, "ease.\r\nSee you then.\r\n",
         TextJoin::kTextSaysNothing},
        {"prose going on in fields", prose,
         "et\"\r\nX-Priority: 3\r\nX-Mailer: Microsoft Outlook Express 6.00\r\n",
         TextJoin::kTextBreaks},
        {"prose going on in one field line", prose, "ease.\r\nNote: one line\r\n",
         TextJoin::kTextSaysNothing},
        {"prose, then a part with its fields", prose,
         "ease.\r\n------=_Part_1\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: "
         "7bit\r\n",
         TextJoin::kTextSaysNothing},
        {"a single field before", "x\r\nSubject: hi\r\nTo: b", "ob\r\nsome prose\r\n",
         TextJoin::kTextSaysNothing},
        {"the first line of before may be cut", "Bring the draft\r\nTo: b", "ob\r\nsome prose\r\n",
         TextJoin::kTextSaysNothing},
        {"a first line that begins as a message does is whole",
         "Return-Path: <m@x.net>\r\nReceived: from a\r\n\tby b\r\nReceived: from pc58 ([10.0.0.",
         "customer.\r\nShould be not after version room\r\n", TextJoin::kTextBreaks},
        {"no whole line after", fields, "arl\" <c@x.org>", TextJoin::kTextSaysNothing},
        {"fields for the last eight lines, prose further back",
         "x\r\nsome prose\r\nmore prose\r\n" + std::string("Received: by x\r\n") +
             "Received: by x\r\nReceived: by x\r\nReceived: by x\r\nReceived: by x\r\n"
             "Received: by x\r\nReceived: by x\r\nReceived: by x\r\nTo: b",
         "ob\r\nsome prose\r\n", TextJoin::kTextBreaks},
        {"no whole line before", "Subject: one line, cut", "ting\r\nprose\r\n",
         TextJoin::kTextSaysNothing},
        // A boundary right after a line end cuts no line: the first line
        // after it counts.
        {"fields ending at the boundary, prose right after",
         "Regards\r\n\r\nFrom: \"Peter\" <p@x.org>\r\nSent: Wed\r\nSubject: timeline\r\n",
         "is ok start index report\r\n", TextJoin::kTextBreaks},
        {"fields ending at the boundary, an empty line right after",
         "Regards\r\n\r\nFrom: \"Peter\" <p@x.org>\r\nSent: Wed\r\nSubject: timeline\r\n",
         "\r\n> Thanks, see you then.\r\n", TextJoin::kTextSaysNothing},
    };
    ExpectJoins(JoinParagraph, cases);
}

TEST(StoreText, AWordCutInTwoMakesOneOfTheMessagesWords) {
    const std::string text = "The project report is ready. Send the project notes on Monday.\r\n";
    const std::vector<JoinCase> cases = {
        {"a word cut in two", text + "Our proj", "ect is late.", TextJoin::kTextGoesOn},
        {"case ignored", text + "Our PROJ", "ect, late", TextJoin::kTextGoesOn},
        {"a word found only after", "Some words here and rep", "ort, and the report.",
         TextJoin::kTextGoesOn},
        {"a word the message never uses", text + "Our proj", "xyz is late.",
         TextJoin::kTextSaysNothing},
        {"a word starting right after the boundary", text + "Our ", "notes are late.",
         TextJoin::kTextGoesOn},
        {"a word ending right at the boundary", text + "Our notes", " are late.",
         TextJoin::kTextGoesOn},
        {"the word itself is no other occurrence", "a few words then unique", "ly more",
         TextJoin::kTextSaysNothing},
        {"one letter", text + "Our ", "x", TextJoin::kTextSaysNothing},
        {"a word that may run on after", text + "Our proj", "ect", TextJoin::kTextSaysNothing},
        {"a token with digits", text + "id k97proj", "ect7 sent", TextJoin::kTextSaysNothing},
        {"base64 has no spaces", "QUJDRA\r\nproject\r\nQUJDRAproj", "ect\r\n",
         TextJoin::kTextSaysNothing},
        {"nothing after", text + "proj", "", TextJoin::kTextSaysNothing},
        {"only inside longer words", "projects and a subproject here. Our proj", "ect is late.",
         TextJoin::kTextSaysNothing},
        {"at the very start and end", "Project it is. Our proj", "ect. A PROJECT",
         TextJoin::kTextGoesOn},
        {"8-bit letters", "un caf\xe9 noir, un ca", "f\xe9 au lait", TextJoin::kTextGoesOn},
        {"8-bit letters are no case of ASCII ones", "un caf\xc9 noir, un ca", "f\xe9 au lait",
         TextJoin::kTextSaysNothing},
    };
    ExpectJoins(JoinWords, cases);
}

TEST(StoreText, AWordIsFoundAtEveryPositionAndCase) {
    // The search skips stretches of text several bytes at a time: the word
    // must be found wherever it starts, before the boundary or after it,
    // and a near miss (a longer word, a shorter one) never counts.
    const auto join = [](const std::string& before, const std::string& after) {
        return JoinWords(std::vector<uint8_t>(before.begin(), before.end()),
                         std::vector<uint8_t>(after.begin(), after.end()));
    };
    for (size_t at = 0; at < 20; ++at) {
        const std::string gap(at, ' ');
        for (const std::string word : {"project", "PROJECT", "Project"}) {
            EXPECT_EQ(join(gap + word + " went well. Our proj", "ect is late."),
                      TextJoin::kTextGoesOn)
                << word << " before, at " << at;
            EXPECT_EQ(join("It went well. Our proj", "ect is late," + gap + word + "."),
                      TextJoin::kTextGoesOn)
                << word << " after, at " << at;
            EXPECT_EQ(join("It went well. Our proj", "ect is late," + gap + word),
                      TextJoin::kTextGoesOn)
                << word << " last, at " << at;
            // Its first letter where no word starts, just before it.
            for (const std::string decoy : {"xp ", "p-p ", "Pro pro-"}) {
                EXPECT_EQ(join(gap + decoy + word + " went well. Our proj", "ect is late."),
                          TextJoin::kTextGoesOn)
                    << word << " after " << decoy << ", at " << at;
            }
        }
        for (const std::string miss : {"projects", "projec", "subproject"}) {
            EXPECT_EQ(join(gap + miss + " went well. Our proj", "ect is late," + gap + miss),
                      TextJoin::kTextSaysNothing)
                << miss << " at " << at;
        }
    }
}

// --- Data across a cluster boundary ------------------------------------------

TEST_F(StoreAwareLinking, DataThatCrossesIntoAnotherPieceIsTakenFromThatPiece) {
    // Store file clusters 0 and 1 lie at 0x10000 and 0x30000, with other
    // data between; the head's data crosses from cluster 0 into cluster 1.
    StoreFile file;
    const std::string head = "Subject: spliced\r\n\r\n" + std::string(492, 'h');
    file.Block(0x0c00, "Subject: other\r\n");
    file.Block(0x0e10, head, 0x1020);
    file.Block(0x1020, std::string(512, 'f'), 0x1230);
    file.Block(0x1230, "end", 0);
    Place(image, file, 0, kCluster, 0x10000);
    Put(image, 0x11000, std::string(kCluster, '#'));
    Place(image, file, 0x1000, kCluster, 0x30000);
    const std::string text = head + std::string(512, 'f') + "end";
    EXPECT_EQ(Recover().at("spliced.eml"), text);
    EXPECT_NE(RecoverClassic().at("spliced.eml"), text);
}

// --- Chains without a successor across a cluster boundary -------------------

// A store file in two clusters, cluster 0 placed at 0x10000 and cluster 1
// wherever a test puts it (where its base is an odd multiple of 0x1000, so
// that the cluster size found stays 0x1000). The last block of "Subject: tail" runs from
// 0x0e10 across the boundary at file offset 0x1000 by 32 bytes; cluster 1
// begins with those 32 bytes and then holds "Subject: after".
class LastBlockAcross : public StoreAwareLinking {
protected:
    StoreFile file;
    const std::string head = "Subject: tail\r\n\r\n" + std::string(495, 'h');
    const std::string last = std::string(480, 'l') + std::string(32, 'r');
    const std::string after = "Subject: after\r\n\r\nbody";

    void SetUp() override {
        StoreAwareLinking::SetUp();
        file.Block(0x0a00, "Subject: before\r\n", 0);
        file.Block(0x0c00, head, 0x0e10);
        file.Block(0x0e10, last, 0);
        file.Block(0x1020, after, 0x1230);
        file.Block(0x1230, "\r\n", 0);
        Place(image, file, 0, kCluster, 0x10000);
    }
    std::string Text() const { return head + last; }
    // What the last block's bytes give where they lie from 0x10e10.
    std::string AsItLies() const { return head + ::varrow::Text(image, 0x10e20, 512); }
};

TEST_F(LastBlockAcross, TakesTheRestOfItsDataFromThePieceThatBeginsTheStoresNextCluster) {
    Put(image, 0x11000, std::string(kCluster, '#'));
    Place(image, file, 0x1000, kCluster, 0x30000);
    const Files files = Recover();
    EXPECT_EQ(files.at("tail.eml"), Text());
    EXPECT_EQ(files.at("after.eml"), after + "\r\n");
    EXPECT_EQ(RecoverClassic().at("tail.eml"), AsItLies());
    EXPECT_NE(AsItLies(), Text());
}

TEST_F(LastBlockAcross, TakesItsDataAsItLiesUnlessItsPieceEndsAndAnotherBeginsTheCluster) {
    // Another store's cluster 1, with its own data where the rest would be.
    StoreFile other;
    other.Block(0x1020, "Subject: other\r\n", 0x1230);
    other.Block(0x1230, "x", 0);
    for (size_t i = 0; i < 32; ++i) other.bytes[0x1000 + i] = 'o';
    enum Read { InPlace, Spliced, Stopped };
    struct Case {
        const char* what;
        std::function<void()> place;
        Read read;
    };
    const std::vector<Case> cases = {
        {"its piece goes on past the boundary",
         [&] { Place(image, file, 0x1000, kCluster, 0x11000); }, InPlace},
        {"no piece begins the cluster", [&] { Put(image, 0x11000, std::string(kCluster, '#')); },
         InPlace},
        // The other copy holds a block where this store's next one would
        // be, and the cluster after this piece holds none.
        {"the other piece begins before the cluster",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             StoreFile whole = other;
             whole.Block(0x0e10, "in the cluster before", 0);
             Place(image, whole, 0, 2 * kCluster, 0x43000);
         },
         Stopped},
        {"the other piece has a block where the rest would be",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             StoreFile close;
             close.Block(0x1010, "Subject: close\r\n", 0x1220);
             close.Block(0x1220, "x", 0);
             Place(image, close, 0x1000, kCluster, 0x42000);
         },
         InPlace},
        {"the one of two pieces that begin it whose text goes on",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             StoreFile binary = other;
             for (size_t i = 0; i < 32; ++i) binary.bytes[0x1000 + i] = static_cast<uint8_t>(i);
             Place(image, binary, 0x1000, kCluster, 0x60000);
             Place(image, file, 0x1000, kCluster, 0x20000);
         },
         Spliced},
    };
    for (const Case& c : cases) {
        image.resize(0x11000);
        c.place();
        const Files files = Recover();
        const std::string expected = c.read == Spliced   ? Text()
                                     : c.read == InPlace ? AsItLies()
                                                         : head + last.substr(0, 480);
        EXPECT_EQ(files.at("tail.eml"), expected) << c.what;
    }
}

// "Subject: tail" in file cluster 1 has its last block run 32 bytes into
// cluster 2. Another store's piece starts at cluster 2 elsewhere, so the
// end is weighed: only going on in place is left, into a cluster without
// a block, which other text has overwritten. The message is read in line
// and flagged, right or wrong; where a block lies in line, it is not.
TEST_F(StoreAwareLinking, GoingOnInPlaceIntoAClusterWithoutABlockIsFlagged) {
    StoreFile file;
    file.Block(0x0c00, "Subject: first\r\n\r\n" + std::string(490, 'a'), 0);
    const std::string head = "Subject: tail\r\n\r\n" + std::string(495, 'h');
    const std::string last = std::string(480, 'l') + std::string(32, 'r');
    file.Block(0x1c00, head, 0x1e10);
    file.Block(0x1e10, last, 0);
    StoreFile other;
    for (uint32_t offset = 0x2000; offset < 0x4000; offset += kSpan)
        other.Block(offset, "Subject: other\r\n", 0);
    for (const bool blockInLine : {false, true}) {
        image.clear();
        Place(image, file, 0, 2 * kCluster, 0x10000);
        std::string overwritten(kCluster, 'o');
        if (blockInLine) {
            StoreFile third;
            third.Block(0x2600, "Subject: third\r\n", 0);
            std::copy(third.bytes.begin() + 0x2020, third.bytes.begin() + 0x2600 + kSpan,
                      overwritten.begin() + 0x20);
        }
        Put(image, 0x12000, overwritten);
        Place(image, other, 2 * kCluster, 2 * kCluster, 0x40000);
        const testing::LinkedChain chain = ChainStartingWith("Subject: tail");
        EXPECT_EQ(chain.text, head + last.substr(0, 480) + std::string(32, 'o')) << blockInLine;
        EXPECT_EQ(chain.Incomplete(), !blockInLine) << blockInLine;
    }
}

// A store file of three clusters: a message runs from cluster 0 into
// cluster 1, and "Subject: tail" in cluster 1 has its last block run 32
// bytes into cluster 2, which holds no block. Where the store lies split
// among pieces, nothing shows where its last cluster went: the rest is
// read where it would lie in line, and the message is flagged, right or
// wrong. A store in one piece is read in line as it is.
TEST_F(StoreAwareLinking, DataPastTheLastPieceOfASplitStoreIsReadInLineButFlagged) {
    StoreFile file;
    file.Block(0x0c00, "Subject: first\r\n\r\n" + std::string(490, 'a'), 0x0e10);
    file.Block(0x0e10, std::string(512, 'b'), 0x1020);
    file.Block(0x1020, "end of first", 0);
    const std::string head = "Subject: tail\r\n\r\n" + std::string(495, 'h');
    const std::string last = std::string(480, 'l') + std::string(32, 'r');
    file.Block(0x1c00, head, 0x1e10);
    file.Block(0x1e10, last, 0);
    const std::string other(32, '#');
    struct Case {
        const char* what;
        uint64_t cluster1;  // where file cluster 1 lies
        bool restInLine;    // whether cluster 2 lies right after it
        std::string text;
        bool flagged;
    };
    const std::string whole = head + last;
    const std::string spliced = head + last.substr(0, 480) + other;
    const std::vector<Case> cases = {
        {"one piece", 0x11000, true, whole, false},
        {"split, the rest elsewhere", 0x31000, false, spliced, true},
        {"split, the rest in line", 0x31000, true, whole, true},
    };
    for (const Case& c : cases) {
        image.assign(0x10000, 0);
        Place(image, file, 0, kCluster, 0x10000);
        if (c.cluster1 != 0x11000) Put(image, 0x11000, std::string(kCluster, '.'));
        Place(image, file, kCluster, kCluster, c.cluster1);
        if (c.restInLine) {
            Place(image, file, 2 * kCluster, kCluster, c.cluster1 + kCluster);
        } else {
            Put(image, c.cluster1 + kCluster, other + std::string(kCluster - 32, '.'));
            Place(image, file, 2 * kCluster, kCluster, 0x53000);
        }
        EXPECT_EQ(ChainStartingWith("Subject: first").text,
                  "Subject: first\r\n\r\n" + std::string(490, 'a') + std::string(512, 'b') +
                      "end of first")
            << c.what;
        const testing::LinkedChain chain = ChainStartingWith("Subject: tail");
        EXPECT_EQ(chain.text, c.text) << c.what;
        EXPECT_EQ(chain.Incomplete(), c.flagged) << c.what;
    }
}

// Two stores end at file cluster 1, and one piece begins cluster 2: the
// blocks of "Subject: a" name a block there, so it is a's. "Subject: b"
// runs 32 bytes into cluster 2 as well, and its text would go on as well
// in that piece as in line, where no block lies: left with in line only
// because the piece went to a, b goes on in line as a guess, flagged.
TEST_F(StoreAwareLinking, GoingOnInLineOnlyBecauseAnEquallyLikelyPieceWentElsewhereIsAGuess) {
    StoreFile a;
    const std::string headA = "Subject: a\r\n\r\n" + std::string(498, 'a');
    a.Block(0x1c00, headA, 0x1e10);
    a.Block(0x1e10, std::string(480, 'x') + std::string(32, 'y'), 0x2020);
    a.Block(0x2020, "rest of a", 0);
    StoreFile b;
    const std::string headB = "Subject: b\r\n\r\n" + std::string(498, 'b');
    b.Block(0x1c00, headB, 0x1e10);
    b.Block(0x1e10, std::string(480, 'p') + std::string(32, 'q'), 0);
    image.assign(0x10000, 0);
    Place(image, a, kCluster, kCluster, 0x11000);
    Put(image, 0x12000, std::string(kCluster, '.'));
    Place(image, b, kCluster, kCluster, 0x15000);
    Put(image, 0x16000, std::string(kCluster, 'z'));
    Place(image, a, 2 * kCluster, kCluster, 0x33000);
    const testing::LinkedChain chainA = ChainStartingWith("Subject: a");
    EXPECT_EQ(chainA.text, headA + std::string(480, 'x') + std::string(32, 'y') + "rest of a");
    EXPECT_FALSE(chainA.Incomplete());
    const testing::LinkedChain chainB = ChainStartingWith("Subject: b");
    EXPECT_EQ(chainB.text, headB + std::string(480, 'p') + std::string(32, 'z'));
    EXPECT_TRUE(chainB.Incomplete());
}

// The block after the head of "Subject: cut" has its header cut by the
// boundary at file offset 0x1000, `first` bytes before it; cluster 1 lies
// at 0x30000 and the cluster after cluster 0 on the source is other data,
// so the scan finds no block with that offset at all.
TEST_F(StoreAwareLinking, ANextBlockWhoseCutHeaderTheScanMissedIsRebuiltFromTheStoresNextCluster) {
    for (const uint32_t first : {4u, 6u, 11u, 15u}) {
        const uint32_t cut = 0x1000 - first;
        StoreFile file;
        const std::string head = "Subject: cut\r\n\r\n" + std::string(496, 'h');
        const std::string second = std::string(512, 's');
        file.Block(0x0a00, "Subject: before\r\n", 0);
        file.Block(cut - kSpan, head, cut);
        file.Block(cut, second, cut + kSpan);
        file.Block(cut + kSpan, "the end", 0);
        file.Block(cut + 2 * kSpan, "Subject: after\r\n", 0);
        PlaceSplitAfterCluster0(file);
        const Files files = Recover();
        EXPECT_EQ(files.at("cut.eml"), head + second + "the end") << first;
        EXPECT_EQ(files.at("after.eml"), "Subject: after\r\n") << first;
        EXPECT_NE(RecoverClassic().at("cut.eml"), head + second + "the end") << first;

        // A rebuilt header that is no block header of its own ends the chain:
        // data length 0.
        for (uint32_t byte = 8; byte < 12; ++byte) {
            image[byte < first ? 0x10000 + cut + byte : 0x30000 + (byte - first)] = 0;
        }
        EXPECT_EQ(Recover().at("cut.eml"), head) << first;
    }
}

// The head of "Subject: cut" has its header cut by the boundary at file
// offset 0x1000, `first` bytes before it, and nothing names it; no block
// before it lies on its grid. Cluster 1 lies at 0x30000, and the cluster
// after cluster 0 on the source is other data: only the header put
// together from both sides tells where the store goes on, and shows the
// message.
TEST_F(StoreAwareLinking, AHeadWhoseCutHeaderTheScanMissedStartsAMessage) {
    for (const uint32_t first : {2u, 4u, 11u, 15u}) {
        const uint32_t cut = 0x1000 - first;
        StoreFile file;
        const std::string head = "Subject: cut\r\n\r\n" + std::string(496, 'h');
        file.Block(0x0a00, "Subject: before\r\n", 0);
        file.Block(cut, head, cut + kSpan);
        file.Block(cut + kSpan, "the end", 0);
        file.Block(cut + 2 * kSpan, "Subject: after\r\n", 0);
        PlaceSplitAfterCluster0(file);
        const Files files = Recover();
        EXPECT_EQ(files.at("cut.eml"), head + "the end") << first;
        EXPECT_EQ(files.at("before.eml"), "Subject: before\r\n") << first;
        EXPECT_EQ(RecoverClassic().count("cut.eml"), 0u) << first;

        // Where the header's other side holds other bytes up to its data
        // length, it is no header, and there is no head.
        if (first < 12) {
            Put(image, 0x30000, std::string(kBlockHeaderSize - first, '#'));
            EXPECT_EQ(Recover().count("cut.eml"), 0u) << first;
        }
    }
}

// --- Headers across a cluster boundary -----------------------------------------

// A message of four blocks whose third block header is cut: `first` bytes
// of it end cluster 1 of the store file (placed at 0x10000), the rest
// begins cluster 2 (placed at 0x30000). The cluster after cluster 1 on the
// source belongs to another file, which happens to begin like the tail of
// a header, so the scan accepts the cut header with that tail.
class SplitHeader : public StoreAwareLinking {
protected:
    static constexpr uint64_t kCluster1 = 0x10000;
    static constexpr uint64_t kOtherFile = 0x11000;
    static constexpr uint64_t kCluster2 = 0x30000;

    StoreFile file;
    uint32_t cut = 0;  // selfOffset of the cut block
    std::string text;

    void Build(uint32_t first, const std::string& secondCluster = std::string(512, 'x')) {
        cut = 0x2000 - first;
        const std::string head = "Subject: split\r\n\r\n" + std::string(494, 'h');
        file = {};
        file.Block(cut - kSpan, head, cut);
        file.Block(cut, secondCluster, cut + kSpan);
        file.Block(cut + kSpan, "f: " + std::string(509, 'f'), cut + 2 * kSpan);
        file.Block(cut + 2 * kSpan, "end", 0);
        text = head + secondCluster + "f: " + std::string(509, 'f') + "end";
        Place(image, file, 0x1000, kCluster, kCluster1);
        Place(image, file, 0x2000, kCluster, kCluster2);
        const auto tail = HeaderBytes(BlockFields{cut, 512, 512, 0x5555});
        Put(image, kOtherFile,
            std::string(tail.begin() + first, tail.end()) + std::string(kCluster - 16, '#'));
    }
    // The chain of "Subject: split" as the store-aware linker follows it.
    static testing::LinkedChain Split(const std::string& source) {
        for (testing::LinkedChain& chain : testing::LinkChains(source, true)) {
            if (chain.text.rfind("Subject: split", 0) == 0) return chain;
        }
        ADD_FAILURE() << "no message";
        return {};
    }
};

TEST_F(SplitHeader, IsRebuiltFromTheStartOfTheStoresNextCluster) {
    for (const uint32_t first : {2u, 6u, 9u, 15u}) {
        image.clear();
        Build(first);
        // One message: the rebuilt header names the fourth block's predecessor,
        // which therefore starts no message of its own despite its colon.
        EXPECT_EQ(Recover(), (Files{{"split.eml", text}})) << first;
        EXPECT_NE(RecoverClassic().at("split.eml"), text) << first;
    }
}

TEST_F(SplitHeader, StopsTheMessageWhenTheRebuiltOneIsNoBlockHeaderOfItsOwn) {
    struct Case {
        const char* what;
        uint32_t first;  // header bytes before the boundary
        uint32_t field;  // byte of the header to spoil
        std::string value;
    };
    const std::vector<Case> cases = {
        {"block size 0x10200", 6, 6, std::string("\x01", 1)},
        {"data length 0", 6, 8, std::string(4, '\0')},
        {"data length 513", 6, 8, std::string("\x01\x02\0\0", 4)},
        {"another selfOffset", 2, 2, std::string("\x01", 1)},
    };
    for (const Case& c : cases) {
        image.clear();
        Build(c.first);
        Put(image, kCluster2 + (c.field - c.first), c.value);
        const std::string source = scratch.WriteFile("image.bin", image);
        const testing::LinkedChain chain = Split(source);
        // Neither the foreign tail that the scan read nor the spoilt one.
        EXPECT_EQ(chain.text, text.substr(0, 512)) << c.what;
        EXPECT_TRUE(chain.Incomplete()) << c.what;
    }
}

TEST_F(SplitHeader, PrefersAnUnnamedRestToTheCopyOfAWholeStore) {
    Build(6);
    // A whole copy of clusters 1 and 2, nearer, with other data in cluster 2:
    // there the block after the cut one is named by its own piece.
    StoreFile copy = file;
    copy.Block(cut, std::string(512, 'X'), cut + kSpan);
    Place(image, copy, 0x1000, 2 * kCluster, 0x12000);
    const Files files = Recover();
    EXPECT_EQ(files.at("split.eml"), text);
    EXPECT_EQ(files.at("split(1).eml"),
              text.substr(0, 512) + std::string(512, 'X') + text.substr(1024));
}

TEST_F(SplitHeader, BetweenTwoRestsThatDisagreeIsOnlyAFlaggedGuess) {
    Build(6);
    StoreFile copy = file;
    copy.Block(cut, std::string(512, 'X'), cut + kSpan);
    Place(image, copy, 0x2000, kCluster, 0x80000);
    const std::string source = scratch.WriteFile("image.bin", image);
    const testing::LinkedChain chain = Split(source);
    const std::string other = text.substr(0, 512) + std::string(512, 'X') + text.substr(1024);
    EXPECT_TRUE(chain.text == text || chain.text == other) << chain.text.size();
    EXPECT_TRUE(chain.trace.endGuessed);
    EXPECT_TRUE(chain.Incomplete());
}

}  // namespace
}  // namespace varrow
