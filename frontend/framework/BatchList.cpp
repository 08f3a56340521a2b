#include "BatchList.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace tolvan {

namespace {

enum Column { kSourceColumn = 0, kFolderColumn = 1, kStatusColumn = 2 };

}  // namespace

TBatchList::TBatchList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Source Drive or Disk"), QStringLiteral("Target Output Folder"),
                     QStringLiteral("Recovery Status")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);  // the rows stay in the order they were added
    // Long paths keep both their start and their name in view; the whole
    // text is the cell's tool tip.
    setTextElideMode(Qt::ElideMiddle);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The status column takes what is left of the list's width, so no
    // empty strip of header follows it.
    header()->setStretchLastSection(true);
    setColumnWidth(kSourceColumn, 250);
    setColumnWidth(kFolderColumn, 250);
    setColumnWidth(kStatusColumn, 91);
}

void TBatchList::AddRow(const QString& source, const QString& folder) {
    auto* item = new QTreeWidgetItem(QStringList{source, folder, QString::fromLatin1(kStatusNotRecovered)});
    item->setToolTip(kSourceColumn, source);
    item->setToolTip(kFolderColumn, folder);
    item->setSizeHint(kSourceColumn, QSize(0, fontMetrics().height() + 6));
    addTopLevelItem(item);
}

bool TBatchList::HasSource(const QString& text) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->text(kSourceColumn) == text) return true;
    }
    return false;
}

QList<TBatchList::TRow> TBatchList::Rows() const {
    QList<TRow> rows;
    for (int i = 0; i < topLevelItemCount(); ++i) rows.append(TRow(model()->index(i, kSourceColumn)));
    return rows;
}

QTreeWidgetItem* TBatchList::ItemOf(const TRow& row) const {
    return row.isValid() ? topLevelItem(row.row()) : nullptr;
}

QString TBatchList::Source(const TRow& row) const {
    const QTreeWidgetItem* item = ItemOf(row);
    return item ? item->text(kSourceColumn) : QString();
}

QString TBatchList::Folder(const TRow& row) const {
    const QTreeWidgetItem* item = ItemOf(row);
    return item ? item->text(kFolderColumn) : QString();
}

QString TBatchList::Status(const TRow& row) const {
    const QTreeWidgetItem* item = ItemOf(row);
    return item ? item->text(kStatusColumn) : QString();
}

void TBatchList::SetStatus(const TRow& row, const QString& status) {
    if (QTreeWidgetItem* item = ItemOf(row)) item->setText(kStatusColumn, status);
}

void TBatchList::RemoveSelected() {
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        if (topLevelItem(i)->isSelected()) delete takeTopLevelItem(i);
    }
}

void TBatchList::RemoveAll() { clear(); }

void TBatchList::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown && OnKeyDown(event)) return;
    QTreeWidget::keyPressEvent(event);
}

}  // namespace tolvan
