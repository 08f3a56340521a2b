// Both copies of the environment change: the system's, which the Windows
// API reads, and the C library's, which getenv reads.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "environment.h"

namespace varrow::testing {

const char* const kTempFolderVariable = "TMP";

std::optional<std::string> GetEnvironment(const std::string& name) {
    const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::vector<char> value(needed);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), needed);
    return std::string(value.data(), length);
}

void SetEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    _putenv_s(name.c_str(), value.c_str());
}

void UnsetEnvironment(const std::string& name) {
    SetEnvironmentVariableA(name.c_str(), nullptr);
    _putenv_s(name.c_str(), "");
}

}  // namespace varrow::testing
