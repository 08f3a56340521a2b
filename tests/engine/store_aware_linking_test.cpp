// The rules of store-aware linking, each on a small image whose store
// pieces are placed by hand: which blocks are heads, which block follows
// a block, the data and headers that cross a cluster boundary.
#include "store_aware_linking.h"

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
#include "outfolders.h"
#include "scratch.h"
#include "store_bytes.h"

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
        WriteBlock(bytes, offset, BlockFields{offset, 512, static_cast<uint32_t>(data.size()), next}, data);
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

    // A one-store piece: the blocks (offset, data, next) at base.
    void Piece(int64_t base, const std::vector<std::tuple<uint32_t, std::string, uint32_t>>& blocks) {
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
              (std::vector<std::string>{"Message No.", "Subject", "1", "same bucket", "2", "one", "2", "one",
                                        "3", "three"}));
}

// --- Successors ------------------------------------------------------------

// The message of "Subject: pick" at 0x11000 names 0x1210; its own piece
// (base 0x10000) holds that offset only in the first case. Other pieces: a
// near one at base 0x12000 and a far one at base 0x90000, each with a block
// at 0x1210, named in its piece by a colon-less block at 0x1000 or not.
TEST_F(StoreAwareLinking, TheSuccessorIsNarrowedStepByStep) {
    using Blocks = std::vector<std::tuple<uint32_t, std::string, uint32_t>>;
    const Blocks named = {{0x1000, "no colon here ", 0x1210}};
    struct Case {
        const char* what;
        std::string head;
        Blocks own, near, far;
        std::string next;
    };
    const std::vector<Case> cases = {
        {"the own piece first, even against a completed header name", "Content-Ty", {{0x1210, "xyz", 0}},
         {}, {{0x1210, "pe: text/plain", 0}}, "xyz"},
        {"the only candidate, named in its piece or not", "", {}, {}, {named[0], {0x1210, "shared", 0}},
         "shared"},
        {"an unnamed one before a named one", "", {}, {named[0], {0x1210, "taken", 0}}, {{0x1210, "free", 0}},
         "free"},
        {"the nearest when all are named", "", {}, {named[0], {0x1210, "near", 0}},
         {named[0], {0x1210, "far", 0}}, "near"},
        {"one without a header line before one with", "", {}, {{0x1210, "Received: from", 0}},
         {{0x1210, "body text", 0}}, "body text"},
        {"the nearest when all begin with header lines", "", {}, {{0x1210, "Received: near", 0}},
         {{0x1210, "Received: far", 0}}, "Received: near"},
        {"one without a header line, even against one that completes a cut header name", "Content-Ty", {},
         {{0x1210, "abc def", 0}}, {{0x1210, "pe: text/plain", 0}}, "abc def"},
        {"a completed header name when all begin with header lines", "Content-Ty", {},
         {{0x1210, "Received: near", 0}}, {{0x1210, "pe: text/plain", 0}}, "pe: text/plain"},
    };
    for (const Case& c : cases) {
        image.clear();
        const std::string head = "Subject: pick\r\n" + c.head;
        Piece(0x10000, {{0x1000, head, 0x1210}});
        Piece(0x10000, c.own);
        Piece(0x12000, c.near);
        Piece(0x90000, c.far);
        EXPECT_EQ(Recover().at("pick.eml"), head + c.next) << c.what;
    }
    // Keyed by offset alone, the completed header name wins in the first case.
    image.clear();
    Piece(0x10000, {{0x1000, "Subject: pick\r\nContent-Ty", 0x1210}, {0x1210, "xyz", 0}});
    Piece(0x90000, {{0x1210, "pe: text/plain", 0}});
    EXPECT_EQ(RecoverClassic().at("pick.eml"), "Subject: pick\r\nContent-Type: text/plain");
}

