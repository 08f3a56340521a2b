// One recovery through the engine's C interface, with its log, report and
// progress display.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "options.h"
#include "progress_line.h"
#include "varrow.h"

namespace varrow::cli {

// Set from the signal handler: answer the next stop question with "stop".
void RequestStop();

class RecoveryRun {
public:
    // log receives the recovery log; progress, when not null, is the
    // terminal that shows the progress line.
    RecoveryRun(const CommandLine& commandLine, std::ostream& log, std::FILE* progress,
                uint64_t sourceSize);

    // Runs the recovery; returns the engine's result.
    int32_t Execute();

    int errorCount() const { return errorCount_; }
    uint64_t messageCount() const;
    bool stopped() const { return stopped_; }
    // The report: column titles first, then one row per message.
    std::vector<std::vector<std::string>> ReportRows() const;

private:
    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData);
    int32_t OnEvent(int32_t code, const void* data);
    void LogLine(const std::string& line);
    void ShowProgress(bool force);
    void ClearProgress();

    const CommandLine& commandLine_;
    std::ostream& log_;
    std::FILE* progress_;
    ProgressState state_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool progressShown_ = false;
    uint64_t questions_ = 0;
    int errorCount_ = 0;
    bool stopped_ = false;
    int32_t columns_ = 0;
    std::vector<std::string> cells_;
};

}  // namespace varrow::cli
