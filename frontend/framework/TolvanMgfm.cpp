#include "TolvanMgfm.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "TolvanLook.h"

namespace tolvan {

void ApplyLooks(QWidget* window, const TFormLook* formLook, const TControlLook* controlLook,
                const THintComponent* hintComponent) {
    if (formLook) formLook->Apply(window);
    if (controlLook) controlLook->Apply(window);
    if (hintComponent) hintComponent->Apply();
}

TTolvanMsgForm::TTolvanMsgForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                               const THintComponent* hintComponent)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    ApplyLooks(this, formLook, controlLook, hintComponent);
    setWindowTitle(QStringLiteral("Information"));
    resize(kWidth, kDesignHeight);

    imgIcon = new QLabel(this);
    imgIcon->setGeometry(12, 14, 32, 32);
    imgIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));

    labMsg = new QLabel(this);
    labMsg->setWordWrap(true);
    labMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labMsg->setGeometry(58, 8, kMessageWidth, 20);
    labMsg->setMinimumWidth(kMessageWidth);
    labMsg->setMaximumWidth(kMessageWidth);

    btnReport = new QPushButton(this);
    btnReport->setDefault(true);
    btnReport->hide();

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setGeometry(370, 104, 100, 25);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TTolvanMsgForm::FormShow() {
    const int height = labMsg->heightForWidth(kMessageWidth);
    labMsg->resize(kMessageWidth, height);
    const int bottom = labMsg->y() + height;
    for (QPushButton* button : {btnReport, btnClose}) button->move(button->x(), bottom + 14);
    setFixedSize(kWidth, height + btnClose->height() + 69 - kFrameAllowance);
}

void TTolvanMsgForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

}  // namespace tolvan
