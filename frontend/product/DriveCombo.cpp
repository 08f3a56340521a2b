#include "DriveCombo.h"

#include <QComboBox>
#include <QPushButton>

#include "TolvanLook.h"

namespace tolvan {

QString SelectedDriveText(const QComboBox* list) {
    if (list == nullptr || list->currentIndex() < 0) return QString();
    return list->itemText(list->currentIndex());
}

void FillDriveCombo(QComboBox* list, const QStringList& entries) {
    if (list == nullptr) return;
    list->clear();
    list->addItems(entries);
    list->setCurrentIndex(-1);
    list->update();
}

QPushButton* SmallPictureButton(QWidget* parent, QStyle::StandardPixmap picture, const QString& hint) {
    auto* button = new QPushButton(parent);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setAutoDefault(false);
    SetSkinElement(button, kSkinSmallButton);
    return button;
}

}  // namespace tolvan
