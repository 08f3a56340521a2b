#include "ReportModel.h"

#include <algorithm>
#include <climits>
#include <tuple>

#include <QDateTime>
#include <QDir>
#include <QLocale>

#include "TolvanUtils.h"

namespace tolvan {

namespace {

const char* const kRecordTitles[] = {"Message No.", "Subject", "File", "Size", "Date", "From", "Complete",
                                     "Duplicate of"};


}  // namespace

QString RecordDateText(const TMessageRecord& record) {
    if (!record.hasDate) return QString();
    return QDateTime::fromSecsSinceEpoch(record.date, Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

TReportModel::TReportModel(const TRunReport& report, QObject* parent) : QAbstractTableModel(parent) {
    outputFolder_ = report.outputFolder;
    if (!outputFolder_.isEmpty())
        outputPrefix_ = outputFolder_.endsWith(QLatin1Char('/')) ? outputFolder_ : outputFolder_ + QLatin1Char('/');
    if (report.HasRecords()) {
        records_ = report.records;
        total_ = static_cast<int>(std::min<qsizetype>(records_->size(), INT_MAX));
    } else if (report.cells != nullptr) {
        cells_ = report.cells;
        columns_ = std::max(0, report.columns);
        total_ = RowCount(cells_->size(), report.columns);
    }
    Rebuild();
}

TReportModel::TReportModel(const QStringList& cells, int32_t columns, QObject* parent)
    : QAbstractTableModel(parent),
      cells_(&cells),
      columns_(std::max(0, columns)),
      total_(RowCount(cells.size(), columns)) {
    Rebuild();
}

int TReportModel::RowCount(qsizetype cells, int32_t columns) {
    if (columns <= 0) return 0;
    const qsizetype rows = cells / columns - 1;
    return static_cast<int>(std::clamp<qsizetype>(rows, 0, INT_MAX));
}

int TReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TReportModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return records_ ? kColumnCount : columns_;
}

QString TReportModel::Cell(qsizetype index) const {
    return cells_ && index >= 0 && index < cells_->size() ? cells_->at(index) : QString();
}

QString TReportModel::CellText(int source, int column) const {
    return Cell((static_cast<qsizetype>(source) + 1) * columns_ + column);
}

QStringView TReportModel::RelativeView(const QString& path) const {
    if (!outputPrefix_.isEmpty() && path.startsWith(outputPrefix_)) return QStringView(path).mid(outputPrefix_.size());
    return QStringView(path);
}

QString TReportModel::RelativePath(const TMessageRecord& record) const {
    if (record.path.isEmpty() || outputFolder_.isEmpty()) return record.path;
    // The usual case, cheaply: the file lies below the output folder.
    if (record.path.startsWith(outputPrefix_)) return record.path.mid(outputPrefix_.size());
    return QDir(outputFolder_).relativeFilePath(record.path);
}

QString TReportModel::RecordText(const TMessageRecord& record, int column) const {
    switch (column) {
    case kNumber: return MessageNumberText(record.number, record.copy);
    case kSubject: return record.subject;
    case kFile: return RelativePath(record);
    case kSize: return WholeNumberText(static_cast<qlonglong>(record.bytes));
    case kDate: return RecordDateText(record);
    case kFrom: return record.from;
    case kComplete: return CompleteText(record);
    case kDuplicateOf:
        return record.duplicateOfNumber ? MessageNumberText(record.duplicateOfNumber, record.duplicateOfCopy)
                                        : QString();
    default: break;
    }
    return QString();
}

QVariant TReportModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return QVariant();
    const int source = rows_[static_cast<size_t>(index.row())];
    if (!records_) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return CellText(source, index.column());
        return QVariant();
    }
    const TMessageRecord& record = records_->at(source);
    switch (role) {
    case Qt::DisplayRole: return RecordText(record, index.column());
    case Qt::ToolTipRole:
        if (index.column() == kComplete) {
            const QString reason = IncompleteReason(record);
            return reason.isEmpty() ? QStringLiteral("Complete: the whole chain was read and begins with a header")
                                    : reason;
        }
        return RecordText(record, index.column());
    case Qt::TextAlignmentRole:
        if (index.column() == kSize) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default: break;
    }
    return QVariant();
}

