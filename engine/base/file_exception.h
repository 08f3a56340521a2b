// File errors: the cause, the system's error code and the file's name.
//
// Open operations fill a caller's record of this type instead of raising;
// the other file operations raise it.
#pragma once

#include <string>

#include "base/exceptions.h"

namespace varrow {

class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        generic = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, long osError, std::string fileName = {})
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause's text with "%1" replaced by the file name, or by
    // "an unnamed file" when the record holds none.
    bool GetErrorMessage(std::string& text, size_t maxLength) const override;

    // The text of a cause, with its "%1" placeholder.
    static const char* CauseText(int cause);

    int m_cause = none;
    long m_lOsError = -1;
    std::string m_strFileName;
};

// Maps a system error code to a cause; defined by the platform layer.
int FileErrorCauseOf(long osError);

// Raises the CFileException for a failed system call; an error code of 0
// raises nothing.
void ThrowOsError(long osError, const std::string& fileName = {});

}  // namespace varrow
