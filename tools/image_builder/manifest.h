// What an image holds: every file placed on it, where its pieces landed,
// and every stored message with the image positions of its blocks, so tests
// can check a recovery byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::builder {

// length bytes of a file, from fileOffset on, lie at image position.
struct FilePiece {
    uint64_t fileOffset = 0;
    uint64_t position = 0;
    uint64_t length = 0;
};

struct PlacedFile {
    std::string name;
    uint64_t size = 0;
    uint32_t clusterSize = 0;
    std::vector<FilePiece> pieces;  // in file order, together covering the file once
};

struct PlacedBlock {
    uint32_t offset = 0;  // selfOffset
    uint32_t dataLength = 0;
    uint32_t nextOffset = 0;
    uint64_t position = 0;    // where the first header byte landed
    bool contiguous = false;  // header and used data lie in one piece
    bool intact = false;      // this message's header and used data are still there
};

struct PlacedMessage {
    size_t file = 0;  // index into Manifest::files
    std::string text;
    std::vector<PlacedBlock> blocks;  // in chain order; the first is the head
    bool deleted = false;             // freed in its store, yet maybe still on disk

    uint32_t HeadOffset() const { return blocks.front().offset; }
    // True when every block is intact: the whole text can be recovered.
    bool Intact() const;
    // True when the head is intact but a later block is not.
    bool Broken() const;
};

struct Manifest {
    std::vector<PlacedFile> files;
    std::vector<PlacedMessage> messages;  // by file, each file's in store order
};

// The first "Subject:" line of the message's header (before the first empty
// line), without its CRLF; nothing when the header has none.
std::optional<std::string> SubjectLine(std::string_view message);

// Writes the manifest as text: one line per file, then one tab-separated
// line per message (file, head offset, size, blocks, state, subject line).
void WriteManifest(const Manifest& manifest, std::ostream& out);

}  // namespace ostrel::builder
