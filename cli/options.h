// The command line of the varrow program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varrow::cli {

struct CommandLine {
    enum class Action { Recover, Help, Version };
    Action action = Action::Recover;
    std::string source;
    std::string outputFolder;
    uint32_t newFolderLimit = 0;  // 0: no rollover subfolders
    std::string logFile;          // empty: the log goes to standard output
    std::string reportFile;       // empty: no report file
    std::string dfxmlFile;        // empty: no DFXML report
    bool quiet = false;
    bool classic = false;         // the engine as it always was: every option of ours off
    bool hashes = false;          // MD5 and SHA-256 of every written file in the reports
    bool keepDuplicates = false;  // write identical copies again
    bool rawNames = false;        // name files after the subject line as it stands
    bool noDates = false;         // leave the files' times at the time of writing
    std::string invocation;       // the command line as given, for the DFXML report
};

struct ParseResult {
    std::optional<CommandLine> commandLine;
    std::string error;  // set when commandLine is empty
};

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

// The options word that the engine receives for a command line.
uint32_t EngineOptionsOf(const CommandLine& commandLine);

extern const char* const kUsage;

}  // namespace varrow::cli
