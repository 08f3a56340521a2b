// Block headers that a cluster boundary cut in two.
//
// When a store file is split into clusters, a block header may start in the
// last 15 bytes of one cluster and end in the next cluster of the file,
// which lies elsewhere on the source. The scan then reads the first part of
// the header together with the start of whatever cluster follows on the
// source; when that cluster is another store's and holds a header tail at
// the same place, the result looks valid but names another store's next
// block. The rest of the real header lies at the start of the store's next
// cluster, the one that holds the block after it in the store (offset
// selfOffset + 0x210).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "block_records.h"
#include "scan.h"

namespace varrow {

class CFile64Ex;

// One block's size in a store: its header and its data area.
inline constexpr uint32_t kStoreBlockSpan = kBlockHeaderSize + kBlockDataSize;

struct RepairedHeader {
    uint32_t block = BlockRecords::kNoBlock;  // the block whose header was cut
    BlockHeader header;                       // the header as rebuilt
    uint64_t dataPosition = 0;                // where its data lies
    int64_t base = 0;                         // the piece its chain goes on in
};

// Rebuilds the header of every block that is cut by a boundary of
// clusterSize (a power of two) and whose own piece holds neither its next
// block nor the block after it in the store. Of the blocks at selfOffset +
// 0x210 in other pieces, those whose piece would start a cluster where the
// cut falls are the places the rest can be; an unnamed one is preferred,
// then the nearest, then the lower position. The header rebuilt from there
// counts only with blockSize 512, dataLength 1..512 and the block's own
// selfOffset. Returns the repairs by ascending block number. Reads the
// source; a short read rejects the repair.
std::vector<RepairedHeader> RepairSplitHeaders(CFile64Ex& source, const BlockRecords& blocks,
                                               uint32_t clusterSize);

// The cluster where a store file goes on after its piece with base ownBase
// ends at boundary, a cluster start; t is the store offset that boundary
// stands for. Nothing when the piece does not end there (a block of it lies
// in the cluster from boundary on). Otherwise the other pieces that begin
// at a cluster start standing for t (base + t a multiple of clusterSize, no
// block of the piece in the cluster before it) and hold a block with an
// offset in [t, t + clusterSize) at least room bytes after that start;
// the one that starts nearest to boundary, the lower of two equally near.
struct NextCluster {
    uint64_t position = 0;  // where store offset t lies
    int64_t base = 0;       // the piece that holds it
};
std::optional<NextCluster> FindNextCluster(const BlockRecords& blocks, int64_t ownBase, uint64_t boundary,
                                           uint64_t t, uint32_t room, uint32_t clusterSize);

// The header at position that boundary cuts, rebuilt from its bytes before
// boundary and the bytes at restPosition; nothing unless it reads whole and
// has blockSize 512, dataLength 1..512 and selfOffset.
std::optional<BlockHeader> RebuildCutHeader(CFile64Ex& source, uint64_t position, uint64_t boundary,
                                            uint64_t restPosition, uint32_t selfOffset);

}  // namespace varrow
