#include "RunOutcome.h"

namespace tolvan {

namespace {

const char kStopText[] = "User aborts the recovery process";

QString Count(uint64_t value) { return QString::number(value); }

// "25 complete, 5 incomplete"; messages that are only uncertain where a
// continuation was chosen are told apart from the rest of the incomplete
// ones, as the report's Complete column tells them: "25 complete, 2
// incomplete, 3 uncertain".
QString Completeness(const TRunTotals& totals) {
    const uint64_t uncertain = qMin(totals.uncertain, totals.incomplete);
    QString text = QStringLiteral("%1 complete, %2 incomplete")
                       .arg(Count(totals.complete), Count(totals.incomplete - uncertain));
    if (uncertain != 0) text += QStringLiteral(", %1 uncertain").arg(Count(uncertain));
    return text;
}

}  // namespace

TRunOutcome ClassifyRun(bool engineSuccess, bool stopped, bool sourceEmpty,
                        const TRunTotals& totals) {
    TRunOutcome outcome;
    outcome.totals = totals;
    if (totals.written > 0) {
        if (stopped)
            outcome.kind = TOutcomeKind::Aborted;
        else if (totals.failed > 0 || totals.sourceFailed || !engineSuccess)
            outcome.kind = TOutcomeKind::Partial;
        else
            outcome.kind = TOutcomeKind::Success;
        return outcome;
    }
    // Nothing written: a failure, whatever the engine returned.
    outcome.kind = TOutcomeKind::Failure;
    if (stopped)
        outcome.reason = TFailureReason::StoppedBeforeAny;
    else if (sourceEmpty)
        outcome.reason = TFailureReason::SourceEmpty;
    else if (totals.sourceFailed)
        outcome.reason = TFailureReason::SourceUnreadable;
    else if (totals.failed > 0)
        outcome.reason = TFailureReason::EveryCopyFailed;
    else if (totals.empty > 0)
        outcome.reason = TFailureReason::SourceUnreadable;
    else if (totals.found > 0)
        outcome.reason = TFailureReason::EveryCopyFailed;
    else if (totals.engineError)
        outcome.reason = TFailureReason::EngineFailed;
    else
        outcome.reason = TFailureReason::NothingFound;
    return outcome;
}

QString FailureText(const QString& source, TFailureReason reason, const TRunTotals& totals) {
    QString why;
    switch (reason) {
        case TFailureReason::SourceEmpty:
            why = QStringLiteral("The source is empty: it holds no data to scan.");
            break;
        case TFailureReason::SourceUnreadable:
            why = QStringLiteral("The source could not be read.");
            if (totals.unreadableSectors > 0)
                why += QStringLiteral(" %1 sector(s) could not be read.")
                           .arg(Count(totals.unreadableSectors));
            break;
        case TFailureReason::NothingFound:
            why = QStringLiteral("No Outlook Express message was found on it.");
            break;
        case TFailureReason::EveryCopyFailed:
            why = QStringLiteral(
                      "%1 message(s) were found, but none could be written to the output folder.")
                      .arg(Count(totals.failed + totals.empty > 0 ? totals.failed + totals.empty
                                                                  : totals.found));
            break;
        case TFailureReason::StoppedBeforeAny:
            why = QStringLiteral("The recovery was stopped before any message was written.");
            break;
        case TFailureReason::EngineFailed:
            why = QStringLiteral("The recovery log tells why.");
            break;
        case TFailureReason::None: break;
    }
    QString text = QStringLiteral("Fail to recover Outlook Express data from '%1'!").arg(source);
    if (!why.isEmpty()) text += QLatin1Char(' ') + why;
    return text;
}

QStringList OutcomeLines(const TRunOutcome& outcome, const QString& source,
                         const QString& successText) {
    QStringList lines;
    const bool stopped =
        outcome.kind == TOutcomeKind::Aborted || outcome.reason == TFailureReason::StoppedBeforeAny;
    if (stopped) lines.append(QString::fromLatin1(kStopText));
    switch (outcome.kind) {
        case TOutcomeKind::Success:
        case TOutcomeKind::Partial: lines.append(successText); break;
        case TOutcomeKind::Failure:
            lines.append(FailureText(source, outcome.reason, outcome.totals));
            break;
        case TOutcomeKind::Aborted: break;
    }
    const TRunTotals& totals = outcome.totals;
    if (totals.found > 0 || totals.written > 0 || totals.failed > 0)
        lines.append(TotalsSentence(totals));
    return lines;
}

QString TotalsSentence(const TRunTotals& totals) {
    QString text = QStringLiteral("%1 message(s) written").arg(Count(totals.written));
    if (totals.fromRecords) {
        text +=
            QStringLiteral(
                " (%1); %2 identical copy(ies) not written again")
                .arg(Completeness(totals), Count(totals.duplicates));
    }
    text += QStringLiteral("; %1 could not be written").arg(Count(totals.failed));
    if (totals.empty > 0) text += QStringLiteral("; %1 could not be read").arg(Count(totals.empty));
    return text + QLatin1Char('.');
}

QString ReportTitle(const QString& source, const TRunTotals& totals) {
    QString text =
        QStringLiteral("%1 message(s) from '%2' written").arg(Count(totals.written), source);
    if (totals.fromRecords) {
        const uint64_t uncertain = qMin(totals.uncertain, totals.incomplete);
        QString counts = QStringLiteral("%1 incomplete").arg(Count(totals.incomplete - uncertain));
        if (uncertain != 0) counts += QStringLiteral(", %1 uncertain").arg(Count(uncertain));
        text += QStringLiteral(" (%1); %2 identical copy(ies) not written again")
                    .arg(counts, Count(totals.duplicates));
    }
    text += QStringLiteral("; %1 could not be written").arg(Count(totals.failed + totals.empty));
    return text + QLatin1Char(':');
}

QStringList TotalsLines(const TRunTotals& totals) {
    QStringList lines{QStringLiteral("Totals:"),
                      QStringLiteral("Messages found: %1").arg(Count(totals.found))};
    if (totals.fromRecords) {
        lines.append(
            QStringLiteral("Messages written: %1 (%2)").arg(Count(totals.written), Completeness(totals)));
        lines.append(
            QStringLiteral("Identical copies not written again: %1").arg(Count(totals.duplicates)));
    } else {
        lines.append(QStringLiteral("Messages written: %1").arg(Count(totals.written)));
    }
    lines.append(
        QStringLiteral("Messages that could not be written: %1").arg(Count(totals.failed)));
    if (totals.fromRecords) {
        lines.append(
            QStringLiteral("Messages of which nothing could be read: %1").arg(Count(totals.empty)));
        lines.append(QStringLiteral("Unreadable sectors: %1").arg(Count(totals.unreadableSectors)));
    }
    return lines;
}

QString BatchStatusText(const TRunOutcome& outcome, bool stopped) {
    if (stopped) return QString::fromLatin1(kStatusAborted);
    switch (outcome.kind) {
        case TOutcomeKind::Success: return QString::fromLatin1(kStatusSuccessful);
        case TOutcomeKind::Partial: return QString::fromLatin1(kStatusPartly);
        case TOutcomeKind::Aborted: return QString::fromLatin1(kStatusAborted);
        case TOutcomeKind::Failure: break;
    }
    return QString::fromLatin1(kStatusFailed);
}

void TBatchCounts::Add(const TRunOutcome& outcome, bool stopped) {
    if (stopped || outcome.kind == TOutcomeKind::Aborted)
        ++aborted;
    else if (outcome.kind == TOutcomeKind::Success)
        ++successful;
    else if (outcome.kind == TOutcomeKind::Partial)
        ++partly;
    else
        ++failed;
}

QString BatchCountText(const TBatchCounts& counts) {
    QString text =
        QString::asprintf("%d drive(s) or disk(s) recovered successfully", counts.successful);
    if (counts.partly > 0) text += QStringLiteral("; %1 partly recovered").arg(counts.partly);
    if (counts.failed > 0) text += QStringLiteral("; %1 failed").arg(counts.failed);
    if (counts.aborted > 0) text += QStringLiteral("; %1 aborted").arg(counts.aborted);
    return text;
}

int ExitStatusOf(const TRunOutcome& outcome) {
    switch (outcome.kind) {
        case TOutcomeKind::Success: return 0;
        case TOutcomeKind::Partial:
        case TOutcomeKind::Aborted: return 3;
        case TOutcomeKind::Failure: break;
    }
    return 1;
}

}  // namespace tolvan
