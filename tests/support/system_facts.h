// What differs between the systems the tests run on: the error codes that
// the test layers report and the tests expect, by meaning (errno values on
// POSIX, GetLastError codes on Windows), and the rules of file names.
#pragma once

namespace varrow::testing {

extern const long kErrorNotFound;      // no such file (cause fileNotFound)
extern const long kErrorBadHandle;     // not an open handle (cause fileNotFound)
extern const long kErrorInvalid;       // an invalid argument (cause generic)
extern const long kErrorIo;            // the medium failed (cause hardIO)
extern const long kErrorDiskFull;      // no space left (cause diskFull)
extern const long kErrorTooManyFiles;  // no handle left (cause tooManyOpenFiles)

// Whether names follow Windows' rules: in the ANSI code page, with no
// control characters and no device names (CON, NUL, COM1...), which the
// engine then replaces by the message's number.
extern const bool kWindowsNames;

}  // namespace varrow::testing
