// A build without image libraries: no file is read as an image.
#include "platform/disk_image.h"

namespace varrow::platform {

std::unique_ptr<DiskImage> OpenLibraryImage(const std::string&) { return nullptr; }

bool ImageLibrariesBuiltIn() { return false; }

}  // namespace varrow::platform
