// The message data block as Outlook Express writes it inside a store file:
// a 16-byte header of four 32-bit little-endian fields
//   0..3   selfOffset  the block's own offset in its store file (never 0)
//   4..7   blockSize   size of the data area, always 512
//   8..11  dataLength  used bytes of the data area, 1 to 512
//   12..15 nextOffset  offset of the next block of the message, 0 for the last
// followed directly by the 512-byte data area, whose first dataLength bytes
// are message text. One block takes 0x210 bytes of its store file.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ostrel::builder {

inline constexpr uint32_t kHeaderSize = 16;
inline constexpr uint32_t kDataSize = 512;
inline constexpr uint32_t kBlockSpan = kHeaderSize + kDataSize;  // 0x210
// Every store's message area begins here; the bytes before it are the
// store's header and indexes.
inline constexpr uint32_t kFirstBlockOffset = 0xead4;

// The four header fields, taken as they are: tests may write headers that
// the engine must reject (blockSize 513, dataLength 0, ...).
struct BlockFields {
    uint32_t selfOffset = 0;
    uint32_t blockSize = kDataSize;
    uint32_t dataLength = 0;
    uint32_t nextOffset = 0;
    bool operator==(const BlockFields&) const = default;
};

// The 16 header bytes of fields, little-endian.
// Never fails.
std::array<uint8_t, kHeaderSize> HeaderBytes(const BlockFields& fields);

// Decodes the 16 header bytes at bytes[0..16).
// The caller guarantees that 16 bytes are there.
BlockFields DecodeHeader(const uint8_t* bytes);

// A whole block: the header of fields, then data, zero-padded to 512 bytes.
// Throws std::invalid_argument when data is longer than 512 bytes.
std::vector<uint8_t> BlockBytes(const BlockFields& fields, std::string_view data);

// Writes BlockBytes(fields, data) into image at position, growing the image
// with zeros when it is too short. Throws as BlockBytes does.
void WriteBlock(std::vector<uint8_t>& image, uint64_t position, const BlockFields& fields,
                std::string_view data);

}  // namespace ostrel::builder
