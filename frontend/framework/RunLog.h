// The lines the window itself writes into the recovery log around the
// engine's own: where a single run begins, what it reads and where it
// writes, and how long it took.
#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

namespace tolvan {

// The line that ends the log of a run that never reached the engine.
inline constexpr char kRunAbortedLine[] = "Recovery process is aborted.";
// Logged when the user goes on with an output folder on the scanned disk.
inline constexpr char kOutputOnSourceLine[] =
    "Warning: the output folder lies on the drive or disk being scanned.";

// "Start recovery process ..." and the separator.
QStringList OpeningLines();

// The source with its size, the output folder, the linking mode (when
// there is one), what is wrong with the source (when something is), and
// the separator after them.
QStringList SourceLines(const QString& source, uint64_t sourceBytes, const QString& destination,
                        const QString& mode, const QString& problem);

// Once the engine has returned: the consumed time framed by separators,
// "Recovery process completes." and a separator.
QStringList ClosingLines(int64_t elapsedMs);

}  // namespace tolvan
