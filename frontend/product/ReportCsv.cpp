#include "ReportCsv.h"

#include <QDir>

#include "ReportModel.h"

namespace tolvan {

namespace {

QString Field(const QString& text) {
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@").contains(field.front())) field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\r')) ||
        field.contains(QLatin1Char('\n'))) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QString Yes(bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); }

QString IncompleteWords(const TMessageRecord& record) {
    QStringList words;
    if (record.incomplete & VARROW_INCOMPLETE_BEGINNING) words.append(QStringLiteral("beginning missing"));
    if (record.incomplete & VARROW_INCOMPLETE_END) words.append(QStringLiteral("end missing"));
    if (record.incomplete & VARROW_INCOMPLETE_UNREADABLE) words.append(QStringLiteral("unreadable bytes"));
    return words.join(QStringLiteral("; "));
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
    csv += CsvRecord({QStringLiteral("Message No."), QStringLiteral("Subject"), QStringLiteral("copy"),
                      QStringLiteral("file"), QStringLiteral("size"), QStringLiteral("blocks"),
                      QStringLiteral("first block position"), QStringLiteral("complete"),
                      QStringLiteral("why incomplete"), QStringLiteral("duplicate of"), QStringLiteral("date"),
                      QStringLiteral("from")});
    const TReportModel model(report);
    for (const TMessageRecord& record : *report.records) {
        const QString duplicate = record.duplicateOfNumber
                                      ? QStringLiteral("%1.%2").arg(record.duplicateOfNumber).arg(record.duplicateOfCopy)
                                      : QString();
        csv += CsvRecord({QString::number(record.number), record.subject, QString::number(record.copy),
                          model.RelativePath(record), QString::number(record.bytes),
                          QString::number(record.blockCount), QString::number(record.firstBlock),
                          record.Written() ? Yes(record.incomplete == 0) : QString(), IncompleteWords(record),
                          duplicate, RecordDateText(record), record.from});
    }
    return csv;
}

}  // namespace tolvan
