// How the drive list opens and measures a device node. The host's version
// uses open(2) and the engine's GetDeviceLength; tests substitute their own
// so that nothing touches a real disk.
#pragma once

#include <cstdint>

#include <QString>

namespace tolvan {

class TDeviceAccess {
public:
    virtual ~TDeviceAccess() = default;
    // Opens an existing device for reading; a negative handle when it
    // cannot be opened.
    virtual intptr_t Open(const QString& path) = 0;
    // The length in bytes of an open device; false when it cannot be asked.
    virtual bool Length(intptr_t handle, uint64_t& length) = 0;
    virtual void Close(intptr_t handle) = 0;
};

class THostDeviceAccess final : public TDeviceAccess {
public:
    // Read-only, non-blocking (a CD drive without a disc still opens),
    // never created, not inherited by child processes.
    intptr_t Open(const QString& path) override;
    bool Length(intptr_t handle, uint64_t& length) override;
    void Close(intptr_t handle) override;
};

// The result of opening a device, asking its length and closing it again.
struct TDeviceProbe {
    bool opened = false;
    bool measured = false;
    uint64_t length = 0;
};

TDeviceProbe ProbeDevice(TDeviceAccess& access, const QString& path);

}  // namespace tolvan
