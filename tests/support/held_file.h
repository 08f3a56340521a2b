// A file held open the way another program would hold it, so that the
// engine's opens meet a sharing violation: on POSIX through an advisory
// lock (which the engine's share modes honour), on Windows through an open
// without (or with only read) sharing.
#pragma once

#include <cstdint>
#include <string>

namespace varrow::testing {

class HeldFile {
public:
    enum class Hold { Exclusively, AllowingReaders };
    HeldFile(const std::string& path, Hold hold);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Whether the file is held; false when it could not be opened.
    bool held() const { return handle_ != kNone; }
    // Lets the file go before the object does.
    void Release();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

}  // namespace varrow::testing
