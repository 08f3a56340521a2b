#include "session.h"

#include <cstdarg>
#include <new>

#include "assembly.h"
#include "file64.h"
#include "messages.h"
#include "paths.h"
#include "platform/os.h"
#include "source_report.h"

namespace varrow {

RecoveryOptions UnpackOptions(uint32_t options) {
    RecoveryOptions unpacked;
    unpacked.useNewFolder = static_cast<int32_t>(options & VARROW_OPTION_NEW_FOLDER);
    unpacked.maxPerFolder = static_cast<uint16_t>(options >> 16);
    if (unpacked.maxPerFolder == 0) unpacked.maxPerFolder = 10000;
    unpacked.storeAware = (options & VARROW_OPTION_STORE_AWARE) != 0;
    unpacked.records = (options & VARROW_OPTION_RECORDS) != 0;
    unpacked.skipIdentical = (options & VARROW_OPTION_SKIP_IDENTICAL) != 0;
    unpacked.sourceHealth = (options & VARROW_OPTION_SOURCE_HEALTH) != 0;
    unpacked.readableNames = (options & VARROW_OPTION_READABLE_NAMES) != 0;
    unpacked.fileDates = (options & VARROW_OPTION_FILE_DATES) != 0;
    unpacked.imageFormats = (options & VARROW_OPTION_IMAGE_FORMATS) != 0;
    return unpacked;
}

RecoverySession::RecoverySession(EngineCallback callback, void* userData)
    : callback_(callback), userData_(userData) {}

RecoverySession::~RecoverySession() = default;

int32_t RecoverySession::Notify(int32_t code, const void* data) {
    if (!callback_) return 0;
    return callback_(code, const_cast<void*>(data), userData_);
}

void RecoverySession::NotifyString(int32_t code, const std::string& text) {
    Notify(code, text.c_str());
}

void RecoverySession::NotifyText(int32_t code, unsigned textId, ...) {
    va_list args;
    va_start(args, textId);
    const std::string text = FormatTextV(EngineText(textId), args);
    va_end(args);
    NotifyString(code, text);
}

void RecoverySession::NotifyFormat(int32_t code, const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    const std::string text = FormatTextV(pattern, args);
    va_end(args);
    NotifyString(code, text);
}

void RecoverySession::NotifyProgress(uint8_t percent) { Notify(EV_PROGRESS, &percent); }

bool RecoverySession::QueryAbort() {
    if (watch_) watch_();
    const bool stop = Notify(EV_QUERY_ABORT, nullptr) != 0;
    if (stop) stopped_ = true;
    return stop;
}

int32_t RecoverySession::Run(const char* sourcePath, int32_t /*reserved*/, uint32_t options,
                             const char* destFolder) {
    options_ = UnpackOptions(options);
    const std::string source = sourcePath ? sourcePath : "";
    const std::string destination = destFolder ? destFolder : "";

    const std::string absoluteDestination = GetFullPath(destination);
    if (absoluteDestination.empty()) {
        NotifyText(EV_ERROR, kTextInvalidDestination);
        NotifyText(EV_ALERT, kTextInvalidDestinationAlert, destination.c_str());
        return 0;
    }

    NotifyProgress(0);
    int32_t result = 0;
    try {
        Notify(EV_SOURCE, source.c_str());
        CFile64Ex file(4096);
        file.ReadImageFormats(options_.imageFormats);
        CFileException openError(CFileException::none, -1);
        if (!file.Open(source, CFile64::modeRead | CFile64::shareDenyNone | CFile64::typeBinary,
                       &openError)) {
            NotifyString(EV_ERROR, DescribeError(kTextCannotOpenSource, openError));
            if (openError.m_cause == CFileException::sharingViolation) {
                NotifyText(EV_ALERT, kTextShareViolation, openError.m_strFileName.c_str());
            }
        } else {
            const int32_t columns = 2;
            Notify(EV_REPORT_COLUMNS, &columns);
            NotifyString(EV_REPORT_CELL, "Message No.");
            NotifyString(EV_REPORT_CELL, "Subject");
            if (options_.imageFormats) {
                for (const std::string& line : DescribeSource(file)) NotifyString(EV_LOG, line);
            }
            result = RunPasses(*this, file, absoluteDestination);
            file.Close();
        }
    } catch (...) {
        ReportCurrentException(*this);
    }
    if (options_.records) SendTotals(*this, totals, stopped_);
    NotifyProgress(100);
    return result;
}

void ReportCurrentException(RecoverySession& session) {
    try {
        throw;
    } catch (const CException& error) {
        session.NotifyString(EV_ERROR, DescribeError(kTextGeneralError, error));
    } catch (const std::bad_alloc&) {
        session.NotifyString(EV_ERROR, DescribeError(kTextGeneralError, CMemoryException()));
    } catch (...) {
        session.NotifyText(EV_ERROR, kTextUnknownError);
    }
}

std::string GetFullPath(const std::string& path) {
    platform::Os& os = platform::CurrentOs();
    std::string absolute = os.FullPath(path);
    if (absolute.size() > os.MaxPathLength()) return {};
    return absolute;
}

std::string DescribeError(unsigned textId, const CException& exception) {
    std::string description;
    if (!exception.GetErrorMessage(description, 4095)) description = "No error message is available.";
    return ReplacePlaceholder(EngineText(textId), description);
}

}  // namespace varrow
