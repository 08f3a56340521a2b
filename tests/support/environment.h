// The test process's environment as the engine's Os reads it. One
// implementation per platform.
#pragma once

#include <optional>
#include <string>

namespace varrow::testing {

// The variable that names the user's temporary folder for the engine:
// TMPDIR on POSIX, TMP on Windows (GetTempPathA looks at it first).
extern const char* const kTempFolderVariable;

std::optional<std::string> GetEnvironment(const std::string& name);
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

}  // namespace varrow::testing
