#include "assembly/assembly.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "assembly/completeness.h"
#include "assembly/identical_copies.h"
#include "assembly/message_file.h"
#include "assembly/message_records.h"
#include "base/exceptions.h"
#include "base/file_exception.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/run_events.h"
#include "link/block_index.h"
#include "link/chain_trace.h"
#include "link/linking.h"
#include "output/message_headers.h"
#include "output/naming.h"
#include "output/outfolders.h"
#include "output/output_folder.h"
#include "platform/os.h"
#include "scan/fast_scan.h"
#include "source/file64.h"
#include "source/source_health.h"

namespace varrow {

namespace {

constexpr uint32_t kTempFileFlags =
    CFile64::modeCreate | CFile64::modeWrite | CFile64::shareExclusive | CFile64::typeBinary;

// Removes a temporary message file when its copy ends early.
class TempFileGuard {
public:
    explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
    ~TempFileGuard() {
        if (path_.empty()) return;
        long ignored = 0;
        platform::CurrentOs().DeleteFile(path_, &ignored);
    }

private:
    std::string path_;
};

// The start of a message, where its header lies: what was kept of it, or
// the first bytes of its file.
struct MessageStart {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    std::vector<uint8_t> read;  // holds them when they came from the file
};

MessageStart StartOf(const std::vector<uint8_t>* content, const std::string& tempPath) {
    MessageStart start;
    if (content) {
        start.bytes = content->data();
        start.size = std::min(content->size(), kHeaderSectionBytes);
        return start;
    }
    std::vector<uint8_t> bytes(kHeaderSectionBytes);
    CFile64 file;
    uint32_t got = 0;
    try {
        if (file.Open(tempPath, CFile64::modeRead | CFile64::shareDenyWrite | CFile64::typeBinary, nullptr)) {
            got = file.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
        }
    } catch (...) {
        got = 0;
    }
    bytes.resize(got);
    start.read = std::move(bytes);
    start.bytes = start.read.data();
    start.size = start.read.size();
    return start;
}

// Whether no byte of a copy came from the source: it is empty, or all its
// bytes are the zeros that stand for sectors that could not be read.
bool NothingRead(uint64_t size, const std::vector<uint8_t>* content, const ChainTrace& trace) {
    if (size == 0) return true;
    if (!trace.unreadable || !content) return false;
    return std::all_of(content->begin(), content->end(), [](uint8_t byte) { return byte == 0; });
}

// Handles the copies of the messages one by one: assembles each in a
// temporary file, names it after its subject, places it in the output
// folder and reports it.
class CopyExtractor {
public:
    CopyExtractor(RunEvents& events, RunTotals& totals, CFile64Ex& source, MessageLinker& linker,
                  const std::string& destination, SourceHealth* health)
        : events_(events),
          totals_(totals),
          options_(events.Options()),
          source_(source),
          linker_(linker),
          folder_(destination),
          health_(health) {}

    void Extract(uint32_t headOffset, uint64_t headPosition, uint32_t number, uint32_t copy);

private:
    // Counts the copy and, with records on, tells the front end about it.
    void Finish(const CopyOutcome& outcome);
    void LogMessage(uint32_t number, const std::string& subject, uint64_t size, const std::string& note);