TEST(StoreText, MessageStartsAndPlausibleText) {
    const std::vector<std::pair<std::string, bool>> starts = {
        {"Received: from", true}, {"X-Mailer: x", true}, {"from: a", true}, {"DATE:", true},
        {"Content-Type: text/plain", true}, {"pe: text/plain", false}, {"X-: short", false},
        {"Xy: unknown", false}, {"Subject : space", false}, {"Subject", false}, {"", false},
        {"1Subject: digit first", false}, {"X-1: digit", true}, {"--boundary:", false},
    };
    for (const auto& [text, expected] : starts) {
        EXPECT_EQ(IsMessageStart(std::vector<uint8_t>(text.begin(), text.end())), expected) << text;
    }
    const std::vector<std::pair<std::string, bool>> texts = {
        {"plain words\r\n\t", true}, {"\x1b$B escape", true}, {"caf\xe9 \xc3\xa9", true}, {"", true},
        {std::string("nul\0", 4), false}, {"bell\a", false}, {"del\x7f", false}, {"form\f", false},
    };
    for (const auto& [text, expected] : texts) {
        EXPECT_EQ(IsPlausibleText(std::vector<uint8_t>(text.begin(), text.end())), expected) << text;
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
    struct Case {
        const char* what;
        std::function<void()> place;
        bool spliced;
    };
    const std::vector<Case> cases = {
        {"its piece goes on past the boundary", [&] { Place(image, file, 0x1000, kCluster, 0x11000); }, false},
        {"no piece begins the cluster", [&] { Put(image, 0x11000, std::string(kCluster, '#')); }, false},
        {"the other piece begins before the cluster",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             StoreFile whole = other;
             whole.Block(0x0e10, "in the cluster before", 0);
             Place(image, whole, 0, 2 * kCluster, 0x43000);
         },
         false},
        {"the other piece has a block where the rest would be",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             StoreFile close;
             close.Block(0x1010, "Subject: close\r\n", 0x1220);
             close.Block(0x1220, "x", 0);
             Place(image, close, 0x1000, kCluster, 0x42000);
         },
         false},
        {"the nearer of two pieces that begin it",
         [&] {
             Put(image, 0x11000, std::string(kCluster, '#'));
             Place(image, other, 0x1000, kCluster, 0x60000);
             Place(image, file, 0x1000, kCluster, 0x20000);
         },
         true},
    };
    for (const Case& c : cases) {
        image.resize(0x11000);
        c.place();
        const Files files = Recover();
        EXPECT_EQ(files.at("tail.eml"), c.spliced ? Text() : AsItLies()) << c.what;
    }
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
        image.clear();
        Place(image, file, 0, kCluster, 0x10000);
        Put(image, 0x11000, std::string(kCluster, '#'));
        Place(image, file, 0x1000, kCluster, 0x30000);
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
        Put(image, kOtherFile, std::string(tail.begin() + first, tail.end()) + std::string(kCluster - 16, '#'));
    }
    // What the header as scanned (next 0x5555) gives.
    std::string Unrepaired() const {
        return text.substr(0, 512) + Text(image, kCluster1 + (cut - 0x1000) + 16, 512);
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

TEST_F(SplitHeader, IsLeftAsScannedWhenTheRebuiltOneIsNoBlockHeaderOfItsOwn) {
    struct Case {
        const char* what;
        uint32_t first;        // header bytes before the boundary
        uint32_t field;        // byte of the header to spoil
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
        EXPECT_EQ(Recover().at("split.eml"), Unrepaired()) << c.what;
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
    EXPECT_EQ(files.at("split(1).eml"), text.substr(0, 512) + std::string(512, 'X') + text.substr(1024));
}

TEST_F(SplitHeader, PrefersTheNearerOfTwoUnnamedRests) {
    Build(6);
    StoreFile copy = file;
    copy.Block(cut, std::string(512, 'X'), cut + kSpan);
    Place(image, copy, 0x2000, kCluster, 0x80000);
    EXPECT_EQ(Recover().at("split.eml"), text);
}

}  // namespace
}  // namespace varrow
