// The report list's rows, read straight from the main window's report:
// with the engine's records one row per handled copy of a message (number,
// subject, file, size, date, sender, complete, duplicate of); without them
// the report cells, whose first n cells are the column titles and every
// n cells after them one message. Nothing is copied and no item is made:
// the model keeps only the order of the rows it shows, so a report of
// 200000 messages sorts and filters as quickly as one of ten.
#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "RunReport.h"

namespace tolvan {

class TReportModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // The columns of a report with records.
    enum TColumn { kNumber, kSubject, kFile, kSize, kDate, kFrom, kComplete, kDuplicateOf, kColumnCount };
    enum class TCompleteness { All, CompleteOnly, IncompleteOnly };

    // The report's cells and records must outlive the model and keep
    // their size while it lives.
    explicit TReportModel(const TRunReport& report, QObject* parent = nullptr);
    // A report of cells alone.
    TReportModel(const QStringList& cells, int32_t columns, QObject* parent = nullptr);

    // (cells / n) - 1 whole groups after the titles, never negative; 0
    // without columns.
    static int RowCount(qsizetype cells, int32_t columns);

    bool HasRecords() const { return records_ != nullptr; }
    // Rows before the filter.
    int TotalRows() const { return total_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // The cell's text; its whole text or the reason it is incomplete as a
    // tool tip; sizes aligned right.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // With cells, column i's title is cell i, or empty when there are
    // fewer cells.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Numbers, sizes and dates by value, texts without regard to case;
    // rows that tie keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Shows only the rows whose subject, sender or file contains text
    // (without regard to case), and with records only the complete or
    // incomplete ones when asked.
    void SetFilter(const QString& text, TCompleteness completeness);

    // The record a row shows; null without records.
    const TMessageRecord* RecordAt(int row) const;
    // The absolute path of the file a row's message was written to; empty
    // when none was.
    QString FilePath(int row) const;
    // The file's path below the output folder.
    QString RelativePath(const TMessageRecord& record) const;

private:
    // The part of a path below the output folder, without a copy.
    QStringView RelativeView(const QString& path) const;
    QString Cell(qsizetype index) const;
    QString CellText(int source, int column) const;
    QString RecordText(const TMessageRecord& record, int column) const;
    bool Matches(int source) const;
    void Rebuild();

    const QStringList* cells_ = nullptr;
    int columns_ = 0;
    const QList<TMessageRecord>* records_ = nullptr;
    QString outputFolder_;
    QString outputPrefix_;  // the output folder with its trailing '/'
    int total_ = 0;
    std::vector<int> rows_;  // the rows shown, as indexes of records or cell rows
    QString filter_;
    TCompleteness completeness_ = TCompleteness::All;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// A date of a record as the report shows it, in local time: "2004-03-17 14:05".
QString RecordDateText(const TMessageRecord& record);

}  // namespace tolvan
