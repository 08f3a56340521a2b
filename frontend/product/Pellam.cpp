#include "Pellam.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include <QFile>

#include "Setting.h"
#include "DriveList.h"
#include "TolvanDispatch.h"
#include "TolvanUtils.h"

namespace tolvan {

namespace {

// An exception must not unwind through the engine's frames, so
// EngineEventProc parks it here and CallEngine raises it again. There is
// one recovery at a time, on one thread.
std::exception_ptr pendingError;

}  // namespace

int32_t CallEngine(const char* sourcePath, int32_t reserved, uint32_t options,
                   const char* destFolder, EngineCallback callback, void* userData,
                   TRecoverEntry entry) {
    RecoveryParams params;
    std::memset(&params, 0, sizeof params);
    params.sourcePath = sourcePath;
    params.reserved = reserved;
    params.options = options;
    params.destFolder = destFolder;
    params.callback = callback;
    params.userData = userData;

    RecoveryParams masked;
    const auto* from = reinterpret_cast<const unsigned char*>(&params);
    auto* to = reinterpret_cast<unsigned char*>(&masked);
    for (size_t i = 0; i < sizeof params; ++i)
        to[i] = static_cast<unsigned char>(from[i] ^ VARROW_PARAMS_MASK);

    pendingError = nullptr;
    const int32_t result = entry(&masked);
    if (pendingError) {
        const std::exception_ptr error = pendingError;
        pendingError = nullptr;
        std::rethrow_exception(error);
    }
    return result;
}

int32_t VARROW_CALL EngineEventProc(int32_t code, void* data, void* userData) {
    // After a failure the window sees no more events; the engine is told to
    // stop at its next question.
    if (pendingError) return code == EV_QUERY_ABORT ? -1 : 0;
    TEngineClient* const window = userData ? *static_cast<TEngineClient* const*>(userData) : nullptr;
    if (window == nullptr) return 0;
    try {
        return window->OnMessage(code, data) ? -1 : 0;
    } catch (...) {
        pendingError = std::current_exception();
        return code == EV_QUERY_ABORT ? -1 : 0;
    }
}

uint32_t EngineOptions(const TEngineChoices& choices) {
    const int32_t count = std::clamp(RoundToInt(choices.maxMsgCount), TSetting::kMaxMsgCountMinimum,
                                     TSetting::kMaxMsgCountMaximum);
    uint32_t options = (static_cast<uint32_t>(count) << 16) | VARROW_OPTIONS_BEST;
    if (choices.useNewDir) options |= VARROW_OPTION_NEW_FOLDER;
    if (!choices.storeAware) options &= ~VARROW_OPTION_STORE_AWARE;
    if (!choices.readableNames) options &= ~VARROW_OPTION_READABLE_NAMES;
    if (!choices.fileDates) options &= ~VARROW_OPTION_FILE_DATES;
    if (!choices.skipIdentical) options &= ~VARROW_OPTION_SKIP_IDENTICAL;
    return options;
}

bool RunRecovery(TEngineClient& window, const TDriveList& drives, const QString& sourceText,
                 const QString& destination, uint32_t options, TRecoverEntry entry) {
    const QString devicePath = drives.DevicePathOf(sourceText);
    if (devicePath.isEmpty()) return false;
    // The strings and the window variable live in this frame until the
    // engine returns.
    const QByteArray source = QFile::encodeName(devicePath);
    const QByteArray destFolder = QFile::encodeName(destination);
    TEngineClient* windowReference = &window;
    return CallEngine(source.constData(), 0, options, destFolder.constData(), &EngineEventProc,
                      &windowReference, entry) != 0;
}

}  // namespace tolvan
