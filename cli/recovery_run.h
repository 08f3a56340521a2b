// One recovery through the engine's C interface, with its log, report and
// progress display.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "csv.h"
#include "options.h"
#include "progress_line.h"
#include "varrow.h"

namespace varrow::cli {

// Where a run's log and report go.
struct RunOutputs {
    std::ostream* log = nullptr;         // the recovery log
    bool logIsTerminal = false;          // control characters are shown escaped
    // The engine's report cells as rows, when there are no records to make
    // rows from; may be null.
    CsvWriter* cellReport = nullptr;
    std::FILE* progress = nullptr;       // the terminal of the progress line; may be null
    // Receives every message record as it comes.
    std::function<void(const VarrowMessageRecord&)> onRecord;
};

class RecoveryRun {
public:
    RecoveryRun(const CommandLine& commandLine, const RunOutputs& outputs, uint64_t sourceSize);

    // Runs the recovery; returns the engine's result.
    int32_t Execute();

    int errorCount() const { return errorCount_; }
    // Messages reported by the engine's report cells (written or not).
    uint64_t messageCount() const;
    bool stopped() const { return stopped_; }
    // The engine's totals, when it sent them.
    const std::optional<VarrowTotals>& totals() const { return totals_; }

private:
    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData);
    int32_t OnEvent(int32_t code, const void* data);
    void LogLine(const std::string& line);
    void ShowProgress(bool force);
    void ClearProgress();

    void AddReportCell(const char* text);

    const CommandLine& commandLine_;
    std::ostream& log_;
    bool escapeLog_;
    CsvWriter* cellReport_;
    std::function<void(const VarrowMessageRecord&)> onRecord_;
    std::optional<VarrowTotals> totals_;
    std::FILE* progress_;
    ProgressState state_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool progressShown_ = false;
    uint64_t questions_ = 0;
    int errorCount_ = 0;
    bool stopped_ = false;
    int32_t columns_ = 0;
    std::vector<std::string> pendingRow_;
    uint64_t rows_ = 0;  // report rows complete, the column titles included
};

}  // namespace varrow::cli
