// What the window tests share: a device access that opens no disk, and a
// stand-in for the engine that records its calls and runs a script.
#pragma once

#include <functional>

#include <QByteArrayList>

#include "DeviceAccess.h"
#include "varrow.h"

namespace tolvan::testing {

// Nothing in the tests opens a real disk.
struct NoDisks final : TDeviceAccess {
    intptr_t Open(const QString&) override { return -1; }
    bool Length(intptr_t, uint64_t&) override { return false; }
    void Close(intptr_t) override {}
};

// Counts its calls, keeps the unmasked record and the sources it was
// given, and runs a script with the record (1, success, without one).
struct FakeEngine {
    static inline int calls = 0;
    static inline RecoveryParams params{};
    static inline QByteArrayList sources;
    static inline std::function<int32_t(const RecoveryParams&)> script;

    static void Reset() {
        calls = 0;
        sources.clear();
        script = nullptr;
    }
    static int32_t VARROW_CALL Entry(const RecoveryParams* masked) {
        ++calls;
        auto* to = reinterpret_cast<unsigned char*>(&params);
        const auto* from = reinterpret_cast<const unsigned char*>(masked);
        for (size_t i = 0; i < sizeof params; ++i) to[i] = from[i] ^ VARROW_PARAMS_MASK;
        sources.append(QByteArray(params.sourcePath));
        return script ? script(params) : 1;
    }
    static void Send(const RecoveryParams& record, int32_t code, const void* data) {
        record.callback(code, const_cast<void*>(data), record.userData);
    }
};

}  // namespace tolvan::testing
