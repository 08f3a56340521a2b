#include "RunLog.h"

#include "TolvanDuration.h"
#include "TolvanUtils.h"

namespace tolvan {

namespace {

QString Separator() { return QString::fromLatin1(kSeparatorLine); }

}  // namespace

QStringList OpeningLines() { return {QStringLiteral("Start recovery process ..."), Separator()}; }

QStringList SourceLines(const QString& source, uint64_t sourceBytes, const QString& destination,
                        const QString& mode, const QString& problem) {
    QStringList lines{QStringLiteral("Drive or disk to be recovered: '%1'; Total size = %2 bytes")
                          .arg(source, WholeNumberText(static_cast<qlonglong>(sourceBytes))),
                      QStringLiteral("Output recovered messages to: '%1'").arg(destination)};
    if (!mode.isEmpty()) lines.append(mode);
    if (!problem.isEmpty()) lines.append(problem);
    lines.append(Separator());
    return lines;
}

QStringList ClosingLines(int64_t elapsedMs) {
    return {Separator(), ConsumedTimeLine(elapsedMs), Separator(),
            QStringLiteral("Recovery process completes."), Separator()};
}

}  // namespace tolvan