QVariant TReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return QVariant();
    return records_ ? QString::fromLatin1(kRecordTitles[section]) : Cell(section);
}

const TMessageRecord* TReportModel::RecordAt(int row) const {
    if (!records_ || row < 0 || row >= rowCount()) return nullptr;
    return &records_->at(rows_[static_cast<size_t>(row)]);
}

QString TReportModel::FilePath(int row) const {
    const TMessageRecord* record = RecordAt(row);
    if (record == nullptr || record->path.isEmpty()) return QString();
    return QDir(outputFolder_).absoluteFilePath(record->path);
}

bool TReportModel::Matches(int source) const {
    if (records_) {
        const TMessageRecord& record = records_->at(source);
        if (completeness_ == TCompleteness::CompleteOnly && !record.Complete()) return false;
        if (completeness_ == TCompleteness::IncompleteOnly && record.Complete()) return false;
        if (filter_.isEmpty()) return true;
        return record.subject.contains(filter_, Qt::CaseInsensitive) ||
               record.from.contains(filter_, Qt::CaseInsensitive) ||
               RelativeView(record.path).contains(filter_, Qt::CaseInsensitive);
    }
    if (filter_.isEmpty()) return true;
    for (int column = 0; column < columns_; ++column) {
        if (CellText(source, column).contains(filter_, Qt::CaseInsensitive)) return true;
    }
    return false;
}

void TReportModel::Rebuild() {
    rows_.clear();
    rows_.reserve(static_cast<size_t>(total_));
    for (int source = 0; source < total_; ++source) {
        if (Matches(source)) rows_.push_back(source);
    }
    if (sortColumn_ < 0 || sortColumn_ >= columnCount()) return;
    const int column = sortColumn_;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    auto sortBy = [&](auto less) {
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](int left, int right) { return descending ? less(right, left) : less(left, right); });
    };
    const bool numericColumn = records_ && (column == kNumber || column == kSize || column == kDate ||
                                            column == kDuplicateOf);
    if (records_ && numericColumn) {
        sortBy([&](int left, int right) {
            const TMessageRecord& a = records_->at(left);
            const TMessageRecord& b = records_->at(right);
            switch (column) {
            case kNumber: return std::tie(a.number, a.copy) < std::tie(b.number, b.copy);
            case kSize: return a.bytes < b.bytes;
            case kDate:  // messages without a date come first
                return std::make_pair(a.hasDate, a.date) < std::make_pair(b.hasDate, b.date);
            default:
                return std::tie(a.duplicateOfNumber, a.duplicateOfCopy) <
                       std::tie(b.duplicateOfNumber, b.duplicateOfCopy);
            }
        });
        return;
    }
    // Texts sort without regard to case, numbers among the cells by value:
    // the keys are made once, not at every comparison.
    std::vector<QString> keys(static_cast<size_t>(total_));
    std::vector<qlonglong> numbers;
    bool allNumbers = !records_;
    for (const int source : rows_) {
        const QString text = records_ ? (column == kFile ? records_->at(source).path
                                                         : RecordText(records_->at(source), column))
                                      : CellText(source, column);
        keys[static_cast<size_t>(source)] = text.toCaseFolded();
    }
    if (allNumbers) {
        numbers.resize(static_cast<size_t>(total_));
        for (const int source : rows_) {
            bool number = false;
            numbers[static_cast<size_t>(source)] = keys[static_cast<size_t>(source)].toLongLong(&number);
            if (!number) {
                allNumbers = false;
                break;
            }
        }
    }
    if (allNumbers) {
        sortBy([&](int left, int right) {
            return numbers[static_cast<size_t>(left)] < numbers[static_cast<size_t>(right)];
        });
        return;
    }
    sortBy([&](int left, int right) { return keys[static_cast<size_t>(left)] < keys[static_cast<size_t>(right)]; });
}

void TReportModel::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    Rebuild();
    endResetModel();
}

void TReportModel::SetFilter(const QString& text, TCompleteness completeness) {
    beginResetModel();
    filter_ = text;
    completeness_ = records_ ? completeness : TCompleteness::All;
    Rebuild();
    endResetModel();
}

}  // namespace tolvan
