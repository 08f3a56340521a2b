// One recovery through the engine's C interface, with its log, report and
// progress display.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
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
    CsvWriter* report = nullptr;         // rows as they come; may be null
    std::FILE* progress = nullptr;       // the terminal of the progress line; may be null
};

class RecoveryRun {
public:
    RecoveryRun(const CommandLine& commandLine, const RunOutputs& outputs, uint64_t sourceSize);

    // Runs the recovery; returns the engine's result.
    int32_t Execute();

    int errorCount() const { return errorCount_; }
    uint64_t messageCount() const;
    bool stopped() const { return stopped_; }

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
    CsvWriter* report_;
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
