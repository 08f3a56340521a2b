// Pass 1 as it reads the source: a header tried at every byte position,
// one after the other. The fast scan gives the same results faster; this
// one is the measure it is tested against.
#pragma once

#include "scan/block_layout.h"

namespace varrow {

class CFile64Ex;
class RunEvents;

// Runs pass 1 over an open source: tries a header at every byte position,
// hands accepted ones to sink, asks whether to stop and reports progress
// 0..50 once every kScanReportInterval positions. Ends at the first short
// read, at the length of a physical disk, or on "stop".
void ScanBlocks(RunEvents& events, CFile64Ex& source, BlockSink& sink);

}  // namespace varrow
