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
// given, and runs a script with the record; without one it reports one
// message, as a successful engine does, and returns 1.
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
        if (script) return script(params);
        SendMessages(params, 1);
        return 1;
    }
    // The report of a run that wrote count messages, as the classic
    // events tell it: the column count, the titles, two cells a message.
    static void SendMessages(const RecoveryParams& record, int count) {
        const int32_t columns = 2;
        Send(record, EV_REPORT_COLUMNS, &columns);
        Send(record, EV_REPORT_CELL, "Message No.");
        Send(record, EV_REPORT_CELL, "Subject");
        for (int m = 1; m <= count; ++m) {
            Send(record, EV_REPORT_CELL, QByteArray::number(m).constData());
            Send(record, EV_REPORT_CELL, "Hello");
        }
    }
    static void Send(const RecoveryParams& record, int32_t code, const void* data) {
        record.callback(code, const_cast<void*>(data), record.userData);
    }
};

}  // namespace tolvan::testing
