#include "image_builder/block.h"

#include <algorithm>
#include <stdexcept>

namespace ostrel::builder {
namespace {

void PutLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* bytes) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

std::array<uint8_t, kHeaderSize> HeaderBytes(const BlockFields& fields) {
    std::array<uint8_t, kHeaderSize> bytes{};
    PutLittleEndian(&bytes[0], fields.selfOffset);
    PutLittleEndian(&bytes[4], fields.blockSize);
    PutLittleEndian(&bytes[8], fields.dataLength);
    PutLittleEndian(&bytes[12], fields.nextOffset);
    return bytes;
}

BlockFields DecodeHeader(const uint8_t* bytes) {
    return {GetLittleEndian(bytes), GetLittleEndian(bytes + 4), GetLittleEndian(bytes + 8),
            GetLittleEndian(bytes + 12)};
}

std::vector<uint8_t> BlockBytes(const BlockFields& fields, std::string_view data) {
    if (data.size() > kDataSize) throw std::invalid_argument("block data longer than 512 bytes");
    std::vector<uint8_t> bytes(kBlockSpan, 0);
    const auto header = HeaderBytes(fields);
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(data.begin(), data.end(), bytes.begin() + kHeaderSize);
    return bytes;
}

void WriteBlock(std::vector<uint8_t>& image, uint64_t position, const BlockFields& fields,
                std::string_view data) {
    const std::vector<uint8_t> bytes = BlockBytes(fields, data);
    if (image.size() < position + bytes.size()) image.resize(position + bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(position));
}

}  // namespace ostrel::builder
