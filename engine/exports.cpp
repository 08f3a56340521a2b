// The library's three exports.
#include <cstring>

#include "session.h"
#include "source/devsize.h"
#include "varrow.h"

extern "C" {

VARROW_API int32_t VARROW_CALL RecoverMessages(const RecoveryParams* masked) {
    if (masked == nullptr) return 0;
    RecoveryParams params;
    const auto* from = reinterpret_cast<const unsigned char*>(masked);
    auto* to = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) to[i] = from[i] ^ VARROW_PARAMS_MASK;
    try {
        varrow::RecoverySession session(params.callback, params.userData);
        return session.Run(params.sourcePath, params.reserved, params.options, params.destFolder);
    } catch (...) {
        return 0;  // nothing may cross the C boundary as an exception
    }
}

VARROW_API int32_t VARROW_CALL GetDeviceLength(intptr_t handle, uint64_t* length) {
    return varrow::QueryDeviceLength(handle, length);
}

VARROW_API int32_t VARROW_CALL GetVolumeSize(const char* root, uint64_t* size) {
    return varrow::QueryVolumeSize(root, size);
}

}  // extern "C"
