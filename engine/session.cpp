#include "session.h"

#include <memory>

#include "assembly/assembly.h"
#include "base/messages.h"
#include "base/paths.h"
#include "link/classic/classic_linking.h"
#include "link/store_aware/store_aware_linking.h"
#include "platform/os.h"
#include "source/file64.h"
#include "source/source_report.h"

namespace varrow {

RecoverySession::RecoverySession(EngineCallback callback, void* userData)
    : callback_(callback), userData_(userData) {}

RecoverySession::~RecoverySession() = default;

std::unique_ptr<MessageLinker> RecoverySession::MakeLinker() {
    if (Options().storeAware) return std::make_unique<StoreAwareLinker>();
    return std::make_unique<ClassicLinker>(linkedBlocks, chainHeads);
}

int32_t RecoverySession::Send(int32_t code, const void* data) {
    if (!callback_) return 0;
    return callback_(code, const_cast<void*>(data), userData_);
}

int32_t RecoverySession::Run(const char* sourcePath, int32_t /*reserved*/, uint32_t options,
                             const char* destFolder) {
    SetOptions(UnpackOptions(options));
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
        file.ReadImageFormats(Options().imageFormats);
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
            if (Options().imageFormats) {
                for (const std::string& line : DescribeSource(file)) NotifyString(EV_LOG, line);
            }
            const std::unique_ptr<MessageLinker> linker = MakeLinker();
            result = RunPasses(*this, totals, *linker, file, absoluteDestination);
            file.Close();
        }
    } catch (...) {
        ReportCurrentException(*this);
    }
    if (Options().records) SendTotals(*this, totals, Stopped());
    NotifyProgress(100);
    return result;
}

std::string GetFullPath(const std::string& path) {
    platform::Os& os = platform::CurrentOs();
    std::string absolute = os.FullPath(path);
    if (absolute.size() > os.MaxPathLength()) return {};
    return absolute;
}

}  // namespace varrow
