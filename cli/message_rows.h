// The report's rows: one per handled copy of a message, from the engine's
// records, with what an examiner needs to match a row to its file and to
// the source.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "file_digests.h"
#include "varrow.h"

namespace varrow::cli {

// The column titles; the first two are the engine's own.
std::vector<std::string> MessageColumns(bool hashes);

// The row of one record. outputFolder makes the file name relative to it.
std::vector<std::string> MessageRow(const VarrowMessageRecord& record,
                                    const std::string& outputFolder,
                                    const std::optional<FileDigests>& digests, bool hashes);

// "beginning missing; unreadable bytes" for the VARROW_INCOMPLETE_* bits.
std::string IncompleteText(uint32_t reasons);
// Seconds since 1970 as "2004-03-05T14:22:10Z".
std::string UtcText(int64_t seconds);
// The path relative to folder when it lies inside it, else as it is.
std::string RelativeTo(const std::string& path, const std::string& folder);

}  // namespace varrow::cli
