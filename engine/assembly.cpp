#include "assembly.h"

#include <memory>

#include "block_index.h"
#include "chain_trace.h"
#include "classic_linking.h"
#include "exceptions.h"
#include "fast_scan.h"
#include "file_exception.h"
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

// The folder that receives messages, and how many entries it holds. The
// destination stays open for the whole output; a rollover subfolder is
// opened once when output moves into it.
struct OutputFolder {
    std::string destination;
    FolderHandle destinationHandle;
    FolderHandle subfolderHandle;
    FolderRef current;
    uint32_t fileCount = 0;
};

// Names tried for a rollover subfolder before output goes on without one.
constexpr int kSubfolderAttempts = 1000;
// Times a message is named again when another program takes its name
// between the look-up and the placement.
constexpr int kPlacementAttempts = 64;

void RollOverIfFull(RecoverySession& session, OutputFolder& folder) {
    const RecoveryOptions& options = session.Options();
    if (!options.useNewFolder || folder.fileCount < options.maxPerFolder) return;
    platform::Os& os = platform::CurrentOs();
    const platform::Handle destination = folder.destinationHandle.Get();
    std::string name;
    FolderHandle subfolder;
    // A name that is taken by a link (which would lead messages out of the
    // output folder) or by something other than a folder is passed over.
    for (int attempt = 0; attempt < kSubfolderAttempts; ++attempt) {
        name = NextSubfolderName();
        subfolder = OpenRolloverFolder(destination, name);
        if (subfolder.Get() != platform::kInvalidHandle || !os.ExistsIn(destination, name)) break;
    }
    folder.subfolderHandle = std::move(subfolder);
    folder.current = {AddTrailingBackslash(folder.destination) + name, folder.subfolderHandle.Get()};
    folder.fileCount = CountFolderEntries(folder.current);
    session.NotifyText(EV_LOG, kTextFolderLimitReached, static_cast<unsigned long>(options.maxPerFolder));
    session.NotifyText(EV_LOG, kTextNewSubfolder, name.c_str(), folder.destination.c_str());
    session.NotifyString(EV_LOG, "-");
}

// Places the message under the name its subject gives, in the current
// folder, never replacing a file: when another program takes the name
// first, the message is named again. Returns the path, or an empty text
// when the message could not be placed.
std::string PlaceMessage(const OutputFolder& folder, const std::string& subject, uint32_t number,
                         const std::vector<uint8_t>* content, const std::string& tempPath) {
    platform::Os& os = platform::CurrentOs();
    if (folder.current.handle == platform::kInvalidHandle) return {};
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        const std::string path = BuildOutputPath(folder.current, subject, number);
        const std::string name = GetPathFileName(path);
        long error = 0;
        const platform::Os::Placement placed =
            content ? os.PlaceNewFile(folder.current.handle, name, content->data(), content->size(), &error)
                    : os.PlaceFileCopy(folder.current.handle, name, tempPath, &error);
        if (placed == platform::Os::Placement::Placed) return path;
        if (placed == platform::Os::Placement::Failed) return {};
    }
    return {};
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
    uint32_t size = 0;
    try {
        linker.WriteChain(source, headOffset, headPosition, temp, trace);
        size = static_cast<uint32_t>(temp.GetLength());
        temp.Close();
    } catch (const CFileException&) {
        // The temporary file could not take the message (a full or failing
        // disk): this copy is lost, the next one may fit.
        temp.Abort();
        session.NotifyText(EV_ERROR, kTextCannotCreateTemp);
        return;
    }

    RollOverIfFull(session, folder);
    // What was written is at hand unless the message was too long to keep.
    const std::vector<uint8_t>* content = temp.Content();
    const std::string subject =
        content ? ReadMessageSubject(*content, number) : ReadMessageSubject(tempPath, number);

    session.NotifyText(EV_LOG, kTextStartMessage, number);
    session.NotifyString(EV_LOG, "Collect detailed information ...");
    session.NotifyString(EV_LOG, "Message subject: " + subject);
    session.NotifyText(EV_LOG, kTextMessageSize, static_cast<unsigned long>(size));
    session.NotifyText(EV_LOG, kTextFinishMessage, number);
    session.NotifyString(EV_LOG, "-");

    const std::string outputPath = PlaceMessage(folder, subject, number, content, tempPath);
    if (outputPath.empty()) session.NotifyText(EV_ERROR, kTextCannotCreateMessage);
    session.NotifyFormat(EV_REPORT_CELL, "%lu", static_cast<unsigned long>(number));
    session.NotifyString(EV_REPORT_CELL, subject);

    guard.Release();
    long error = 0;
    platform::CurrentOs().DeleteFile(tempPath, &error);
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
    OutputFolder folder;
    folder.destination = destination;
    folder.destinationHandle = OpenOutputFolder(destination);
    folder.current = {destination, folder.destinationHandle.Get()};
    folder.fileCount = CountFolderEntries(folder.current);
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
