// The bytes of one Outlook Express store file: a header area up to the
// first block offset, then the message area, where each message is a chain
// of blocks and other store records lie between messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "image_builder/random.h"

namespace ostrel::builder {

// One block of a stored message, by its store-file offset.
struct StoredBlock {
    uint32_t offset = 0;
    uint32_t dataLength = 0;
    uint32_t nextOffset = 0;
    // A later message reused this block's space: it holds that one's data now.
    bool overwritten = false;
};

struct StoredMessage {
    std::string text;
    std::vector<StoredBlock> blocks;  // in chain order; the first is the head
    bool deleted = false;             // freed by FreeMessage

    uint32_t HeadOffset() const { return blocks.front().offset; }
    // True while every block still holds this message's bytes.
    bool Intact() const;
};

class StoreBuilder {
public:
    // A store whose header area (offsets 0 up to 0xead4) is noise drawn
    // from seed; the seed also draws the bytes of later noise records.
    explicit StoreBuilder(uint64_t seed);

    // Stores text as a chain of blocks: first in freed slots, lowest offset
    // first, then at the end of the store. Returns the message's number.
    // Throws std::invalid_argument for an empty text (a block holds 1..512 bytes).
    size_t AddMessage(const std::string& text);

    // Stores two messages whose blocks alternate (first, second, first, ...)
    // until the shorter one ends. Returns their numbers; throws as AddMessage.
    std::pair<size_t, size_t> AddInterleaved(const std::string& first, const std::string& second);

    // Appends length bytes of arbitrary store structure (index nodes, folder
    // records) at the end, so the next message starts further on.
    void AddNoiseRecord(uint32_t length);

    // Marks a message deleted and its block slots free for reuse; its bytes
    // stay in the store until a later message overwrites them.
    void FreeMessage(size_t message);

    // The store as compaction would rewrite it: the messages not deleted,
    // in order, laid out again from 0xead4, with a header area from seed.
    StoreBuilder Compacted(uint64_t seed) const;

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    const std::vector<StoredMessage>& Messages() const { return messages_; }

private:
    uint32_t TakeSlot();
    void WriteBlocks(size_t message, const std::vector<uint32_t>& slots);

    Random random_;
    std::vector<uint8_t> bytes_;
    std::vector<StoredMessage> messages_;
    std::set<uint32_t> freeSlots_;
    std::map<uint32_t, size_t> slotOwner_;  // block slot -> message whose block is there
};

}  // namespace ostrel::builder
