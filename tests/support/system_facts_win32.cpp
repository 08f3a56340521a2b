#include <windows.h>

#include "system_facts.h"

namespace varrow::testing {

const long kErrorNotFound = ERROR_FILE_NOT_FOUND;
const long kErrorBadHandle = ERROR_INVALID_HANDLE;
const long kErrorInvalid = ERROR_INVALID_PARAMETER;
const long kErrorIo = ERROR_CRC;
const long kErrorDiskFull = ERROR_DISK_FULL;
const long kErrorTooManyFiles = ERROR_TOO_MANY_OPEN_FILES;

const bool kWindowsNames = true;

}  // namespace varrow::testing
