#include "base/exceptions.h"

#include "base/file_exception.h"
#include "base/messages.h"

namespace varrow {

namespace {

bool Describe(std::string& text, size_t maxLength, std::string description) {
    if (description.size() > maxLength) description.resize(maxLength);
    text = std::move(description);
    return true;
}

const char* const kCauseTexts[] = {
    "No error occurred.",
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
};

}  // namespace

bool CException::GetErrorMessage(std::string&, size_t) const { return false; }

bool CMemoryException::GetErrorMessage(std::string& text, size_t maxLength) const {
    return Describe(text, maxLength, "Out of memory.");
}

bool CSourceGoneException::GetErrorMessage(std::string& text, size_t maxLength) const {
    return Describe(text, maxLength, why_);
}

bool CNotSupportedException::GetErrorMessage(std::string& text, size_t maxLength) const {
    return Describe(text, maxLength, "An unsupported operation was attempted.");
}

const char* CFileException::CauseText(int cause) {
    if (cause < none || cause > endOfFile) cause = generic;
    return kCauseTexts[cause];
}

bool CFileException::GetErrorMessage(std::string& text, size_t maxLength) const {
    const std::string name = m_strFileName.empty() ? "an unnamed file" : m_strFileName;
    return Describe(text, maxLength, ReplacePlaceholder(CauseText(m_cause), name));
}

void ThrowOsError(long osError, const std::string& fileName) {
    if (osError == 0) return;
    throw CFileException(FileErrorCauseOf(osError), osError, fileName);
}

}  // namespace varrow
