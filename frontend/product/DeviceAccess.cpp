#include "DeviceAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>

#include "varrow.h"

namespace tolvan {

intptr_t THostDeviceAccess::Open(const QString& path) {
    int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == 0) {
        // The engine takes 0 for "no handle"; move the descriptor off it.
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        ::close(fd);
        fd = moved;
    }
    return fd;
}

bool THostDeviceAccess::Length(intptr_t handle, uint64_t& length) {
    return GetDeviceLength(handle, &length) != 0;
}

void THostDeviceAccess::Close(intptr_t handle) { ::close(static_cast<int>(handle)); }

TDeviceProbe ProbeDevice(TDeviceAccess& access, const QString& path) {
    TDeviceProbe probe;
    const intptr_t handle = access.Open(path);
    if (handle < 0) return probe;
    probe.opened = true;
    probe.measured = access.Length(handle, probe.length);
    if (!probe.measured) probe.length = 0;
    access.Close(handle);
    return probe;
}

}  // namespace tolvan
