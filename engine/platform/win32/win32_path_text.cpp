// Path text on Windows: the ANSI code page, whose double-byte characters
// (Japanese, Chinese, Korean code pages) are stepped over as wholes;
// backslash and colon between the parts.
#include <array>
#include <string_view>
#include <vector>

#include "base/path_text.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

namespace varrow::platform {

const char kPathSeparator = '\\';
const std::string_view kPathSeparators = "\\:";

size_t CharacterLength(const std::string& text, size_t at) {
    return (at + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[at]))) ? 2 : 1;
}

std::string CutCharacters(const std::string& text, size_t length) {
    if (length >= text.size()) return text;
    size_t end = 0;
    while (end < length) {
        const size_t next = end + CharacterLength(text, end);
        if (next > length) break;
        end = next;
    }
    return text.substr(0, end);
}

std::string NameFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return utf8;
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return utf8;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
    // No best fit: a look-alike could be a separator (a full-width colon
    // becoming ':'); what the code page lacks becomes '_'.
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0,
                                           "_", nullptr);
    if (length <= 0) return utf8;
    std::string name(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, name.data(), length, "_", nullptr);
    return name;
}

namespace {

// Names that Windows takes for a device, with or without an extension.
constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

}  // namespace

bool IsDeviceName(const std::string& name) {
    // The part before the first dot, without the spaces Windows drops.
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const std::string_view device : kDeviceNames) {
        if (stem == device) return true;
    }
    return false;
}

bool IsWindowsFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || IsDeviceName(name)) return false;
    constexpr std::string_view kForbidden = "\\/:*?\"<>|";
    for (size_t at = 0; at < name.size(); at += CharacterLength(name, at)) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte < 0x20 || kForbidden.find(name[at]) != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace varrow::platform
