// Character sets through MultiByteToWideChar, and file times.
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/windows_api.h"
#include "platform/win32/win32_os.h"

namespace varrow::platform {

namespace {

// MIME character set names and the Windows code pages that read them.
constexpr std::pair<std::string_view, UINT> kCodePages[] = {
    {"us-ascii", 20127},     {"ascii", 20127},       {"ansi_x3.4-1968", 20127},
    {"utf-8", CP_UTF8},      {"utf8", CP_UTF8},      {"utf-7", CP_UTF7},
    {"iso-8859-1", 28591},   {"iso_8859-1", 28591},  {"latin1", 28591},
    {"l1", 28591},           {"iso-8859-2", 28592},  {"latin2", 28592},
    {"iso-8859-3", 28593},   {"iso-8859-4", 28594},  {"iso-8859-5", 28595},
    {"iso-8859-6", 28596},   {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
    {"iso-8859-8-i", 38598}, {"iso-8859-9", 28599},  {"latin5", 28599},
    {"iso-8859-13", 28603},  {"iso-8859-15", 28605}, {"latin-9", 28605},
    {"koi8-r", 20866},       {"koi8-u", 21866},      {"tis-620", 874},
    {"shift_jis", 932},      {"shift-jis", 932},     {"x-sjis", 932},
    {"sjis", 932},           {"windows-31j", 932},   {"euc-jp", 20932},
    {"iso-2022-jp", 50220},  {"gb2312", 936},        {"gbk", 936},
    {"x-gbk", 936},          {"euc-cn", 936},        {"gb18030", 54936},
    {"big5", 950},           {"big5-hkscs", 950},    {"euc-kr", 949},
    {"ks_c_5601-1987", 949}, {"ks_c_5601", 949},     {"uhc", 949},
    {"iso-2022-kr", 50225},  {"ibm866", 866},        {"ibm437", 437},
    {"ibm850", 850},         {"ibm852", 852},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The number after prefix ("windows-1251", "cp932"), or 0.
UINT NumberAfter(const std::string& name, std::string_view prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size()) return 0;
    UINT number = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data() + prefix.size(), end, number);
    return (error == std::errc() && stop == end) ? number : 0;
}

UINT CodePageOf(const std::string& charset) {
    const std::string name = Lower(charset);
    for (const auto& [known, codePage] : kCodePages) {
        if (name == known) return codePage;
    }
    for (const std::string_view prefix : {"windows-", "cp", "x-cp", "ibm"}) {
        if (const UINT number = NumberAfter(name, prefix)) return number;
    }
    return 0;
}

// Code pages whose conversion takes no flags, so no check of the bytes.
bool TakesNoFlags(UINT codePage) {
    return (codePage >= 50220 && codePage <= 50229) || codePage == CP_UTF7 || codePage == 52936 ||
           (codePage >= 57002 && codePage <= 57011) || codePage == 42;
}

}  // namespace

bool Win32Os::ConvertToUtf8(const std::string& charset, const std::string& bytes, std::string* utf8) {
    const UINT codePage = CodePageOf(charset);
    if (codePage == 0 || !IsValidCodePage(codePage)) return false;
    if (bytes.empty()) {
        utf8->clear();
        return true;
    }
    const DWORD flags = TakesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
    const int inLength = static_cast<int>(bytes.size());
    const int wideLength = MultiByteToWideChar(codePage, flags, bytes.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(codePage, flags, bytes.data(), inLength, wide.data(), wideLength) != wideLength) {
        return false;
    }
    const int outLength = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) return false;
    std::string out(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), outLength, nullptr, nullptr);
    *utf8 = std::move(out);
    return true;
}

bool Win32Os::SetFileTimesIn(Handle folder, const std::string& name, int64_t secondsSince1970) {
    // FILETIME counts 100-nanosecond steps from 1601.
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    constexpr int64_t kLastSecond = (INT64_MAX / 10000000) - kSecondsFrom1601To1970;
    const std::string parent = FolderPath(folder);
    if (parent.empty() || !IsWindowsFileName(name) || secondsSince1970 < -kSecondsFrom1601To1970 ||
        secondsSince1970 > kLastSecond) {
        return false;
    }
    const uint64_t ticks = static_cast<uint64_t>(secondsSince1970 + kSecondsFrom1601To1970) * 10000000u;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    // Never through a link put at the name.
    const HANDLE file = CreateFileA((parent + name).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool set = SetFileTime(file, nullptr, &time, &time) != 0;
    CloseHandle(file);
    return set;
}

}  // namespace varrow::platform
