#include "MsgFrm.h"

#include <QLabel>
#include <QPushButton>

#include "ReportFrm.h"
#include "TolvanPrompts.h"

namespace tolvan {

TMsgForm::TMsgForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                   const THintComponent* hintComponent, const QString& text, const QString& sourceName,
                   const QStringList* cells, int32_t columns)
    : TTolvanMsgForm(owner, formLook, controlLook, hintComponent),
      formLook_(formLook),
      controlLook_(controlLook),
      hintComponent_(hintComponent),
      sourceName_(sourceName),
      cells_(cells),
      columns_(columns) {
    resize(kWidth, kDesignHeight);
    labMsg->setText(text + QStringLiteral(" Press \"Show Recovery Report\" to see the number and subject of "
                                          "every message found."));
    btnReport->setText(QStringLiteral("&Show Recovery Report"));
    btnReport->setGeometry(57, 72, 158, 25);
    btnReport->show();
    btnClose->setGeometry(351, 72, 100, 25);
    connect(btnReport, &QPushButton::clicked, this, &TMsgForm::btnReportClick);
}

void TMsgForm::btnReportClick() {
    if (cells_ == nullptr) {
        Prompts().Error(this, QStringLiteral("Invalid recovery report!"));
        return;
    }
    TReportForm report(this, formLook_, controlLook_, hintComponent_, sourceName_, *cells_, columns_);
    Prompts().Execute(report);
}

}  // namespace tolvan
