// Message text shown where it could do harm: on a terminal, where control
// sequences act, and in a spreadsheet, where a cell can be a formula.
#pragma once

#include <string>

namespace varrow::cli {

// The text with every control character (C0 but TAB, DEL, and the C1
// controls as UTF-8) written as "\x1b"; a backslash itself stays as it is.
std::string EscapeControls(const std::string& text);

// A cell that a spreadsheet would read as a formula (it starts with '=',
// '+', '-', '@', TAB or CR) gets a leading apostrophe.
std::string SpreadsheetSafe(const std::string& cell);

}  // namespace varrow::cli