    RunEvents& events_;
    RunTotals& totals_;
    const RecoveryOptions& options_;
    CFile64Ex& source_;
    MessageLinker& linker_;
    OutputFolder folder_;
    SourceHealth* health_;
    IdenticalCopies identical_;
};

void CopyExtractor::Finish(const CopyOutcome& outcome) {
    totals_.Count(outcome);
    if (options_.records) SendMessageRecord(events_, outcome);
}

void CopyExtractor::LogMessage(uint32_t number, const std::string& subject, uint64_t size,
                               const std::string& note) {
    events_.NotifyText(EV_LOG, kTextStartMessage, number);
    events_.NotifyString(EV_LOG, "Collect detailed information ...");
    events_.NotifyString(EV_LOG, "Message subject: " + subject);
    events_.NotifyText(EV_LOG, kTextMessageSize, static_cast<unsigned long>(size));
    if (!note.empty()) events_.NotifyString(EV_LOG, note);
    events_.NotifyText(EV_LOG, kTextFinishMessage, number);
    events_.NotifyString(EV_LOG, "-");
}

void CopyExtractor::Extract(uint32_t headOffset, uint64_t headPosition, uint32_t number, uint32_t copy) {
    CopyOutcome outcome;
    outcome.number = number;
    outcome.copy = copy;
    outcome.outcome = VARROW_COPY_FAILED;

    const std::string tempPath = MakeTempFileName();
    MessageFile temp;
    if (!temp.Open(tempPath, kTempFileFlags, nullptr)) {
        events_.NotifyText(EV_ERROR, kTextCannotCreateTemp);
        Finish(outcome);
        return;
    }
    TempFileGuard guard(tempPath);
    ChainTrace trace;
    outcome.trace = &trace;
    uint32_t size = 0;
    try {
        linker_.WriteChain(source_, headOffset, headPosition, temp, trace);
        size = static_cast<uint32_t>(temp.GetLength());
        temp.Close();
    } catch (const CFileException&) {
        // The temporary file could not take the message (a full or failing
        // disk): this copy is lost, the next one may fit.
        temp.Abort();
        events_.NotifyText(EV_ERROR, kTextCannotCreateTemp);
        Finish(outcome);
        return;
    }
    outcome.bytes = size;
    // What was written is at hand unless the message was too long to keep.
    const std::vector<uint8_t>* content = temp.Content();
    const MessageStart start = StartOf(content, tempPath);
    outcome.startsWithHeader = StartsWithHeaderLine(start.bytes, start.size);

    if (health_) {
        const bool nothingRead = NothingRead(size, content, trace);
        if (nothingRead) {
            events_.NotifyFormat(EV_LOG, "Message No.%lu: nothing of it could be read from the source; "
                                          "no file was written.",
                                  static_cast<unsigned long>(number));
            events_.NotifyString(EV_LOG, "-");
            outcome.outcome = VARROW_COPY_EMPTY;
            Finish(outcome);
        }
        // May end the run when the source has stopped answering.
        health_->AfterCopy(nothingRead);
        if (nothingRead) return;
    }

    outcome.subject = content ? ReadMessageSubject(*content, number) : ReadMessageSubject(tempPath, number);
    MessageHeaders headers;
    if (options_.readableNames || options_.fileDates || options_.records) {
        headers = ReadMessageHeaders(start.bytes, start.size);
        outcome.from = headers.from;
        outcome.hasDate = headers.date.has_value();
        outcome.date = headers.date.value_or(0);
    }
    if (options_.readableNames) outcome.subject = ReadableSubject(headers, outcome.subject, number);
    const MessageBytes bytes{content, tempPath, size};
    size_t hash = 0;
    if (options_.skipIdentical) {
        hash = IdenticalCopies::HashOf(bytes);
        if (const auto earlier = identical_.Find(bytes, hash)) {
            LogMessage(number, outcome.subject, size,
                       FormatText("Identical to message No.%lu (copy %lu), written as %s; not written again.",
                                  static_cast<unsigned long>(earlier->number),
                                  static_cast<unsigned long>(earlier->copy), earlier->path.c_str()));
            outcome.outcome = VARROW_COPY_DUPLICATE;
            outcome.duplicateOfNumber = earlier->number;
            outcome.duplicateOfCopy = earlier->copy;
            Finish(outcome);
            return;
        }
    }

    folder_.RollOverIfFull(events_);
    LogMessage(number, outcome.subject, size, {});
    const TitleStyle style = options_.readableNames ? TitleStyle::Readable : TitleStyle::AsItStands;
    outcome.path = folder_.Place(outcome.subject, number, style, content, tempPath);
    // The file carries the time the message was sent, not the recovery's.
    if (options_.fileDates && headers.date && !outcome.path.empty()) {
        platform::CurrentOs().SetFileTimesIn(folder_.Current().handle, GetPathFileName(outcome.path), *headers.date);
    }
    if (outcome.path.empty()) events_.NotifyText(EV_ERROR, kTextCannotCreateMessage);
    events_.NotifyFormat(EV_REPORT_CELL, "%lu", static_cast<unsigned long>(number));
    events_.NotifyString(EV_REPORT_CELL, outcome.subject);
    folder_.CountMessage();
    if (!outcome.path.empty()) {
        outcome.outcome = VARROW_COPY_WRITTEN;
        if (options_.skipIdentical) identical_.Remember(hash, {number, copy, outcome.path});
    }
    Finish(outcome);
}

}  // namespace

void ExtractMessages(RunEvents& events, RunTotals& totals, CFile64Ex& source, MessageLinker& linker,
                     const std::string& destination, size_t* headCount, SourceHealth* health) {
    const std::vector<uint32_t> heads = linker.HeadOffsets();
    *headCount = heads.size();
    totals.headsFound = heads.size();
    CopyExtractor extractor(events, totals, source, linker, destination, health);
    uint32_t number = 1;
    for (const uint32_t headOffset : heads) {
        if (events.QueryAbort()) return;
        const PositionList& positions = linker.HeadPositions(headOffset);
        for (size_t copy = 0; copy < positions.size(); ++copy) {
            extractor.Extract(headOffset, positions[copy], number, static_cast<uint32_t>(copy + 1));
        }
        events.NotifyProgress(static_cast<uint8_t>(50.0 + number * 50.0 / heads.size()));
        ++number;
    }
}

int32_t RunPasses(RunEvents& events, RunTotals& totals, MessageLinker& linker, CFile64Ex& source,
                  const std::string& destination) {
    size_t headCount = 0;
    std::optional<SourceHealth> health;
    bool sourceReported = false;
    try {
        if (events.Options().sourceHealth) {
            health.emplace(source);
            events.WatchQuestions([&health] { health->CheckScan(); });
        }
        ScanBlocksFast(events, source, linker.Collector());
        if (health && !events.Stopped()) {
            if (const auto shrank = health->ShrankDuringScan()) {
                events.NotifyString(EV_ERROR, DescribeError(kTextGeneralError, *shrank));
                totals.sourceFailed = true;
                sourceReported = true;
            }
        }
        linker.ValidateHeads(events, source);
        ExtractMessages(events, totals, source, linker, destination, &headCount, health ? &*health : nullptr);
    } catch (const CSourceGoneException&) {
        totals.sourceFailed = true;
        // Once is enough: the scan may have said already that the source shrank.
        if (!sourceReported) ReportCurrentException(events);
    } catch (...) {
        ReportCurrentException(events);
    }
    events.WatchQuestions(nullptr);
    totals.unreadableSectors = source.Failures().Sectors(source.SectorSize());
    return headCount >= 1 ? 1 : 0;
}

}  // namespace varrow
