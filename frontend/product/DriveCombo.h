// The drive list in its drop-down control, cmbSrcDrives.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;

namespace tolvan {

// The text of the selected entry; empty when none is selected or there is
// no control.
QString SelectedDriveText(const QComboBox* list);

// Replaces the entries by entries and leaves none selected, as a refresh
// must (QComboBox would select the first one).
void FillDriveCombo(QComboBox* list, const QStringList& entries);

}  // namespace tolvan
