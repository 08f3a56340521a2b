#include <windows.h>

#include "held_file.h"

namespace varrow::testing {

HeldFile::HeldFile(const std::string& path, Hold hold) {
    const DWORD share = hold == Hold::Exclusively ? 0 : FILE_SHARE_READ;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(file);
}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = kNone;
}

}  // namespace varrow::testing
