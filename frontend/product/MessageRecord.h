// One handled copy of a message as the report keeps it: the engine's
// VarrowMessageRecord copied out of the callback (its pointers are valid
// only there), with the texts the report shows.
#pragma once

#include <cstdint>

#include <QString>

#include "varrow.h"

namespace tolvan {

struct TMessageRecord {
    uint32_t number = 0;
    uint32_t copy = 1;
    uint32_t outcome = VARROW_COPY_WRITTEN;  // VARROW_COPY_*
    QString path;                            // the file written; empty when none was
    QString subject;
    QString from;
    uint64_t bytes = 0;
    uint32_t blockCount = 0;
    uint64_t firstBlock = 0;  // source position of the first block header
    uint32_t chainEnd = VARROW_END_COMPLETE;
    uint32_t incomplete = 0;  // VARROW_INCOMPLETE_* bits
    uint32_t duplicateOfNumber = 0;
    uint32_t duplicateOfCopy = 0;
    bool hasDate = false;
    int64_t date = 0;  // seconds since 1970 UTC

    bool Written() const { return outcome == VARROW_COPY_WRITTEN; }
    bool Complete() const { return Written() && incomplete == 0; }
};

// Copies the fields the engine filled (a shorter record leaves the rest
// at their defaults). False for a null record or one too short to say
// what became of the copy.
bool CopyMessageRecord(const VarrowMessageRecord* from, TMessageRecord& to);

// Why a copy is not a complete message, in words: "beginning missing; end
// missing", "not written: the file could not be created"; empty for a
// complete one.
QString IncompleteReason(const TMessageRecord& record);

// What the report's "Complete" column shows: "Yes", "No", or what became
// of a copy that was not written.
QString CompleteText(const TMessageRecord& record);

// "12" for the first copy of message 12, "12 (copy 2)" for a later one.
QString MessageNumberText(uint32_t number, uint32_t copy);

}  // namespace tolvan
