#include "ReportFrm.h"

#include <algorithm>

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include "ReportModel.h"
#include "TolvanLook.h"

namespace tolvan {

TReportForm::TReportForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                         const THintComponent* hintComponent, const QString& sourceName, const QStringList& cells,
                         int32_t columns)
    : TTolvanForm(owner, formLook, controlLook, hintComponent) {
    SetClientSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Recovery Report"));

    labTitle = new QLabel(this);
    QFont bold = labTitle->font();
    bold.setBold(true);
    labTitle->setFont(bold);
    labTitle->move(15, 8);
    btnClose->move(btnClose->x(), 478);

    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Panel->setGeometry(14, 32, 458, 433);
    ReportList = new QTableView(Panel);
    ReportList->setFrameStyle(QFrame::NoFrame);
    const int frame = Panel->frameWidth();
    ReportList->setGeometry(frame, frame, Panel->width() - 2 * frame, Panel->height() - 2 * frame);
    ReportList->setFont(SansPixelFont(14));
    ReportList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ReportList->setSelectionMode(QAbstractItemView::SingleSelection);
    ReportList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ReportList->setShowGrid(false);
    ReportList->setWordWrap(false);
    ReportList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ReportList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ReportList->verticalHeader()->hide();
    // Fixed row heights: the view places any row by arithmetic and never
    // measures the rows it does not show.
    ReportList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ReportList->verticalHeader()->setDefaultSectionSize(ReportList->fontMetrics().height() + 6);
    ReportList->horizontalHeader()->setHighlightSections(false);
    ReportList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Model = new TReportModel(cells, columns, this);
    ReportList->setModel(Model);

    // Every column gets the larger of 90 and an equal share of the list;
    // then the number and subject columns get their own widths.
    const int count = Model->columnCount();
    const int share = count > 0 ? std::max(90, ListWidth() / count) : 90;
    for (int i = 0; i < count; ++i) ReportList->setColumnWidth(i, share);
    if (count > 0) ReportList->setColumnWidth(0, 85);
    if (count > 1) ReportList->setColumnWidth(1, 370);

    // A long source name is shortened in its middle to fit the window; the
    // whole title is the label's hint.
    const QString pattern = QStringLiteral("Totally %1 message(s) in '%2' are recoverable:");
    const QString rows = QString::number(Model->rowCount());
    Title = pattern.arg(rows, sourceName);
    const QString& title = Title;
    const int room = kWidth - 2 * labTitle->x();
    const QFontMetrics metrics(labTitle->font());
    QString shown = title;
    if (metrics.horizontalAdvance(title) > room) {
        const int fixed = metrics.horizontalAdvance(pattern.arg(rows, QString()));
        shown = pattern.arg(rows, metrics.elidedText(sourceName, Qt::ElideMiddle, room - fixed));
        labTitle->setToolTip(title);
    }
    labTitle->setText(shown);
    labTitle->resize(room, metrics.height());
}

int TReportForm::ListWidth() const {
    return ReportList->width() - 2 * ReportList->frameWidth() -
           ReportList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ReportList);
}

}  // namespace tolvan
