#include "ReportModel.h"

#include <algorithm>
#include <climits>

namespace tolvan {

TReportModel::TReportModel(const QStringList& cells, int32_t columns, QObject* parent)
    : QAbstractTableModel(parent),
      cells_(cells),
      columns_(std::max(0, columns)),
      rows_(RowCount(cells.size(), columns)) {}

int TReportModel::RowCount(qsizetype cells, int32_t columns) {
    if (columns <= 0) return 0;
    const qsizetype rows = cells / columns - 1;
    return static_cast<int>(std::clamp<qsizetype>(rows, 0, INT_MAX));
}

int TReportModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TReportModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QString TReportModel::Cell(qsizetype index) const {
    return index >= 0 && index < cells_.size() ? cells_.at(index) : QString();
}

QVariant TReportModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return QVariant();
    return Cell((static_cast<qsizetype>(index.row()) + 1) * columns_ + index.column());
}

QVariant TReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Horizontal) return section >= 0 && section < columns_ ? Cell(section) : QVariant();
    return section + 1;
}

}  // namespace tolvan
