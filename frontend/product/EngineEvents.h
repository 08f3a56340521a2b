// The product's HandleEngineEvent: log lines, error lines, report cells and
// alerts of a recovery, and the report they build.
#pragma once

#include <cstdint>

#include <QList>
#include <QStringList>

#include "MessageRecord.h"
#include "TolvanDispatch.h"
#include "TolvanViews.h"

namespace tolvan {

class TRecoveryEvents final : public TEngineEventHook {
public:
    TRecoveryEvents(TLogView& log, TAlertView& alerts);

    // EV_LOG, EV_REPORT_CELL, EV_ERROR, EV_REPORT_COLUMNS, EV_ALERT and
    // EV_MESSAGE_RECORD as the product handles them; every other code is
    // ignored.
    void HandleEngineEvent(int32_t code, void* data) override;

    // BeforeRecovery and AfterRecovery: an empty report.
    void BeforeRecovery();
    void AfterRecovery();

    // The report of the current run: cell texts in arrival order, and the
    // column count of the last EV_REPORT_COLUMNS (0 when none came).
    QStringList ReportCells;
    int32_t ReportColumns = 0;
    // One record per handled copy, when the engine sends them.
    QList<TMessageRecord> Records;

private:
    void ClearReport();

    TLogView& log_;
    TAlertView& alerts_;
};

// An engine text (NUL-terminated, in the system's 8-bit encoding) as a
// QString; a null pointer gives an empty text.
QString EngineText(const void* data);

}  // namespace tolvan
