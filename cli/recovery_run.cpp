#include "recovery_run.h"

#include <algorithm>
#include <cstring>

#include "display.h"
#include "signals.h"

namespace varrow::cli {

namespace {

const char* const kSeparator = "--------------------------------------------------------";
const char* const kStoreAwareMode = "Linking: store by store";
const char* const kClassicMode = "Linking: by block offset across the source";
// The engine asks whether to stop once per this many scanned bytes.
constexpr uint64_t kBytesPerQuestion = 10000;

}  // namespace

RecoveryRun::RecoveryRun(const CommandLine& commandLine, const RunOutputs& outputs, uint64_t sourceSize)
    : commandLine_(commandLine),
      log_(*outputs.log),
      escapeLog_(outputs.logIsTerminal),
      cellReport_(outputs.cellReport),
      onRecord_(outputs.onRecord),
      progress_(outputs.progress) {
    state_.totalBytes = sourceSize;
}

int32_t RecoveryRun::Execute() {
    started_ = std::chrono::steady_clock::now();
    RecoveryParams params{};
    params.sourcePath = commandLine_.source.c_str();
    params.reserved = 0;
    params.options = EngineOptionsOf(commandLine_);
    LogLine((params.options & VARROW_OPTION_STORE_AWARE) ? kStoreAwareMode : kClassicMode);
    params.destFolder = commandLine_.outputFolder.c_str();
    params.callback = &RecoveryRun::Callback;
    params.userData = this;
    RecoveryParams masked;
    std::memcpy(&masked, &params, sizeof params);
    auto* bytes = reinterpret_cast<unsigned char*>(&masked);
    for (size_t i = 0; i < sizeof masked; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    const int32_t result = RecoverMessages(&masked);
    ClearProgress();
    log_.flush();
    return result;
}

uint64_t RecoveryRun::messageCount() const { return rows_ > 0 ? rows_ - 1 : 0; }

int32_t VARROW_CALL RecoveryRun::Callback(int32_t code, void* data, void* userData) {
    return static_cast<RecoveryRun*>(userData)->OnEvent(code, data);
}

int32_t RecoveryRun::OnEvent(int32_t code, const void* data) {
    switch (code) {
        case EV_PROGRESS:
            state_.percent = *static_cast<const uint8_t*>(data);
            if (state_.percent > 50) state_.writing = true;
            ShowProgress(state_.percent == 100);
            break;
        case EV_QUERY_ABORT:
            ++questions_;
            if (!state_.writing) {
                state_.bytesScanned = questions_ * kBytesPerQuestion;
                if (state_.totalBytes && state_.bytesScanned > state_.totalBytes) {
                    state_.bytesScanned = state_.totalBytes;
                }
            }
            if (SignalWatcher::StopRequested()) {
                stopped_ = true;
                return 1;
            }
            return 0;
        case EV_LOG: {
            state_.writing = true;
            const char* text = static_cast<const char*>(data);
            const bool separator = std::strcmp(text, "-") == 0;
            LogLine(separator ? kSeparator : text);
            // A separator ends a message's lines: what a killed run leaves
            // in its log ends there.
            if (separator) log_.flush();
            break;
        }
        case EV_ERROR:
            ++errorCount_;
            LogLine(kSeparator);
            LogLine(static_cast<const char*>(data));
            LogLine(kSeparator);
            log_.flush();
            break;
        case EV_REPORT_COLUMNS:
            columns_ = *static_cast<const int32_t*>(data);
            break;
        case EV_REPORT_CELL:
            AddReportCell(static_cast<const char*>(data));
            break;
        case EV_MESSAGE_RECORD: {
            const auto& record = *static_cast<const VarrowMessageRecord*>(data);
            if (record.outcome == VARROW_COPY_WRITTEN) ++state_.messagesWritten;
            if (onRecord_) onRecord_(record);
            break;
        }
        case EV_TOTALS: {
            VarrowTotals totals{};
            std::memcpy(&totals, data, std::min<size_t>(sizeof totals, static_cast<const VarrowTotals*>(data)->size));
            totals_ = totals;
            break;
        }
        case EV_ALERT:
            ClearProgress();
            std::fprintf(stderr, "varrow: %s\n", static_cast<const char*>(data));
            break;
        default:
            break;
    }
    return 0;
}

void RecoveryRun::AddReportCell(const char* text) {
    pendingRow_.emplace_back(text);
    if (columns_ > 0 && pendingRow_.size() == static_cast<size_t>(columns_)) {
        if (cellReport_) cellReport_->Row(pendingRow_);
        pendingRow_.clear();
        ++rows_;
        if (!(EngineOptionsOf(commandLine_) & VARROW_OPTION_RECORDS)) state_.messagesWritten = messageCount();
    }
}

void RecoveryRun::LogLine(const std::string& line) {
    ClearProgress();
    log_ << (escapeLog_ ? EscapeControls(line) : line) << '\n';
}

void RecoveryRun::ShowProgress(bool force) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && progressShown_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastDrawn_ = now;
    state_.elapsedSeconds = std::chrono::duration<double>(now - started_).count();
    log_.flush();
    std::fprintf(progress_, "\r\033[K%s", FormatProgressLine(state_).c_str());
    std::fflush(progress_);
    progressShown_ = true;
}

void RecoveryRun::ClearProgress() {
    if (!progress_ || !progressShown_) return;
    std::fprintf(progress_, "\r\033[K");
    std::fflush(progress_);
    progressShown_ = false;
}

}  // namespace varrow::cli
