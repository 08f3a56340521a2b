// How the totals of a run count each handled copy.
#include <gtest/gtest.h>

#include "assembly/message_records.h"
#include "link/chain_trace.h"

namespace varrow {
namespace {

TEST(RunTotals, EveryWrittenCopyIsCompleteOrIncompleteAndOnlyGuessesAreUncertain) {
    struct Case {
        const char* what;
        bool startsWithHeader;
        ChainEnd end;
        bool unreadable;
        bool endGuessed;
        bool complete;
        bool uncertain;
    };
    const Case cases[] = {
        {"whole", true, ChainEnd::Complete, false, false, true, false},
        {"whole across a chosen continuation", true, ChainEnd::Complete, false, true, false, true},
        {"chosen continuation, then cut", true, ChainEnd::NextMissing, false, true, false, false},
        {"chosen continuation, unreadable sector", true, ChainEnd::Complete, true, true, false, false},
        {"starts late", false, ChainEnd::Complete, false, false, false, false},
    };
    for (const Case& c : cases) {
        ChainTrace trace;
        trace.end = c.end;
        trace.unreadable = c.unreadable;
        trace.endGuessed = c.endGuessed;
        CopyOutcome copy;
        copy.trace = &trace;
        copy.startsWithHeader = c.startsWithHeader;
        RunTotals totals;
        totals.Count(copy);
        EXPECT_EQ(totals.written, 1u) << c.what;
        EXPECT_EQ(totals.complete, c.complete ? 1u : 0u) << c.what;
        EXPECT_EQ(totals.incomplete, c.complete ? 0u : 1u) << c.what;
        EXPECT_EQ(totals.uncertain, c.uncertain ? 1u : 0u) << c.what;
    }

    // A copy that was not written counts in none of them.
    ChainTrace trace;
    trace.endGuessed = true;
    CopyOutcome skipped;
    skipped.trace = &trace;
    skipped.startsWithHeader = true;
    skipped.outcome = VARROW_COPY_DUPLICATE;
    RunTotals totals;
    totals.Count(skipped);
    EXPECT_EQ(totals.copiesHandled, 1u);
    EXPECT_EQ(totals.duplicatesSkipped, 1u);
    EXPECT_EQ(totals.written + totals.complete + totals.incomplete + totals.uncertain, 0u);
}

}  // namespace
}  // namespace varrow
