#include "recovery_run.h"

#include <csignal>
#include <cstring>

namespace varrow::cli {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

const char* const kSeparator = "--------------------------------------------------------";
const char* const kStoreAwareMode = "Linking: store by store";
const char* const kClassicMode = "Linking: by block offset across the source";
// The engine asks whether to stop once per this many scanned bytes.
constexpr uint64_t kBytesPerQuestion = 10000;

}  // namespace

void RequestStop() { g_stopRequested = 1; }

RecoveryRun::RecoveryRun(const CommandLine& commandLine, std::ostream& log, std::FILE* progress,
                         uint64_t sourceSize)
    : commandLine_(commandLine), log_(log), progress_(progress) {
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

uint64_t RecoveryRun::messageCount() const {
    if (columns_ <= 0 || cells_.size() < static_cast<size_t>(columns_)) return 0;
    return cells_.size() / static_cast<size_t>(columns_) - 1;
}

std::vector<std::vector<std::string>> RecoveryRun::ReportRows() const {
    std::vector<std::vector<std::string>> rows;
    if (columns_ <= 0) return rows;
    const auto width = static_cast<size_t>(columns_);
    for (size_t start = 0; start + width <= cells_.size(); start += width) {
        rows.emplace_back(cells_.begin() + static_cast<ptrdiff_t>(start),
                          cells_.begin() + static_cast<ptrdiff_t>(start + width));
    }
    return rows;
}

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
            if (g_stopRequested) {
                stopped_ = true;
                return 1;
            }
            return 0;
        case EV_LOG: {
            state_.writing = true;
            const char* text = static_cast<const char*>(data);
            LogLine(std::strcmp(text, "-") == 0 ? kSeparator : text);
            break;
        }
        case EV_ERROR:
            ++errorCount_;
            LogLine(kSeparator);
            LogLine(static_cast<const char*>(data));
            LogLine(kSeparator);
            break;
        case EV_REPORT_COLUMNS:
            columns_ = *static_cast<const int32_t*>(data);
            break;
        case EV_REPORT_CELL:
            cells_.emplace_back(static_cast<const char*>(data));
            state_.messagesWritten = messageCount();
            break;
        case EV_ALERT:
            ClearProgress();
            std::fprintf(stderr, "varrow: %s\n", static_cast<const char*>(data));
            break;
        default:
            break;
    }
    return 0;
}

void RecoveryRun::LogLine(const std::string& line) {
    ClearProgress();
    log_ << line << '\n';
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
