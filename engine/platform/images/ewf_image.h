// EWF images (EnCase E01, SMART S01) read with libewf.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/disk_image.h"

namespace varrow::platform {

// Opens the segment files of one EWF image, in order; null when libewf
// cannot open them.
std::unique_ptr<DiskImage> OpenEwfImage(const std::vector<std::string>& segmentFiles);

}  // namespace varrow::platform
