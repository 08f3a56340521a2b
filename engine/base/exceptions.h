// The engine's exception family.
//
// Failures inside a recovery travel as exceptions derived from CException.
// They are caught where a run or its passes are guarded and turned into
// EV_ERROR texts; a CException can describe itself for those texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace varrow {

class CException {
public:
    virtual ~CException() = default;
    // Puts a description of at most maxLength bytes into text and returns
    // true, or returns false when the exception has none.
    virtual bool GetErrorMessage(std::string& text, size_t maxLength) const;
};

class CMemoryException : public CException {
public:
    bool GetErrorMessage(std::string& text, size_t maxLength) const override;
};

class CNotSupportedException : public CException {
public:
    bool GetErrorMessage(std::string& text, size_t maxLength) const override;
};

// The engine's own error: carries a code and no description.
class CPellamException : public CException {
public:
    explicit CPellamException(int32_t code) : m_nCode(code) {}
    int32_t m_nCode;
};

// The source stopped answering in the middle of a run: a disk that was
// unplugged, an image that shrank while it was read.
class CSourceGoneException : public CException {
public:
    explicit CSourceGoneException(std::string why) : why_(std::move(why)) {}
    bool GetErrorMessage(std::string& text, size_t maxLength) const override;

private:
    std::string why_;
};

}  // namespace varrow
