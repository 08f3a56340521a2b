#include "assembly.h"

#include <memory>

#include "block_index.h"
#include "chain_trace.h"
#include "classic_linking.h"
#include "fast_scan.h"
#include "file64.h"
#include "message_file.h"
#include "messages.h"
#include "naming.h"
#include "outfolders.h"
#include "paths.h"
#include "platform/os.h"
#include "scan.h"
#include "session.h"
#include "store_aware_linking.h"

namespace varrow {

namespace {

constexpr uint32_t kTempFileFlags =
    CFile64::modeCreate | CFile64::modeWrite | CFile64::shareExclusive | CFile64::typeBinary;

// Removes a temporary message file when an exception leaves its copy
// unfinished.
class TempFileGuard {
public:
    explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
    ~TempFileGuard() {
        if (path_.empty()) return;
        long ignored = 0;
        platform::CurrentOs().DeleteFile(path_, &ignored);
    }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

// The folder that receives messages, and how many entries it holds.
struct OutputFolder {
    std::string destination;
    std::string current;
    uint32_t fileCount = 0;
};

// A name that is taken by a symbolic link (which would lead messages out of
// the output folder) or by something other than a folder is passed over.
bool UsableSubfolder(platform::Os& os, const std::string& path) {
    if (os.IsSymbolicLink(path)) return false;
    return !os.Exists(path) || os.IsDirectory(path);
}

void RollOverIfFull(RecoverySession& session, OutputFolder& folder) {
    const RecoveryOptions& options = session.Options();
    if (!options.useNewFolder || folder.fileCount < options.maxPerFolder) return;
    platform::Os& os = platform::CurrentOs();
    std::string name;
    do {
        name = NextSubfolderName();
        folder.current = AddTrailingBackslash(folder.destination) + name;
    } while (!UsableSubfolder(os, folder.current));
    long ignored = 0;
    os.CreateDirectory(folder.current, &ignored);
    folder.fileCount = CountFolderEntries(folder.current);
    session.NotifyText(EV_LOG, kTextFolderLimitReached, static_cast<unsigned long>(options.maxPerFolder));
    session.NotifyText(EV_LOG, kTextNewSubfolder, name.c_str(), folder.destination.c_str());
    session.NotifyString(EV_LOG, "-");
}

void ExtractCopy(RecoverySession& session, CFile64Ex& source, MessageLinker& linker,
                 uint32_t headOffset, uint64_t headPosition, uint32_t number,
                 OutputFolder& folder) {
    const std::string tempPath = MakeTempFileName();
    MessageFile temp;
    if (!temp.Open(tempPath, kTempFileFlags, nullptr)) {
        session.NotifyText(EV_ERROR, kTextCannotCreateTemp);
        return;
    }
    TempFileGuard guard(tempPath);
    ChainTrace trace;
    linker.WriteChain(source, headOffset, headPosition, temp, trace);
    const auto size = static_cast<uint32_t>(temp.GetLength());
    temp.Close();

    RollOverIfFull(session, folder);
    // What was written is at hand unless the message was too long to keep.
    const std::vector<uint8_t>* content = temp.Content();
    const std::string subject =
        content ? ReadMessageSubject(*content, number) : ReadMessageSubject(tempPath, number);
    const std::string outputPath = BuildOutputPath(folder.current, subject, number);

    session.NotifyText(EV_LOG, kTextStartMessage, number);
    session.NotifyString(EV_LOG, "Collect detailed information ...");
    session.NotifyString(EV_LOG, "Message subject: " + subject);
    session.NotifyText(EV_LOG, kTextMessageSize, static_cast<unsigned long>(size));
    session.NotifyText(EV_LOG, kTextFinishMessage, number);
    session.NotifyString(EV_LOG, "-");

    platform::Os& os = platform::CurrentOs();
    long error = 0;
    const bool placed = content ? os.WriteNewContent(outputPath, content->data(), content->size(), &error)
                                : os.CopyFile(tempPath, outputPath, &error);
    if (!placed) session.NotifyText(EV_ERROR, kTextCannotCreateMessage);
    session.NotifyFormat(EV_REPORT_CELL, "%lu", static_cast<unsigned long>(number));
    session.NotifyString(EV_REPORT_CELL, subject);

    guard.Release();
    os.DeleteFile(tempPath, &error);
    ++folder.fileCount;
}

std::unique_ptr<MessageLinker> MakeLinker(RecoverySession& session) {
    if (session.Options().storeAware) return std::make_unique<StoreAwareLinker>();
    return std::make_unique<ClassicLinker>(session);
}

}  // namespace

void ExtractMessages(RecoverySession& session, CFile64Ex& source, MessageLinker& linker,
                     const std::string& destination, size_t* headCount) {
    const std::vector<uint32_t> heads = linker.HeadOffsets();
    *headCount = heads.size();
    OutputFolder folder{destination, destination, CountFolderEntries(destination)};
    uint32_t number = 1;
    for (const uint32_t headOffset : heads) {
        if (session.QueryAbort()) return;
        const PositionList& positions = linker.HeadPositions(headOffset);
        for (const uint64_t position : positions) {
            ExtractCopy(session, source, linker, headOffset, position, number, folder);
        }
        session.NotifyProgress(static_cast<uint8_t>(50.0 + number * 50.0 / heads.size()));
        ++number;
    }
}

int32_t RunPasses(RecoverySession& session, CFile64Ex& source, const std::string& destination) {
    size_t headCount = 0;
    try {
        const std::unique_ptr<MessageLinker> chosen = MakeLinker(session);
        MessageLinker& linker = *chosen;
        ScanBlocksFast(session, source, linker.Collector());
        linker.ValidateHeads(session, source);
        ExtractMessages(session, source, linker, destination, &headCount);
    } catch (...) {
        ReportCurrentException(session);
    }
    return headCount >= 1 ? 1 : 0;
}

}  // namespace varrow
