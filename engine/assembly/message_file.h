// The temporary file a message is assembled in.
//
// Naming a message reads its subject from the file, and placing it copies
// the file. Most messages are a few KB, so the file keeps a copy of what is
// written to it in memory: the subject is read from that copy and the
// output file is written from it, without reading the file back. A message
// too long to keep is read back from the file as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "source/file64.h"

namespace varrow {

class MessageFile : public CFile64 {
public:
    static constexpr size_t kKeptBytes = size_t{1} << 20;

    void Write(const void* buffer, uint32_t count) override;
    uint64_t Seek(int64_t offset, uint32_t from) override;
    void SetLength(uint64_t length) override;

    // Every byte of the file, when they were written one after the other
    // from its start and are no more than kKeptBytes; null otherwise.
    const std::vector<uint8_t>* Content() const { return whole_ ? &kept_ : nullptr; }

private:
    void Forget();

    std::vector<uint8_t> kept_;
    bool whole_ = true;
};

}  // namespace varrow
