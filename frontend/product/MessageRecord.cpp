#include "MessageRecord.h"

#include <QFile>
#include <QStringList>

#include "EngineRecords.h"

namespace tolvan {

namespace {

QString Text(const char* text) { return text ? QString::fromLocal8Bit(text) : QString(); }

}  // namespace

bool CopyMessageRecord(const VarrowMessageRecord* from, TMessageRecord& to) {
    if (!HasRecordField(from, &VarrowMessageRecord::incomplete)) return false;
    to = TMessageRecord();
    to.number = from->number;
    to.copy = from->copy;
    to.outcome = from->outcome;
    to.path = from->path ? QFile::decodeName(from->path) : QString();
    to.subject = Text(from->subject);
    to.bytes = from->bytes;
    to.blockCount = from->blockCount;
    if (from->blocks != nullptr && from->blockCount > 0) to.firstBlock = from->blocks[0];
    to.chainEnd = from->chainEnd;
    to.incomplete = from->incomplete;
    if (HasRecordField(from, &VarrowMessageRecord::duplicateOfCopy)) {
        to.duplicateOfNumber = from->duplicateOfNumber;
        to.duplicateOfCopy = from->duplicateOfCopy;
    }
    if (HasRecordField(from, &VarrowMessageRecord::hasDate)) {
        to.hasDate = from->hasDate != 0;
        to.date = from->date;
    }
    if (HasRecordField(from, &VarrowMessageRecord::from)) to.from = Text(from->from);
    return true;
}

QString IncompleteReason(const TMessageRecord& record) {
    switch (record.outcome) {
        case VARROW_COPY_DUPLICATE:
            return QStringLiteral("not written again: the same bytes as message %1")
                .arg(MessageNumberText(record.duplicateOfNumber, record.duplicateOfCopy));
        case VARROW_COPY_FAILED:
            return QStringLiteral("not written: the file could not be created");
        case VARROW_COPY_EMPTY:
            return QStringLiteral("not written: none of its bytes could be read");
        default: break;
    }
    QStringList reasons;
    if (record.incomplete & VARROW_INCOMPLETE_BEGINNING)
        reasons.append(QStringLiteral("beginning missing"));
    if (record.incomplete & VARROW_INCOMPLETE_END) {
        switch (record.chainEnd) {
            case VARROW_END_NEXT_MISSING:
                reasons.append(QStringLiteral("end missing (next block not found)"));
                break;
            case VARROW_END_LOOP:
                reasons.append(QStringLiteral("end missing (the chain looped)"));
                break;
            case VARROW_END_HEADER_UNREADABLE:
                reasons.append(QStringLiteral("end missing (a block header made no sense)"));
                break;
            case VARROW_END_READ_ERROR:
                reasons.append(QStringLiteral("end missing (a block could not be read)"));
                break;
            default: reasons.append(QStringLiteral("end missing")); break;
        }
    }
    if (record.incomplete & VARROW_INCOMPLETE_UNREADABLE)
        reasons.append(QStringLiteral("some bytes unreadable"));
    if (record.incomplete & VARROW_INCOMPLETE_UNCERTAIN)
        reasons.append(QStringLiteral("continuation uncertain (chosen among several; the rest may "
                                      "belong to another message)"));
    return reasons.join(QStringLiteral("; "));
}

QString CompleteText(const TMessageRecord& record) {
    switch (record.outcome) {
        case VARROW_COPY_WRITTEN:
            if (record.incomplete == 0) return QStringLiteral("Yes");
            // Only a guessed continuation: whole perhaps, but not proven.
            if (record.incomplete == VARROW_INCOMPLETE_UNCERTAIN) return QStringLiteral("Uncertain");
            return QStringLiteral("No");
        case VARROW_COPY_DUPLICATE: return QStringLiteral("Identical copy");
        case VARROW_COPY_FAILED: return QStringLiteral("Not written");
        case VARROW_COPY_EMPTY: return QStringLiteral("Unreadable");
        default: break;
    }
    return QString();
}

QString MessageNumberText(uint32_t number, uint32_t copy) {
    if (copy <= 1) return QString::number(number);
    return QStringLiteral("%1 (copy %2)").arg(number).arg(copy);
}

}  // namespace tolvan
