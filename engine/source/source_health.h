// Telling a source that stopped answering (a disk that was unplugged, an
// image that shrank while it was read) from one with bad areas, so that a
// run ends with an error instead of writing empty files.
#pragma once

#include <cstdint>
#include <optional>

#include "base/exceptions.h"

namespace varrow {

class CFile64Ex;

class SourceHealth {
public:
    // A stretch of failed sectors this long makes the scan look again.
    static constexpr uint64_t kLongFailedStretch = uint64_t{64} << 20;
    // So many copies in a row of which nothing could be read make pass 2
    // look again.
    static constexpr int kUnreadCopiesInARow = 16;

    // Notes the source's length as the scan begins.
    explicit SourceHealth(CFile64Ex& source);

    // During the scan: raises CSourceGoneException when the sectors that
    // failed last form a long stretch and the source no longer answers.
    void CheckScan();
    // When the scan is over: a source that became shorter while it was
    // scanned, whose end was then never read, as an exception to report;
    // nothing when it did not. What was found before is still written.
    std::optional<CSourceGoneException> ShrankDuringScan();
    // After each copy of a message: raises CSourceGoneException when many
    // copies in a row gave nothing to read and the source no longer answers.
    void AfterCopy(bool nothingRead);

private:
    // Whether the source still reads its first sector and is still as long
    // as it was; the reason when it is not.
    bool StillAnswers(const char** why);
    [[noreturn]] void Gone(const char* why) const;

    CFile64Ex& source_;
    uint64_t length_;
    uint64_t checkedStretch_ = 0;
    int unreadInARow_ = 0;
};

}  // namespace varrow
