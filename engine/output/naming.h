// The subject of a rebuilt message and the name of its output file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/outfolders.h"

namespace varrow {

// Paths built from subjects are cut to this many bytes.
inline constexpr int32_t kMaxOutputPathLength = 245;
// Subjects are read up to this many bytes; a longer subject line is cut
// (at a character boundary) and the rest is not read.
inline constexpr size_t kMaxSubjectBytes = 4096;

// The trimmed text after the colon of the first line of the message file
// that contains "subject" (any case); text 8 filled with messageNumber when
// there is none, it is empty, or the file cannot be read. Never fails.
std::string ReadMessageSubject(const std::string& messageFile, uint32_t messageNumber);
// The same for a message whose bytes are at hand.
std::string ReadMessageSubject(const std::vector<uint8_t>& message, uint32_t messageNumber);

// A path in folder, named after subject with ".eml", that does not exist
// yet and can be created; the name from text 8 when the system refuses the
// subject's name. Never fails.
std::string BuildOutputPath(const std::string& folder, const std::string& subject,
                            uint32_t messageNumber);

// How a subject becomes a file title: as it stands, or (for subjects
// decoded for people) with its control characters made '_' as well.
enum class TitleStyle { AsItStands, Readable };

// The same for a file in an open output folder: every look-up and probe
// goes through the folder's handle, never through its path.
std::string BuildOutputPath(const FolderRef& folder, const std::string& subject, uint32_t messageNumber,
                            TitleStyle style = TitleStyle::AsItStands);
// The subject as a file title: ReplaceInvalidChars, a leading dot (which
// would hide the file) becomes '_', and with the readable style every
// control character (C0, DEL, and C1 as UTF-8) becomes '_' too.
std::string FileTitleOf(const std::string& subject, TitleStyle style = TitleStyle::AsItStands);

// Each of \ / : * ? " < > | becomes '_'.
std::string ReplaceInvalidChars(const std::string& text);
// Cuts path to maxLength bytes where possible, keeping its folder and,
// where it can, its extension; never leaves half a character.
std::string ShortenPath(const std::string& path, int32_t maxLength);
// path, or the first of path(1), path(2), ... (before the extension) under
// which nothing exists.
std::string MakeUniquePath(const std::string& path);
std::string MakeUniquePath(const FolderRef& folder, const std::string& path);
// Whether a new file can be created at path; the probe is removed again.
bool CanCreateFile(const std::string& path);
bool CanCreateFile(const FolderRef& folder, const std::string& path);

}  // namespace varrow
