// Pass 1 at the speed of the storage.
//
// ScanBlocksFast gives exactly what ScanBlocks gives (the same blocks to
// the sink in the same order, the same questions and progress at the same
// positions, the same end) but reads the source in long runs and tests a
// whole run of positions at once with a vector kernel. Parts that the runs
// cannot stand for (an unreadable or short run, a device that cannot be
// positioned) are scanned position by position through the source, as
// ScanBlocks does. One helper thread may share the reading and searching
// of the runs (SectorRunReader); every event and every block stays on the
// caller's thread.
#pragma once

#include <cstdint>

#include "scan/simd_header_search.h"

namespace varrow {

class BlockSink;
class CFile64Ex;
class RunEvents;

inline constexpr uint32_t kDefaultScanRunSize = 1u << 20;
inline constexpr uint32_t kDefaultReadAhead = 4;

struct FastScanSettings {
    // Bytes per read; tests use small runs to meet many run boundaries.
    uint32_t runSize = kDefaultScanRunSize;
    // Null: the fastest kernel this processor runs.
    HeaderFinder finder = nullptr;
    // Runs read and searched ahead of the one the caller files, by a
    // helper thread and by the caller while it would otherwise wait; 0
    // reads every run on the caller's thread when it is needed.
    uint32_t readAhead = kDefaultReadAhead;
};

// Runs pass 1 over an open source, as ScanBlocks does.
void ScanBlocksFast(RunEvents& events, CFile64Ex& source, BlockSink& sink,
                    const FastScanSettings& settings = {});

}  // namespace varrow
