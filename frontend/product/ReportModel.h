// The report list's rows, read straight from the main window's report
// cells: the first n cells are the column titles, then every n cells one
// message. Nothing is copied and no item is created, so a report of
// 200000 messages costs no more to open than one of ten.
#pragma once

#include <cstdint>

#include <QAbstractTableModel>
#include <QStringList>

namespace tolvan {

class TReportModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // cells must outlive the model and keep its size while the model lives.
    TReportModel(const QStringList& cells, int32_t columns, QObject* parent = nullptr);

    // (cells / n) - 1 whole groups after the titles, never negative; 0
    // without columns.
    static int RowCount(qsizetype cells, int32_t columns);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Row r, column i shows cell (r + 1) * n + i, or an empty text past
    // the end of the cells.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Column i's title is cell i, or empty when there are fewer cells.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString Cell(qsizetype index) const;

    const QStringList& cells_;
    int columns_;
    int rows_;
};

}  // namespace tolvan
