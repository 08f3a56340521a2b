// The recovery report: one row per recoverable message (number and
// subject), read from the report cells of the run.
#pragma once

#include <cstdint>

#include <QStringList>

#include "TolvanFrm.h"

class QFrame;
class QLabel;
class QTableView;

namespace tolvan {

class TReportModel;

class TReportForm final : public TTolvanForm {
    Q_OBJECT

public:
    static constexpr int kWidth = 495;
    static constexpr int kHeight = 522;

    // cells and columns: the main window's ReportCells and ReportColumns,
    // read while the report is open, never copied.
    TReportForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                const THintComponent* hintComponent, const QString& sourceName, const QStringList& cells,
                int32_t columns);

    // The width the columns are shared out of: the list inside its frame,
    // less the vertical scroll bar a long report needs.
    int ListWidth() const;

    // The whole title; labTitle shows it, with a long source name
    // shortened in its middle.
    QString Title;
    QLabel* labTitle;
    QFrame* Panel;
    QTableView* ReportList;
    TReportModel* Model;
};

}  // namespace tolvan
