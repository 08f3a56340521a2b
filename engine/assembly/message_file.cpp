#include "assembly/message_file.h"

namespace varrow {

void MessageFile::Write(const void* buffer, uint32_t count) {
    CFile64::Write(buffer, count);
    if (!whole_) return;
    if (kept_.size() + count > kKeptBytes) {
        Forget();
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    kept_.insert(kept_.end(), bytes, bytes + count);
}

// Writes after a move of the position would no longer follow the copy.
uint64_t MessageFile::Seek(int64_t offset, uint32_t from) {
    Forget();
    return CFile64::Seek(offset, from);
}

void MessageFile::SetLength(uint64_t length) {
    Forget();
    CFile64::SetLength(length);
}

void MessageFile::Forget() {
    whole_ = false;
    std::vector<uint8_t>().swap(kept_);
}

}  // namespace varrow
