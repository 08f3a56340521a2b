#include "ReportFrm.h"

#include <algorithm>

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>

#include "MessagePreview.h"
#include "ReportCsv.h"
#include "ReportModel.h"
#include "RunOutcome.h"
#include "TolvanLook.h"
#include "TolvanPrompts.h"

namespace tolvan {

namespace {

// Widths of the columns of a report with records, in the list's font.
constexpr int kRecordColumnWidths[] = {90, 230, 185, 70, 145, 150, 80, 90};

// The preview pane's text: the headers, the body (an HTML body as the
// text it shows), the attachments' names.
QString PreviewText(const TMessagePreview& preview) {
    if (!preview.error.isEmpty()) return preview.error;
    QStringList lines;
    const QList<QPair<QString, QString>> headers{{QStringLiteral("From"), preview.from},
                                                 {QStringLiteral("To"), preview.to},
                                                 {QStringLiteral("Cc"), preview.cc},
                                                 {QStringLiteral("Date"), preview.date},
                                                 {QStringLiteral("Subject"), preview.subject}};
    for (const auto& [name, value] : headers) {
        if (!value.isEmpty()) lines.append(name + QStringLiteral(": ") + value);
    }
    if (!preview.attachments.isEmpty())
        lines.append(QStringLiteral("Attachments: ") + preview.attachments.join(QStringLiteral(", ")));
    lines.append(QString());
    lines.append(preview.bodyIsHtml ? QTextDocumentFragment::fromHtml(preview.body).toPlainText() : preview.body);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TReportForm::TReportForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                         const THintComponent* hintComponent, const TRunReport& report)
    : TTolvanForm(owner, formLook, controlLook, hintComponent), report_(report) {
    setWindowTitle(QStringLiteral("Recovery Report"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    labTitle = new QLabel(this);
    QFont bold = labTitle->font();
    bold.setBold(true);
    labTitle->setFont(bold);

    txtFilter = new QLineEdit(this);
    txtFilter->setPlaceholderText(QStringLiteral("Filter by subject, sender or file"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->setToolTip(QStringLiteral("Shows only the messages whose subject, sender or file name holds this text"));
    cmbCompleteness = new QComboBox(this);
    cmbCompleteness->addItems(
        {QStringLiteral("All messages"), QStringLiteral("Complete only"), QStringLiteral("Incomplete only")});

    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setChildrenCollapsible(false);
    Panel = new QFrame(Splitter);
    Panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    ReportList = new QTableView(Panel);
    ReportList->setFrameStyle(QFrame::NoFrame);
    auto* panelLayout = new QVBoxLayout(Panel);
    panelLayout->setContentsMargins(Panel->frameWidth(), Panel->frameWidth(), Panel->frameWidth(),
                                    Panel->frameWidth());
    panelLayout->addWidget(ReportList);
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
    ReportList->horizontalHeader()->setSortIndicatorShown(true);
    ReportList->installEventFilter(this);

    txtPreview = new QPlainTextEdit(Splitter);
    txtPreview->setReadOnly(true);
    txtPreview->setPlaceholderText(QStringLiteral("Double-click a message, or press Enter, to read it here."));
    Splitter->setStretchFactor(0, 3);
    Splitter->setStretchFactor(1, 2);

    btnOpen = new QPushButton(QStringLiteral("&Open in Mail Program"), this);
    btnOpen->setToolTip(QStringLiteral("Opens the selected message with the desktop's mail program"));
    btnOpen->setAutoDefault(false);
    btnExport = new QPushButton(QStringLiteral("&Export..."), this);
    btnExport->setToolTip(QStringLiteral("Saves the report as CSV, as varrow recover --report writes it"));
    btnExport->setAutoDefault(false);
    btnClose->setAutoDefault(false);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(cmbCompleteness);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btnOpen);
    buttonRow->addWidget(btnExport);
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnClose);
    for (QPushButton* button : {btnOpen, btnExport, btnClose}) button->setMinimumSize(100, 25);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 12);
    layout->addWidget(labTitle);
    layout->addLayout(filterRow);
    layout->addWidget(Splitter, 1);
    layout->addLayout(buttonRow);

    Model = new TReportModel(report_, this);
    ReportList->setModel(Model);
    ReportList->setSortingEnabled(true);
    ReportList->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // arrival order until asked

    // Without records there are no files to open: the list alone.
    cmbCompleteness->setEnabled(Model->HasRecords());
    btnOpen->setVisible(Model->HasRecords());
    txtPreview->setVisible(Model->HasRecords());
    btnExport->setEnabled(report_.cells != nullptr || Model->HasRecords());

    Title = ReportTitle(report_.source, report_.totals);
    labTitle->setWordWrap(true);
    setMinimumSize(kWidth, kHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QSize size(kWidth, kHeight);
    if (Model->HasRecords()) {
        size = QSize(kOpenWidth, kOpenHeight);
        if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableSize() - QSize(40, 60)).expandedTo(QSize(kWidth, kHeight));
    }
    resize(size);
    layout->activate();  // the list's width, for the columns below
    ShowTitle();

    // With records every column has a width of its own; otherwise every
    // column gets the larger of 90 and an equal share of the list, then
    // the number and subject columns get theirs.
    const int count = Model->columnCount();
    if (Model->HasRecords()) {
        for (int i = 0; i < count; ++i) ReportList->setColumnWidth(i, kRecordColumnWidths[i]);
    } else {
        const int share = count > 0 ? std::max(90, ListWidth() / count) : 90;
        for (int i = 0; i < count; ++i) ReportList->setColumnWidth(i, share);
        if (count > 0) ReportList->setColumnWidth(0, 85);
        if (count > 1) ReportList->setColumnWidth(1, 370);
    }

    connect(txtFilter, &QLineEdit::textChanged, this, &TReportForm::txtFilterChange);
    connect(cmbCompleteness, &QComboBox::currentIndexChanged, this, &TReportForm::txtFilterChange);
    connect(ReportList, &QAbstractItemView::doubleClicked, this, &TReportForm::OpenMessage);
    connect(btnOpen, &QPushButton::clicked, this, &TReportForm::btnOpenClick);
    connect(btnExport, &QPushButton::clicked, this, &TReportForm::btnExportClick);
}

// Measured on the splitter, which the window's layout sizes at once; the
// list inside it follows only once the window is shown.
int TReportForm::ListWidth() const {
    return Splitter->width() - 2 * Panel->frameWidth() - 2 * ReportList->frameWidth() -
           ReportList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ReportList);
}

// The title wraps onto a second line when it needs one; a source name too
// long for half a line is shortened in its middle, and the whole title is
// then the label's hint.
void TReportForm::ShowTitle() {
    const int room = std::max(100, width() - 28);
    const QFontMetrics metrics(labTitle->font());
    const QString source = metrics.elidedText(report_.source, Qt::ElideMiddle, room / 2);
    const QString shown = source == report_.source ? Title : ReportTitle(source, report_.totals);
    labTitle->setText(shown);
    labTitle->setToolTip(shown == Title ? QString() : Title);
}

void TReportForm::resizeEvent(QResizeEvent* event) {
    TTolvanForm::resizeEvent(event);
    ShowTitle();
}

void TReportForm::txtFilterChange() {
    const auto completeness = static_cast<TReportModel::TCompleteness>(std::max(0, cmbCompleteness->currentIndex()));
    Model->SetFilter(txtFilter->text().trimmed(), completeness);
}

int TReportForm::CurrentRow() const {
    const QModelIndex current = ReportList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TReportForm::OpenMessage() {
    const int row = CurrentRow();
    if (row < 0) return;
    const TMessageRecord* record = Model->RecordAt(row);
    if (record == nullptr) {
        txtPreview->setPlainText(QStringLiteral("The engine sent no file names for this report, so its messages "
                                                "cannot be opened from here."));
        return;
    }
    const QString path = Model->FilePath(row);
    if (path.isEmpty()) {
        txtPreview->setPlainText(QStringLiteral("Message %1 was not written to a file: %2.")
                                     .arg(MessageNumberText(record->number, record->copy), IncompleteReason(*record)));
        return;
    }
    txtPreview->setPlainText(PreviewText(ReadMessagePreview(path)));
}

void TReportForm::btnOpenClick() {
    const QString path = Model->FilePath(CurrentRow());
    if (path.isEmpty()) return;
    if (!Prompts().OpenUrl(QUrl::fromLocalFile(path)))
        Prompts().Error(this, QStringLiteral("Cannot open the message '%1' with a mail program.").arg(path));
}

void TReportForm::btnExportClick() {
    const QString start =
        report_.outputFolder.isEmpty() ? QString() : report_.outputFolder + QStringLiteral("/report.csv");
    const QString file = Prompts().ChooseSaveFile(this, QStringLiteral("Export the recovery report"), start,
                                                  QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (file.isEmpty()) return;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(ReportCsv(report_)) < 0 || !out.commit())
        Prompts().Error(this, QStringLiteral("Cannot write the report to '%1': %2").arg(file, out.errorString()));
}

// Home and End go to the first and the last row (a table view would go to
// the first and last column); Enter opens the message instead of pressing
// the dialog's default button.
bool TReportForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ReportList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int rows = Model->rowCount();
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) && rows > 0) {
            const int row = key->key() == Qt::Key_Home ? 0 : rows - 1;
            const QModelIndex target = Model->index(row, std::max(0, ReportList->currentIndex().column()));
            ReportList->setCurrentIndex(target);
            ReportList->scrollTo(target);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OpenMessage();
            return true;
        }
    }
    return TTolvanForm::eventFilter(watched, event);
}

}  // namespace tolvan
