// Reads built images back the way a store reader would, so tests can check
// that what the builders claim is really in the bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_builder/manifest.h"

namespace ostrel::builder::testing {

// The text of the chain that starts at head inside a store file's bytes:
// every header must name its own offset, have blockSize 512 and dataLength
// 1..512. Nothing when a header is wrong, missing or the chain loops.
std::optional<std::string> FollowChain(const std::vector<uint8_t>& store, uint32_t head);

// A placed file's bytes gathered back from the image through its pieces.
std::vector<uint8_t> GatherFile(const std::vector<uint8_t>& image, const PlacedFile& file);

// True when every line feed follows a carriage return and every carriage
// return precedes a line feed.
bool OnlyCrlfLineEnds(std::string_view text);

}  // namespace ostrel::builder::testing
