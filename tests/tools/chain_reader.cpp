#include "chain_reader.h"

#include <algorithm>

#include <set>

#include "image_builder/block.h"

namespace ostrel::builder::testing {

std::optional<std::string> FollowChain(const std::vector<uint8_t>& store, uint32_t head) {
    std::string text;
    std::set<uint32_t> visited;
    for (uint32_t offset = head; offset != 0;) {
        if (!visited.insert(offset).second || uint64_t{offset} + kHeaderSize > store.size()) return std::nullopt;
        const BlockFields fields = DecodeHeader(&store[offset]);
        if (fields.selfOffset != offset || fields.blockSize != kDataSize || fields.dataLength == 0 ||
            fields.dataLength > kDataSize || uint64_t{offset} + kHeaderSize + fields.dataLength > store.size()) {
            return std::nullopt;
        }
        text.append(store.begin() + offset + kHeaderSize, store.begin() + offset + kHeaderSize + fields.dataLength);
        offset = fields.nextOffset;
    }
    return text;
}

std::vector<uint8_t> GatherFile(const std::vector<uint8_t>& image, const PlacedFile& file) {
    std::vector<uint8_t> bytes(file.size, 0);
    for (const FilePiece& piece : file.pieces) {
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(piece.position), piece.length,
                    bytes.begin() + static_cast<std::ptrdiff_t>(piece.fileOffset));
    }
    return bytes;
}

bool OnlyCrlfLineEnds(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    }
    return true;
}

}  // namespace ostrel::builder::testing
