#include "MsgFrm.h"

#include <QLabel>
#include <QPushButton>

#include "ReportFrm.h"
#include "TolvanPrompts.h"

namespace tolvan {

TMsgForm::TMsgForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                   const THintComponent* hintComponent, const QString& text, const TRunReport& report)
    : TTolvanMsgForm(owner, formLook, controlLook, hintComponent),
      formLook_(formLook),
      controlLook_(controlLook),
      hintComponent_(hintComponent),
      report_(report) {
    resize(kWidth, kDesignHeight);
    labMsg->setText(text + QStringLiteral(" Press \"Show Recovery Report\" to see every message found, open it "
                                          "and export the list."));
    btnReport->setText(QStringLiteral("&Show Recovery Report"));
    btnReport->setGeometry(57, 72, 158, 25);
    btnReport->show();
    btnClose->setGeometry(351, 72, 100, 25);
    connect(btnReport, &QPushButton::clicked, this, &TMsgForm::btnReportClick);
}

void TMsgForm::btnReportClick() {
    if (report_.cells == nullptr) {
        Prompts().Error(this, QStringLiteral("Invalid recovery report!"));
        return;
    }
    TReportForm report(this, formLook_, controlLook_, hintComponent_, report_);
    Prompts().Execute(report);
}

}  // namespace tolvan
