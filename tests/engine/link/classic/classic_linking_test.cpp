// The classic linker on its own: which heads survive, the order they are
// numbered in, and how each chain ends.
#include "link/classic/classic_linking.h"

#include <gtest/gtest.h>

#include "base/run_events.h"
#include "image_builder/block.h"
#include "link/block_index.h"
#include "link/chain_trace.h"
#include "scan/reference_scan.h"
#include "scratch.h"
#include "source/file64.h"

namespace varrow {
namespace {

using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;

// Run events that nobody listens to and that never ask to stop.
class QuietRun : public RunEvents {
protected:
    int32_t Send(int32_t, const void*) override { return 0; }
};

class ClassicLinking : public ::testing::Test {
protected:
    testing::ScratchFolder scratch;
    std::vector<uint8_t> image;
    BlockIndex linkedBlocks;
    BlockIndex chainHeads;
    ClassicLinker linker{linkedBlocks, chainHeads};
    QuietRun run;
    CFile64Ex source{4096};

    void Block(uint64_t position, uint32_t self, uint32_t next, const std::string& text) {
        WriteBlock(image, position,
                   BlockFields{self, 512, static_cast<uint32_t>(text.size()), next}, text);
    }
    void ScanAndValidate() {
        const std::string path = scratch.WriteFile("image", image);
        CFileException error(CFileException::none, -1);
        ASSERT_TRUE(source.Open(path, CFile64::modeRead | CFile64::shareDenyNone, &error));
        ScanBlocks(run, source, linker.Collector());
        linker.ValidateHeads(run, source);
    }
    // The text of the chain from the head at position, and how it ended.
    std::pair<std::string, ChainEnd> Chain(uint32_t head, uint64_t position) {
        const std::string path = scratch / ("chain-" + std::to_string(position));
        CFile64 output;
        CFileException error(CFileException::none, -1);
        EXPECT_TRUE(output.Open(path, CFile64::modeCreate | CFile64::modeWrite, &error));
        ChainTrace trace;
        linker.WriteChain(source, head, position, output, trace);
        output.Close();
        const std::vector<uint8_t> bytes = testing::ReadWholeFile(path);
        return {std::string(bytes.begin(), bytes.end()), trace.end};
    }
};

TEST_F(ClassicLinking, HeadsWithoutAColonAreDroppedAndTheRestKeepTheWalkingOrder) {
    Block(0x0000, 0x1000, 0, "Subject: one\r\n");
    Block(0x0400, 0x2000, 0, "no colon here");
    // (offset / 16) modulo 14983 buckets: the same bucket as 0x1000, filed later.
    Block(0x0800, 0x1000 + 16 * kChainHeadBuckets, 0, "Subject: two\r\n");
    Block(0x0C00, 0x1010, 0, "Subject: three\r\n");  // the next bucket
    ScanAndValidate();
    // Buckets in ascending order; within one the offset filed last first.
    EXPECT_EQ(linker.HeadOffsets(),
              (std::vector<uint32_t>{0x1000 + 16 * kChainHeadBuckets, 0x1000, 0x1010}));
    EXPECT_EQ(linker.HeadPositions(0x1000).size(), 1u);
}

TEST_F(ClassicLinking, ChainsSayHowTheyEnded) {
    Block(0x0000, 0x100, 0x310, "Subject: whole\r\n");
    Block(0x0400, 0x310, 0, "end");
    Block(0x1000, 0x500, 0x710, "Subject: cut\r\n");  // 0x710 is nowhere
    Block(0x2000, 0x900, 0xB10, "Subject: loop\r\n");
    Block(0x2400, 0xB10, 0x900, "and back");
    ScanAndValidate();
    EXPECT_EQ(Chain(0x100, 0x0000),
              std::make_pair(std::string("Subject: whole\r\nend"), ChainEnd::Complete));
    EXPECT_EQ(Chain(0x500, 0x1000),
              std::make_pair(std::string("Subject: cut\r\n"), ChainEnd::NextMissing));
    EXPECT_EQ(Chain(0x900, 0x2000),
              std::make_pair(std::string("Subject: loop\r\nand back"), ChainEnd::Loop));
}

}  // namespace
}  // namespace varrow
