#include <cerrno>

#include "system_facts.h"

namespace varrow::testing {

const long kErrorNotFound = ENOENT;
const long kErrorBadHandle = EBADF;
const long kErrorInvalid = EINVAL;
const long kErrorIo = EIO;
const long kErrorDiskFull = ENOSPC;
const long kErrorTooManyFiles = EMFILE;

const bool kWindowsNames = false;

}  // namespace varrow::testing
