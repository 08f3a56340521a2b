// Runs a command line through the system's shell, as a user types it.
#pragma once

#include <string>

namespace varrow::testing {

struct ProgramRun {
    int status;          // the exit status; -1 when the program did not end by itself
    std::string output;  // standard output and standard error together, lines ending in '\n'
};

ProgramRun RunCommand(const std::string& command);

// A folder that exists but in which no file can be made, not even by root
// (/proc/self; under Wine reached through its Z: drive).
extern const char* const kUnwritableFolder;

}  // namespace varrow::testing
