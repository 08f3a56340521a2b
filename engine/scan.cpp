#include "scan.h"

#include <algorithm>

#include "block_index.h"
#include "file64.h"
#include "session.h"

namespace varrow {

namespace {

// The store writes its fields little-endian whatever machine reads them.
uint32_t ReadLittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

// Progress of pass 1 for the position reached: (position * 50 / length),
// truncated. Computed in floating point so that the product cannot
// overflow on huge sources, and held at 50 because a volume can be read
// past the capacity it reports, where the value would otherwise pass 50 and
// wrap as a byte.
uint8_t ScanProgress(uint64_t position, uint64_t length) {
    const double percent = static_cast<double>(position) * 50 / static_cast<double>(length);
    return static_cast<uint8_t>(std::min(percent, 50.0));
}

}  // namespace

BlockHeader DecodeBlockHeader(const uint8_t* bytes) {
    BlockHeader header;
    header.selfOffset = ReadLittleEndian32(bytes);
    header.blockSize = ReadLittleEndian32(bytes + 4);
    header.dataLength = ReadLittleEndian32(bytes + 8);
    header.nextOffset = ReadLittleEndian32(bytes + 12);
    return header;
}

bool IsAcceptedHeader(const BlockHeader& header) {
    return header.blockSize == kBlockDataSize && header.dataLength >= 1 &&
           header.dataLength <= kBlockDataSize && header.selfOffset != 0 &&
           header.nextOffset != header.selfOffset;
}

void ChainIndexer::Accept(const BlockHeader& header, uint64_t position) {
    // A block whose offset some earlier block named is a successor; any
    // other block is a chain head until a later block names it.
    if (PositionList* successors = linkedBlocks_.Find(header.selfOffset)) {
        successors->push_back(position);
    } else {
        chainHeads_.FindOrCreate(header.selfOffset).push_back(position);
    }

    // This block names nextOffset: blocks of that offset taken for chain
    // heads so far were successors after all, and keep their order.
    if (const PositionList* heads = chainHeads_.Find(header.nextOffset)) {
        linkedBlocks_.FindOrCreate(header.nextOffset).Append(*heads);
        chainHeads_.Remove(header.nextOffset);
    }

    // The empty entry sends a block of nextOffset found later straight to
    // linkedBlocks.
    linkedBlocks_.FindOrCreate(header.nextOffset);
}

void ScanBlocks(RecoverySession& session, CFile64Ex& source, BlockSink& sink) {
    source.Seek(0, CFile64::begin);
    const uint64_t length = source.GetLength();
    uint64_t reportPoint = source.GetPosition() + kScanReportInterval;
    // Only a whole disk ends at its length: a volume may hold readable
    // sectors beyond the capacity its file system reports.
    const bool physicalDisk = source.IsPhysicalDrive() != 0;

    session.linkedBlocks.Reset(kLinkedBlockBuckets);
    session.chainHeads.Reset(kChainHeadBuckets);

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
        if (session.QueryAbort()) return;
        if (length != 0) session.NotifyProgress(ScanProgress(next, length));
    }
}

}  // namespace varrow
