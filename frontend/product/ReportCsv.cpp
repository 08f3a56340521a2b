#include "ReportCsv.h"

#include <QDateTime>

#include "ReportModel.h"

namespace tolvan {

namespace {

// "uncertain" when the only doubt is a continuation chosen among rivals.
QString CompleteWord(uint32_t reasons) {
    if (reasons == 0) return QStringLiteral("yes");
    return reasons == VARROW_INCOMPLETE_UNCERTAIN ? QStringLiteral("uncertain") : QStringLiteral("no");
}

// What a spreadsheet would take for a formula (or a control) is led by a
// quote mark; a field that holds a comma, a quote or a line end is quoted.
QString Field(const QString& text) {
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
        field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'))) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QString IncompleteWords(uint32_t reasons) {
    QStringList words;
    if (reasons & VARROW_INCOMPLETE_BEGINNING) words.append(QStringLiteral("beginning missing"));
    if (reasons & VARROW_INCOMPLETE_END) words.append(QStringLiteral("end missing"));
    if (reasons & VARROW_INCOMPLETE_UNREADABLE) words.append(QStringLiteral("unreadable bytes"));
    if (reasons & VARROW_INCOMPLETE_UNCERTAIN) words.append(QStringLiteral("continuation uncertain"));
    return words.join(QStringLiteral("; "));
}

QString FileField(const TMessageRecord& record, const TReportModel& model) {
    switch (record.outcome) {
        case VARROW_COPY_WRITTEN: return model.RelativePath(record);
        case VARROW_COPY_DUPLICATE: return QString();
        case VARROW_COPY_EMPTY: return QStringLiteral("(nothing could be read)");
        default: break;
    }
    return QStringLiteral("(could not be written)");
}

}  // namespace

QByteArray CsvRecord(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields) quoted.append(Field(field));
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray ReportCsv(const TRunReport& report) {
    QByteArray csv;
    if (!report.HasRecords()) {
        if (report.cells == nullptr || report.columns <= 0) return csv;
        const qsizetype width = report.columns;
        for (qsizetype start = 0; start + width <= report.cells->size(); start += width)
            csv += CsvRecord(report.cells->mid(start, width));
        return csv;
    }
    csv +=
        CsvRecord({QStringLiteral("Message No."), QStringLiteral("Subject"), QStringLiteral("Copy"),
                   QStringLiteral("File"), QStringLiteral("Size"), QStringLiteral("Blocks"),
                   QStringLiteral("First block"), QStringLiteral("Complete"),
                   QStringLiteral("Why incomplete"), QStringLiteral("Duplicate of"),
                   QStringLiteral("Date"), QStringLiteral("From")});
    const TReportModel model(report);
    for (const TMessageRecord& record : *report.records) {
        QString duplicate;
        if (record.outcome == VARROW_COPY_DUPLICATE)
            duplicate =
                QStringLiteral("%1/%2").arg(record.duplicateOfNumber).arg(record.duplicateOfCopy);
        const QString date = record.hasDate ? QDateTime::fromSecsSinceEpoch(record.date, Qt::UTC)
                                                  .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"))
                                            : QString();
        csv += CsvRecord({QString::number(record.number), record.subject,
                          QString::number(record.copy), FileField(record, model),
                          QString::number(record.bytes), QString::number(record.blockCount),
                          record.blockCount > 0 ? QString::number(record.firstBlock) : QString(),
                          CompleteWord(record.incomplete),
                          IncompleteWords(record.incomplete), duplicate, date, record.from});
    }
    return csv;
}

}  // namespace tolvan
