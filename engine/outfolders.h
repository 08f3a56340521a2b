// Temporary files and the rollover subfolders of the output.
#pragma once

#include <cstdint>
#include <string>

namespace varrow {

// The user's temporary folder ending with a separator; empty when the
// system cannot tell.
std::string GetTempDirectory();
// The path of a new, empty file in the temporary folder whose name begins
// with "QXT"; empty when none can be made.
std::string MakeTempFileName();
// Entries of folder, files and folders alike, without "." and ".."; 0 when
// it cannot be listed.
uint32_t CountFolderEntries(const std::string& folder);
// "Recovered_Msg" followed by the process-wide counter, which then
// advances. The counter starts at 1 and is never reset by a recovery.
std::string NextSubfolderName();
// Sets the process-wide counter (tests only).
void SetSubfolderCounter(uint32_t value);

}  // namespace varrow
