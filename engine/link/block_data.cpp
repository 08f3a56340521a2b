#include "link/block_data.h"

#include <algorithm>
#include <cstring>

#include "link/chain_trace.h"
#include "scan/block_layout.h"
#include "source/file64.h"

namespace varrow {

namespace {

constexpr uint32_t kCopyPiece = 4096;

uint8_t* CopyBuffer() {
    static uint8_t buffer[kCopyPiece];
    return buffer;
}

}  // namespace

std::vector<uint8_t> ReadBlockData(CFile64Ex& source, uint64_t position) {
    source.Seek(static_cast<int64_t>(position), CFile64::begin);
    uint8_t bytes[kBlockHeaderSize];
    if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return {};
    // Only indexed blocks come here, whose length is at most one data area;
    // a source that changed under us must not make us allocate wildly.
    const uint32_t length = std::min(DecodeBlockHeader(bytes).dataLength, kBlockDataSize);
    std::vector<uint8_t> data(length, 0);
    source.Read(data.data(), length);
    return data;
}

void CopyBlockData(CFile64Ex& source, CFile64& output, uint32_t count, ChainTrace& trace) {
    uint8_t* buffer = CopyBuffer();
    while (count > 0) {
        const uint32_t piece = std::min(count, kCopyPiece);
        const uint64_t position = source.GetPosition();
        const uint32_t got = source.Read(buffer, piece);
        trace.AddRun(position, got, false);
        if (source.Failures().Overlaps(position, got)) trace.unreadable = true;
        if (got < piece) {
            if (got > 0) output.Write(buffer, got);
            count -= got;
            trace.AddRun(0, count, true);
            std::memset(buffer, 0, kCopyPiece);
            while (count > 0) {
                const uint32_t zeros = std::min(count, kCopyPiece);
                output.Write(buffer, zeros);
                count -= zeros;
            }
            return;
        }
        output.Write(buffer, piece);
        count -= piece;
    }
}

}  // namespace varrow
