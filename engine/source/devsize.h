// The size queries behind GetDeviceLength and GetVolumeSize.
#pragma once

#include <cstdint>

#include "platform/os.h"

namespace varrow {

// The length of the disk open under handle: the length it reports, else the
// product of its whole cylinders. 1 when *length was written, else 0.
int32_t QueryDeviceLength(platform::Handle handle, uint64_t* length);

// The capacity of the file system at root as it reports it to the caller
// (its total, not its free space). 1 when *size was written, else 0.
int32_t QueryVolumeSize(const char* root, uint64_t* size);

}  // namespace varrow
