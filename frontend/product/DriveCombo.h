// The drive list in its drop-down control, cmbSrcDrives, and the buttons
// beside it.
#pragma once

#include <QString>
#include <QStyle>
#include <QStringList>

class QComboBox;
class QPushButton;
class QWidget;

namespace tolvan {

// The text of the selected entry; empty when none is selected or there is
// no control.
QString SelectedDriveText(const QComboBox* list);

// Replaces the entries by entries and leaves none selected, as a refresh
// must (QComboBox would select the first one).
void FillDriveCombo(QComboBox* list, const QStringList& entries);

// The small picture buttons beside a drive list (refresh, add an image
// file), drawn as the control look's "smallbutton".
QPushButton* SmallPictureButton(QWidget* parent, QStyle::StandardPixmap picture, const QString& hint);

}  // namespace tolvan
