#include "output/output_folder.h"

#include "base/messages.h"
#include "base/paths.h"
#include "base/run_events.h"
#include "output/naming.h"
#include "platform/os.h"

namespace varrow {

namespace {

// Names tried for a rollover subfolder before output goes on without one.
constexpr int kSubfolderAttempts = 1000;
// Times a message is named again when another program takes its name
// between the look-up and the placement.
constexpr int kPlacementAttempts = 64;

}  // namespace

OutputFolder::OutputFolder(const std::string& destination)
    : destination_(destination), destinationHandle_(OpenOutputFolder(destination)) {
    current_ = {destination_, destinationHandle_.Get()};
    fileCount_ = CountFolderEntries(current_);
}

void OutputFolder::RollOverIfFull(RunEvents& events) {
    const RecoveryOptions& options = events.Options();
    if (!options.useNewFolder || fileCount_ < options.maxPerFolder) return;
    platform::Os& os = platform::CurrentOs();
    const platform::Handle destination = destinationHandle_.Get();
    std::string name;
    FolderHandle subfolder;
    // A name that is taken by a link (which would lead messages out of the
    // output folder) or by something other than a folder is passed over.
    for (int attempt = 0; attempt < kSubfolderAttempts; ++attempt) {
        name = NextSubfolderName();
        subfolder = OpenRolloverFolder(destination, name);
        if (subfolder.Get() != platform::kInvalidHandle || !os.ExistsIn(destination, name)) break;
    }
    subfolderHandle_ = std::move(subfolder);
    current_ = {AddTrailingBackslash(destination_) + name, subfolderHandle_.Get()};
    fileCount_ = CountFolderEntries(current_);
    events.NotifyText(EV_LOG, kTextFolderLimitReached,
                       static_cast<unsigned long>(options.maxPerFolder));
    events.NotifyText(EV_LOG, kTextNewSubfolder, name.c_str(), destination_.c_str());
    events.NotifyString(EV_LOG, "-");
}

std::string OutputFolder::Place(const std::string& subject, uint32_t number, TitleStyle style,
                                const std::vector<uint8_t>* content,
                                const std::string& tempPath) const {
    platform::Os& os = platform::CurrentOs();
    if (current_.handle == platform::kInvalidHandle) return {};
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        const std::string path = BuildOutputPath(current_, subject, number, style);
        const std::string name = GetPathFileName(path);
        long error = 0;
        const platform::Os::Placement placed =
            content
                ? os.PlaceNewFile(current_.handle, name, content->data(), content->size(), &error)
                : os.PlaceFileCopy(current_.handle, name, tempPath, &error);
        if (placed == platform::Os::Placement::Placed) return path;
        if (placed == platform::Os::Placement::Failed) return {};
    }
    return {};
}

}  // namespace varrow
