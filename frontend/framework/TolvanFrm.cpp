#include "TolvanFrm.h"

#include <QPushButton>

#include "TolvanMgfm.h"

namespace tolvan {

TTolvanForm::TTolvanForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                         const THintComponent* hintComponent)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    ApplyLooks(this, formLook, controlLook, hintComponent);
    SetClientSize(kWidth, kHeight);
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setGeometry(370, 400, 100, 25);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TTolvanForm::SetClientSize(int width, int height) { setFixedSize(width, height); }

}  // namespace tolvan
