// How a recovery ended, told honestly: a run that wrote nothing is a
// failure, whatever the engine returned, and says why; a run that wrote
// some messages but not all is partly successful. The texts of the log,
// the message boxes, the summary, the batch statuses and the exit status
// of an unattended run all come from here.
#pragma once

#include <QString>
#include <QStringList>

#include "RunTally.h"

namespace tolvan {

// The statuses of a batch row.
inline constexpr char kStatusNotRecovered[] = "Not Recovered";
inline constexpr char kStatusSuccessful[] = "Successful";
inline constexpr char kStatusPartly[] = "Partly recovered";
inline constexpr char kStatusFailed[] = "Failed";
inline constexpr char kStatusAborted[] = "Aborted";

enum class TOutcomeKind {
    Success,  // every copy found was written (identical copies aside)
    Partial,  // some written, some could not be
    Failure,  // nothing written
    Aborted,  // stopped by the user after some messages were written
};

enum class TFailureReason {
    None,
    SourceEmpty,       // the source holds no bytes
    SourceUnreadable,  // it could not be opened, or stopped answering
    NothingFound,      // the scan found no message
    EveryCopyFailed,   // messages were found, none could be written
    StoppedBeforeAny,  // the user stopped before any message was written
    EngineFailed,      // the engine failed for another reason (see the log)
};

struct TRunOutcome {
    TOutcomeKind kind = TOutcomeKind::Failure;
    TFailureReason reason = TFailureReason::None;
    TRunTotals totals;
};

// engineSuccess: the engine's result; stopped: the user asked to stop;
// sourceEmpty: the source was found to hold no bytes before the run.
TRunOutcome ClassifyRun(bool engineSuccess, bool stopped, bool sourceEmpty,
                        const TRunTotals& totals);

// "Fail to recover Outlook Express data from '%s'!" and the reason.
QString FailureText(const QString& source, TFailureReason reason, const TRunTotals& totals);

// What the log ends with and what the message box or the summary dialog
// says, one text per line: the outcome (successText for a run that wrote
// messages and was not stopped, the stop text after a stop, otherwise the
// failure text), then the run's figures when it found anything.
QStringList OutcomeLines(const TRunOutcome& outcome, const QString& source,
                         const QString& successText);

// One sentence with the run's figures: "336 message(s) written (320
// complete, 16 incomplete); 24 identical copies not written again; 0
// could not be written."
QString TotalsSentence(const TRunTotals& totals);

// The title of the report window.
QString ReportTitle(const QString& source, const TRunTotals& totals);

// The lines that end a saved log.
QStringList TotalsLines(const TRunTotals& totals);

// The batch page's status of a row: "Successful", "Partly recovered",
// "Failed" or "Aborted" (a stopped row, whatever it wrote).
QString BatchStatusText(const TRunOutcome& outcome, bool stopped);

// How the rows of a batch run ended.
struct TBatchCounts {
    int successful = 0;
    int partly = 0;
    int failed = 0;
    int aborted = 0;
    void Add(const TRunOutcome& outcome, bool stopped);
};

// "%d drive(s) or disk(s) recovered successfully", followed by the rows
// that were partly recovered, failed or were stopped, when there are any.
QString BatchCountText(const TBatchCounts& counts);

// The exit status of an unattended run: 0 success, 3 partly (some
// messages written, some not, or stopped after some), 1 failure.
int ExitStatusOf(const TRunOutcome& outcome);

}  // namespace tolvan
