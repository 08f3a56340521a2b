#include "EngineEvents.h"

#include "TolvanUtils.h"
#include "varrow.h"

namespace tolvan {

QString EngineText(const void* data) {
    return data ? QString::fromLocal8Bit(static_cast<const char*>(data)) : QString();
}

TRecoveryEvents::TRecoveryEvents(TLogView& log, TAlertView& alerts) : log_(log), alerts_(alerts) {}

void TRecoveryEvents::HandleEngineEvent(int32_t code, void* data) {
    switch (code) {
    case EV_LOG: {
        const QString text = EngineText(data);
        log_.AppendLine(text == QLatin1String("-") ? QString::fromLatin1(kSeparatorLine) : text);
        break;
    }
    case EV_REPORT_CELL:
        ReportCells.append(EngineText(data));
        break;
    case EV_ERROR:
        log_.AppendLine(QString::fromLatin1(kSeparatorLine));
        log_.AppendLine(EngineText(data));
        log_.AppendLine(QString::fromLatin1(kSeparatorLine));
        break;
    case EV_REPORT_COLUMNS:
        if (data) ReportColumns = *static_cast<const int32_t*>(data);
        break;
    case EV_ALERT:
        alerts_.ShowInformation(EngineText(data));
        break;
    case EV_MESSAGE_RECORD: {
        TMessageRecord record;
        if (CopyMessageRecord(static_cast<const VarrowMessageRecord*>(data), record)) Records.append(record);
        break;
    }
    default:
        break;  // EV_SOURCE, EV_TOTALS (the tally's) and codes this product does not know
    }
}

void TRecoveryEvents::BeforeRecovery() { ClearReport(); }

void TRecoveryEvents::AfterRecovery() { ClearReport(); }

void TRecoveryEvents::ClearReport() {
    ReportCells.clear();
    ReportColumns = 0;
    Records.clear();
}

}  // namespace tolvan
