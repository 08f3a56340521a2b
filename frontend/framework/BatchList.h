// The list of the Batch Recovery page (FileList): one row per drive or
// disk to recover, with its output folder and the status of its last run.
#pragma once

#include <functional>

#include <QList>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include "RunOutcome.h"

class QKeyEvent;

namespace tolvan {


class TBatchList final : public QTreeWidget {
    Q_OBJECT

public:
    // A row that stays the same row while others are added or removed
    // before it, and becomes invalid once it is removed itself.
    using TRow = QPersistentModelIndex;
    // Sender's key press; true when the handler took it.
    using TKeyDownEvent = std::function<bool(QKeyEvent* event)>;

    // Three columns of 250, 250 and 91 pixels; whole rows, several at
    // once, no editing.
    explicit TBatchList(QWidget* parent = nullptr);

    // Appends a row "Not Recovered".
    void AddRow(const QString& source, const QString& folder);
    // True when a row's source equals text exactly.
    bool HasSource(const QString& text) const;
    int RowCount() const { return topLevelItemCount(); }

    // Every row, first to last.
    QList<TRow> Rows() const;
    QString Source(const TRow& row) const;
    QString Folder(const TRow& row) const;
    QString Status(const TRow& row) const;
    // Does nothing for a row that was removed.
    void SetStatus(const TRow& row, const QString& status);

    // Removes the selected rows, from the last to the first.
    void RemoveSelected();
    void RemoveAll();

    // Called first for every key press; the usual handling follows when it
    // is unassigned or returns false.
    TKeyDownEvent OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* ItemOf(const TRow& row) const;
};

}  // namespace tolvan
