#include "DriveCombo.h"

#include <QComboBox>

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

}  // namespace tolvan
