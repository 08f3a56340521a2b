#include "link/chain_trace.h"

#include <gtest/gtest.h>

namespace varrow {
namespace {

TEST(ChainTrace, JoinsRunsThatMeetAndKeepsZerosApart) {
    ChainTrace trace;
    trace.AddRun(100, 50, false);
    trace.AddRun(150, 10, false);  // goes on where the last ended
    trace.AddRun(300, 5, false);
    trace.AddRun(0, 7, true);
    trace.AddRun(0, 3, true);
    trace.AddRun(305, 0, false);  // nothing
    ASSERT_EQ(trace.runs.size(), 3u);
    EXPECT_EQ(trace.runs[0].position, 100u);
    EXPECT_EQ(trace.runs[0].length, 60u);
    EXPECT_EQ(trace.runs[1].position, 300u);
    EXPECT_TRUE(trace.runs[2].zeros);
    EXPECT_EQ(trace.runs[2].length, 10u);
    EXPECT_EQ(trace.Bytes(), 75u);
}

}  // namespace
}  // namespace varrow
