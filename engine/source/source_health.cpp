#include "source/source_health.h"

#include <vector>

#include "base/exceptions.h"
#include "source/file64.h"

namespace varrow {

SourceHealth::SourceHealth(CFile64Ex& source) : source_(source), length_(source.GetLength()) {}

bool SourceHealth::StillAnswers(const char** why) {
    if (length_ != 0 && source_.GetLength() < length_) {
        *why = "it is shorter than when the scan began";
        return false;
    }
    // The first sector read when the scan began; a source that cannot read
    // it now has gone, where a damaged disk fails only in its bad areas.
    const uint32_t sector = source_.SectorSize();
    if (length_ < sector) return true;
    std::vector<uint8_t> buffer(sector);
    if (source_.ReadAligned(0, buffer.data(), sector, Transfer::OneCall).delivered != sector) {
        *why = "its first sector cannot be read any more";
        return false;
    }
    return true;
}

void SourceHealth::Gone(const char* why) const {
    throw CSourceGoneException("The source " + source_.GetFilePath() + " stopped answering: " + why + ".");
}

void SourceHealth::CheckScan() {
    const uint64_t stretch = source_.Failures().LastStretch();
    if (stretch < checkedStretch_) checkedStretch_ = 0;  // another stretch began
    // Looked at again each time the stretch has grown by another long one.
    if (stretch < checkedStretch_ + kLongFailedStretch) return;
    checkedStretch_ = stretch;
    const char* why = nullptr;
    if (!StillAnswers(&why)) Gone(why);
}

std::optional<CSourceGoneException> SourceHealth::ShrankDuringScan() {
    if (length_ == 0 || source_.GetLength() >= length_) return std::nullopt;
    return CSourceGoneException("The source " + source_.GetFilePath() +
                                " became shorter while it was scanned; its end was not read.");
}

void SourceHealth::AfterCopy(bool nothingRead) {
    unreadInARow_ = nothingRead ? unreadInARow_ + 1 : 0;
    if (unreadInARow_ < kUnreadCopiesInARow) return;
    unreadInARow_ = 0;
    const char* why = nullptr;
    if (!StillAnswers(&why)) Gone(why);
}

}  // namespace varrow
