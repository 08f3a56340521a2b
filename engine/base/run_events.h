// What the stages of a recovery see of the run they belong to: its options,
// the events they send to the front end, and the question whether to stop.
// The session implements it; the passes take it instead of the session.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/exceptions.h"
#include "varrow.h"

namespace varrow {

// The options word unpacked: bit 0 and the limit in bits 16..31, and our
// own behaviours in bits 1..15 (all off: the engine as it always was).
struct RecoveryOptions {
    int32_t useNewFolder = 0;
    uint16_t maxPerFolder = 10000;
    // Link blocks store by store (StoreAwareLinker) instead of by offset
    // alone (ClassicLinker).
    bool storeAware = false;
    // Send a record for every handled copy and the run's totals.
    bool records = false;
    // Do not write a copy again whose bytes were written already.
    bool skipIdentical = false;
    // Write no file for a copy of which nothing could be read, and end the
    // run when the source stops answering.
    bool sourceHealth = false;
    // Name files after the decoded Subject: field.
    bool readableNames = false;
    // Date each file by its Date: field.
    bool fileDates = false;
    // Read disk image files as the media they hold, and log the source's
    // format and size.
    bool imageFormats = false;
};

RecoveryOptions UnpackOptions(uint32_t options);

class RunEvents {
public:
    virtual ~RunEvents() = default;

    // Sends one event; returns the front end's answer, or 0.
    int32_t Notify(int32_t code, const void* data) { return Send(code, data); }
    void NotifyString(int32_t code, const std::string& text);
    // Fills the text of the message table printf-style and sends it.
    void NotifyText(int32_t code, unsigned textId, ...);
    // Fills a printf-style pattern and sends it.
    void NotifyFormat(int32_t code, const char* pattern, ...) __attribute__((format(printf, 3, 4)));
    void NotifyProgress(uint8_t percent);
    // Asks the front end whether to stop; without a callback the answer is
    // always "go on".
    bool QueryAbort();

    const RecoveryOptions& Options() const { return options_; }
    // Whether the front end answered "stop" to a question of this run.
    bool Stopped() const { return stopped_; }
    // Runs watch at every question to the front end, before it is asked; a
    // watch may end the pass by raising.
    void WatchQuestions(std::function<void()> watch) { watch_ = std::move(watch); }

protected:
    // Hands the event to the front end.
    virtual int32_t Send(int32_t code, const void* data) = 0;
    void SetOptions(const RecoveryOptions& options) { options_ = options; }

private:
    RecoveryOptions options_;
    bool stopped_ = false;
    std::function<void()> watch_;
};

// Reports the exception being handled as EV_ERROR: text 10 with the
// description of a CException (or of running out of memory), text 11 for
// anything else. Call only from inside a catch block.
void ReportCurrentException(RunEvents& events);

// The text of textId with "%1" replaced by the exception's description, or
// by "No error message is available." when it has none.
std::string DescribeError(unsigned textId, const CException& exception);

}  // namespace varrow
