// What the summary dialog and the report window show of one run: the
// main window's report cells and records (read in place while the windows
// are open, never copied), the run's figures, and where its files went.
#pragma once

#include <cstdint>

#include <QList>
#include <QString>
#include <QStringList>

#include "MessageRecord.h"
#include "RunTally.h"

namespace tolvan {

struct TRunReport {
    QString source;                      // the source display text the run started with
    QString outputFolder;                // the absolute output folder; record paths lie below it
    const QStringList* cells = nullptr;  // null: there is no report
    int32_t columns = 0;
    const QList<TMessageRecord>* records = nullptr;  // null or empty: the engine sent none
    TRunTotals totals;

    bool HasRecords() const { return records != nullptr && !records->isEmpty(); }
};

}  // namespace tolvan
