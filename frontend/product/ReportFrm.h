// The recovery report: one row per message found (with the engine's
// records: its file, size, date, sender, whether it is complete and which
// message it duplicates), sortable by any column, narrowed by a filter;
// a message opens in the preview pane below the list or in the desktop's
// mail program, and the list exports to the command line's CSV.
#pragma once

#include <cstdint>

#include <QStringList>

#include "RunReport.h"
#include "TolvanFrm.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;

namespace tolvan {

class TReportModel;

class TReportForm final : public TTolvanForm {
    Q_OBJECT

public:
    // The smallest size, and the size it opens with.
    static constexpr int kWidth = 495;
    static constexpr int kHeight = 522;
    static constexpr int kOpenWidth = 1080;
    static constexpr int kOpenHeight = 640;

    // report: the main window's report, read while the window is open,
    // never copied.
    TReportForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                const THintComponent* hintComponent, const TRunReport& report);

    // The width the columns are shared out of: the list inside its frame,
    // less the vertical scroll bar a long report needs.
    int ListWidth() const;

    // --- Handlers ---
    void txtFilterChange();
    // Shows the message of the current row in the preview pane.
    void OpenMessage();
    // Opens the current row's file with the desktop's mail program.
    void btnOpenClick();
    // Asks for a file name and writes the report there as CSV.
    void btnExportClick();

    // The whole title; labTitle shows it, shortened in its middle when it
    // is too long for the window.
    QString Title;
    QLabel* labTitle;
    QLineEdit* txtFilter;
    QComboBox* cmbCompleteness;
    QSplitter* Splitter;
    QFrame* Panel;
    QTableView* ReportList;
    QPlainTextEdit* txtPreview;
    QPushButton* btnOpen;
    QPushButton* btnExport;
    TReportModel* Model;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowTitle();
    int CurrentRow() const;

    TRunReport report_;
};

}  // namespace tolvan
