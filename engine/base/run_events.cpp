#include "base/run_events.h"

#include <cstdarg>
#include <new>

#include "base/messages.h"

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

void RunEvents::NotifyString(int32_t code, const std::string& text) { Notify(code, text.c_str()); }

void RunEvents::NotifyText(int32_t code, unsigned textId, ...) {
    va_list args;
    va_start(args, textId);
    const std::string text = FormatTextV(EngineText(textId), args);
    va_end(args);
    NotifyString(code, text);
}

void RunEvents::NotifyFormat(int32_t code, const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    const std::string text = FormatTextV(pattern, args);
    va_end(args);
    NotifyString(code, text);
}

void RunEvents::NotifyProgress(uint8_t percent) { Notify(EV_PROGRESS, &percent); }

bool RunEvents::QueryAbort() {
    if (watch_) watch_();
    const bool stop = Notify(EV_QUERY_ABORT, nullptr) != 0;
    if (stop) stopped_ = true;
    return stop;
}

void ReportCurrentException(RunEvents& events) {
    try {
        throw;
    } catch (const CException& error) {
        events.NotifyString(EV_ERROR, DescribeError(kTextGeneralError, error));
    } catch (const std::bad_alloc&) {
        events.NotifyString(EV_ERROR, DescribeError(kTextGeneralError, CMemoryException()));
    } catch (...) {
        events.NotifyText(EV_ERROR, kTextUnknownError);
    }
}

std::string DescribeError(unsigned textId, const CException& exception) {
    std::string description;
    if (!exception.GetErrorMessage(description, 4095)) description = "No error message is available.";
    return ReplacePlaceholder(EngineText(textId), description);
}

}  // namespace varrow
