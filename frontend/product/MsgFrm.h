// The summary dialog after a successful single recovery: the outcome text
// and a button that opens the recovery report.
#pragma once

#include <cstdint>

#include <QStringList>

#include "RunReport.h"
#include "TolvanMgfm.h"

namespace tolvan {

class TMsgForm final : public TTolvanMsgForm {
    Q_OBJECT

public:
    static constexpr int kDesignHeight = 118;

    // A report without cells makes the report button say that there is
    // no report. The looks are handed on to the report.
    TMsgForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
             const THintComponent* hintComponent, const QString& text, const TRunReport& report);

    // Opens the report modally; the dialog stays open behind it.
    void btnReportClick();

private:
    const TFormLook* formLook_;
    const TControlLook* controlLook_;
    const THintComponent* hintComponent_;
    TRunReport report_;
};

}  // namespace tolvan
