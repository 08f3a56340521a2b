#include "scan/reference_scan.h"

#include "base/run_events.h"
#include "source/file64.h"

namespace varrow {

void ScanBlocks(RunEvents& events, CFile64Ex& source, BlockSink& sink) {
    source.Seek(0, CFile64::begin);
    const uint64_t length = source.GetLength();
    uint64_t reportPoint = source.GetPosition() + kScanReportInterval;
    // Only a whole disk ends at its length: a volume may hold readable
    // sectors beyond the capacity its file system reports.
    const bool physicalDisk = source.IsPhysicalDrive() != 0;

    sink.Begin();

    uint8_t bytes[kBlockHeaderSize];
    for (;;) {
        const uint64_t position = source.GetPosition();
        if (physicalDisk && position >= length) return;
        if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return;

        const BlockHeader header = DecodeBlockHeader(bytes);
        if (IsAcceptedHeader(header)) sink.Accept(header, position);

        // One byte on, accepted or not: a header can start inside the data
        // area of another block.
        const uint64_t next = position + 1;
        source.Seek(static_cast<int64_t>(next), CFile64::begin);
        if (next < reportPoint) continue;

        reportPoint = next + kScanReportInterval;
        if (events.QueryAbort()) return;
        if (length != 0) events.NotifyProgress(ScanProgress(next, length));
    }
}

}  // namespace varrow
