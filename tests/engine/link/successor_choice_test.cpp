// The choice among blocks that could follow a block: a cut header name
// made whole wins, else the nearest, else the lowest of equally near ones;
// the chooser that learns each list once chooses the same.
#include "link/successor_choice.h"

#include <gtest/gtest.h>

#include "image_builder/block.h"
#include "link/block_index.h"
#include "scratch.h"
#include "source/file64.h"

namespace varrow {
namespace {

using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;

class SuccessorChoice : public ::testing::Test {
protected:
    testing::ScratchFolder scratch;
    std::vector<uint8_t> image;
    CFile64Ex source{4096};

    void Block(uint64_t position, const std::string& text) {
        WriteBlock(image, position,
                   BlockFields{0x100 + static_cast<uint32_t>(position), 512,
                               static_cast<uint32_t>(text.size()), 0},
                   text);
    }
    void Open() {
        const std::string path = scratch.WriteFile("image", image);
        CFileException error(CFileException::none, -1);
        ASSERT_TRUE(source.Open(path, CFile64::modeRead | CFile64::shareDenyNone, &error));
    }
    static PositionList List(std::initializer_list<uint64_t> positions) {
        PositionList list;
        for (const uint64_t position : positions) list.push_back(position);
        return list;
    }
    // Both ways of choosing agree, and give the expected block.
    void ExpectChoice(uint64_t current, const PositionList& candidates, uint64_t expected) {
        EXPECT_EQ(ChooseNextBlock(source, current, candidates), expected);
        SuccessorChooser chooser;
        EXPECT_EQ(chooser.Choose(source, current, candidates), expected);
        EXPECT_EQ(chooser.Choose(source, current, candidates), expected);  // from what it learnt
    }
};

TEST_F(SuccessorChoice, ACutHeaderNameMadeWholeWinsOverANearerBlock) {
    Block(0x1000, "Received: x\r\nContent-Ty");
    Block(0x1400, "xyz and more");
    Block(0x9000, "pe: text/plain\r\n");
    Open();
    ExpectChoice(0x1000, List({0x1400, 0x9000}), 0x9000);
}

TEST_F(SuccessorChoice, OtherwiseTheNearestAndOfEquallyNearOnesTheLower) {
    Block(0x2000, "Subject: x\r\nContent-Ty");
    Block(0x1000, "abc");
    Block(0x3000, "def");
    Block(0x2800, "ghi");
    Open();
    // Equally near: the first in the list, which the scan filled in
    // ascending order, so the lower position. A leading word that makes no
    // known name ("Content-Tyabc") does not count.
    ExpectChoice(0x2000, List({0x1000, 0x3000}), 0x1000);
    ExpectChoice(0x2000, List({0x1000, 0x2800, 0x3000}), 0x2800);
}

TEST_F(SuccessorChoice, AnUnreadableCandidateIsOnlyEverTheNearest) {
    Block(0x1000, "X-Mailer: a\r\nX-Prio");
    Block(0x1400, "rity: 3\r\n");
    Open();
    // The candidate beyond the source's end has no data to match.
    ExpectChoice(0x1000, List({0x1400, 0x100000}), 0x1400);
    ExpectChoice(0x1000, List({0x100000, 0x0}), 0x0);
}

}  // namespace
}  // namespace varrow
