#include "image_builder/store_builder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "image_builder/block.h"
#include "image_builder/noise.h"

namespace ostrel::builder {
namespace {

size_t BlockCount(const std::string& text) {
    if (text.empty()) throw std::invalid_argument("a stored message needs at least one byte");
    return (text.size() + kDataSize - 1) / kDataSize;
}

}  // namespace

bool StoredMessage::Intact() const {
    return std::none_of(blocks.begin(), blocks.end(), [](const StoredBlock& b) { return b.overwritten; });
}

StoreBuilder::StoreBuilder(uint64_t seed) : random_(seed) {
    bytes_ = MakeNoise(kFirstBlockOffset, NoiseKind::Random, random_);
}

uint32_t StoreBuilder::TakeSlot() {
    if (!freeSlots_.empty()) {
        const uint32_t slot = *freeSlots_.begin();
        freeSlots_.erase(freeSlots_.begin());
        return slot;
    }
    if (bytes_.size() + kBlockSpan > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("store file larger than 4 GB");
    }
    const auto slot = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(bytes_.size() + kBlockSpan, 0);
    return slot;
}

void StoreBuilder::WriteBlocks(size_t message, const std::vector<uint32_t>& slots) {
    StoredMessage& stored = messages_[message];
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string_view data = std::string_view(stored.text).substr(i * kDataSize, kDataSize);
        const uint32_t next = i + 1 < slots.size() ? slots[i + 1] : 0;
        WriteBlock(bytes_, slots[i], {slots[i], kDataSize, static_cast<uint32_t>(data.size()), next}, data);
        stored.blocks.push_back({slots[i], static_cast<uint32_t>(data.size()), next, false});

        const auto previous = slotOwner_.find(slots[i]);
        if (previous != slotOwner_.end()) {
            for (StoredBlock& block : messages_[previous->second].blocks) {
                if (block.offset == slots[i]) block.overwritten = true;
            }
        }
        slotOwner_[slots[i]] = message;
    }
}

size_t StoreBuilder::AddMessage(const std::string& text) {
    const size_t count = BlockCount(text);
    std::vector<uint32_t> slots;
    for (size_t i = 0; i < count; ++i) slots.push_back(TakeSlot());
    messages_.push_back({text, {}, false});
    WriteBlocks(messages_.size() - 1, slots);
    return messages_.size() - 1;
}

std::pair<size_t, size_t> StoreBuilder::AddInterleaved(const std::string& first, const std::string& second) {
    const size_t firstCount = BlockCount(first);
    const size_t secondCount = BlockCount(second);
    std::vector<uint32_t> firstSlots;
    std::vector<uint32_t> secondSlots;
    while (firstSlots.size() < firstCount || secondSlots.size() < secondCount) {
        if (firstSlots.size() < firstCount) firstSlots.push_back(TakeSlot());
        if (secondSlots.size() < secondCount) secondSlots.push_back(TakeSlot());
    }
    messages_.push_back({first, {}, false});
    WriteBlocks(messages_.size() - 1, firstSlots);
    messages_.push_back({second, {}, false});
    WriteBlocks(messages_.size() - 1, secondSlots);
    return {messages_.size() - 2, messages_.size() - 1};
}

void StoreBuilder::AddNoiseRecord(uint32_t length) {
    const std::vector<uint8_t> noise = MakeNoise(length, NoiseKind::Random, random_);
    bytes_.insert(bytes_.end(), noise.begin(), noise.end());
}

void StoreBuilder::FreeMessage(size_t message) {
    StoredMessage& stored = messages_.at(message);
    if (stored.deleted) return;
    stored.deleted = true;
    for (const StoredBlock& block : stored.blocks) {
        if (!block.overwritten) freeSlots_.insert(block.offset);
    }
}

StoreBuilder StoreBuilder::Compacted(uint64_t seed) const {
    StoreBuilder compacted(seed);
    for (const StoredMessage& message : messages_) {
        if (!message.deleted) compacted.AddMessage(message.text);
    }
    return compacted;
}

}  // namespace ostrel::builder
