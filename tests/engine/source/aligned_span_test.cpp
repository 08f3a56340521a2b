// The arithmetic of aligned reading, on its own.
#include "source/aligned_span.h"

#include <gtest/gtest.h>

namespace varrow {
namespace {

struct SpanRow {
    uint64_t position;
    uint32_t count;
    uint32_t sectorSize;
    SectorSpan span;
};

TEST(SectorSpans, HeadWholeSectorsAndTail) {
    const SpanRow rows[] = {
        // A 4096-byte window at 1000: 24 bytes of the sector at 512, seven
        // whole sectors, 488 bytes of the next.
        {1000, 4096, 512, {512, 488, 24, 7, 488}},
        {0, 4096, 512, {0, 0, 0, 8, 0}},         // aligned: whole sectors only
        {4096, 100, 512, {4096, 0, 0, 0, 100}},  // aligned, shorter than a sector
        {600, 100, 512, {512, 88, 100, 0, 0}},   // inside one sector: a head only
        {600, 424, 512, {512, 88, 424, 0, 0}},   // up to the sector's end exactly
        {600, 425, 512, {512, 88, 424, 0, 1}},   // one byte into the next
        {511, 1, 512, {0, 511, 1, 0, 0}},        // the last byte of a sector
        {5000, 0, 512, {4608, 392, 0, 0, 0}},    // nothing to read
        {10000, 20000, 4096, {8192, 1808, 2288, 4, 1328}},
        {(1ull << 40) + 3, 1024, 2048, {1ull << 40, 3, 1024, 0, 0}},
        {UINT64_MAX - 10, 5, 512, {UINT64_MAX - 511, 501, 5, 0, 0}},
    };
    for (const SpanRow& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.count << " at " << row.position << ", sector " << row.sectorSize);
        const SectorSpan span = SpanOf(row.position, row.count, row.sectorSize);
        EXPECT_EQ(span, row.span);
        // The pieces always add up to the read.
        EXPECT_EQ(uint64_t{span.head} + uint64_t{span.wholeSectors} * row.sectorSize + span.tail,
                  row.count);
    }
}

TEST(SectorSpans, RunsStandForWindowsOnlyInWholeWindowsAndSectors) {
    struct Row {
        uint32_t run, window, sector;
        bool stands;
    };
    const Row rows[] = {
        {1u << 20, 4096, 512, true}, {8192, 4096, 4096, true}, {16384, 4096, 8192, true},
        {8192, 2048, 512, true},     {8192, 3000, 512, false},  // no multiple of the window
        {12288, 4096, 8192, false},                             // no multiple of the sector
        {0, 4096, 512, false},       {8192, 8, 512, false},     // a window shorter than a header
        {8192, 16, 512, true},       {8192, 4096, 0, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RunsStandForWindows(row.run, row.window, row.sector, 16), row.stands)
            << row.run << " / " << row.window << " / " << row.sector;
    }
}

TEST(SectorSpans, WhatOfARunTheWindowsDeliverAlike) {
    EXPECT_EQ(WholeWindowBytes(8192, 4096), 8192u);
    EXPECT_EQ(WholeWindowBytes(8191, 4096), 4096u);  // the window across the end is left out
    EXPECT_EQ(WholeWindowBytes(4095, 4096), 0u);
    EXPECT_EQ(WholeWindowBytes(0, 4096), 0u);
    EXPECT_EQ(WholeWindowBytes(10000, 3000), 9000u);

    // The last window of [start, start + bytes) and the sector it positions at.
    EXPECT_EQ(LastWindowSector(0, 8192, 4096, 512), 4096u);
    EXPECT_EQ(LastWindowSector(1u << 20, 4096, 4096, 512), 1u << 20);
    EXPECT_EQ(LastWindowSector(16384, 16384, 4096, 8192), 24576u);  // two windows per sector
    EXPECT_EQ(LastWindowSector(16384, 8192, 4096, 8192), 16384u);
}

}  // namespace
}  // namespace varrow
