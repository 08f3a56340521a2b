#include "options.h"

#include <charconv>

#include "varrow.h"

namespace varrow::cli {

const char* const kUsage =
    "Usage: varrow recover [OPTIONS] SOURCE OUTPUT-FOLDER\n"
    "\n"
    "Scans SOURCE (a disk image file or a block device such as /dev/sdb) for the\n"
    "message blocks of Outlook Express stores and writes every message it can\n"
    "rebuild into OUTPUT-FOLDER (which must exist) as an .eml file named after\n"
    "its subject.\n"
    "\n"
    "Options:\n"
    "  --new-folder N     start a new subfolder Recovered_Msg<k> whenever a folder\n"
    "                     holds N entries (1..65535)\n"
    "  --log FILE         write the recovery log to FILE instead of standard output\n"
    "  --report FILE      write a CSV row for every copy of every message found:\n"
    "                     its file, size, blocks, where it lay, whether it is\n"
    "                     complete, what it duplicates, its date and sender\n"
    "  --dfxml FILE       write a DFXML report: every written file with the\n"
    "                     places on the source its bytes came from\n"
    "  --hashes           add the MD5 and SHA-256 of every written file to the\n"
    "                     reports\n"
    "  --keep-duplicates  write a copy again even when an identical one was written\n"
    "  --raw-names        name files after the subject line as it stands, without\n"
    "                     decoding it\n"
    "  --no-dates         leave each file's time at the moment it was written\n"
    "                     instead of the date the message was sent\n"
    "  --classic          behave exactly as the original engine: link blocks by\n"
    "                     their store offset alone, and none of the options above\n"
    "                     that change what is written\n"
    "  --quiet            no progress line and no closing summary\n"
    "  --help             show this help\n"
    "  --version          show the version\n"
    "\n"
    "Ctrl-C (or SIGTERM, SIGHUP) stops the recovery at the next opportunity and\n"
    "keeps the messages written so far; a second one exits at once, removing the\n"
    "run's temporary files. The report and the log are written as the run goes.\n"
    "The log, the report and the output folder must not lie on the source.\n"
    "\n"
    "Exit status: 0 every message found was written; 3 messages were written, but\n"
    "some could not be; 1 nothing was written, or the source stopped answering;\n"
    "2 wrong arguments; 130 stopped.\n";

namespace {

bool ParseLimit(const std::string& text, uint32_t* limit) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
        return false;
    }
    *limit = value;
    return true;
}

ParseResult Fail(std::string error) { return ParseResult{std::nullopt, std::move(error)}; }

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    if (arguments.empty()) return Fail("no command given");
    if (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "help") {
        line.action = CommandLine::Action::Help;
        return ParseResult{line, {}};
    }
    if (arguments[0] == "--version") {
        line.action = CommandLine::Action::Version;
        return ParseResult{line, {}};
    }
    if (arguments[0] != "recover") return Fail("unknown command '" + arguments[0] + "'");

    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto nextValue = [&]() -> const std::string* {
            return i + 1 < arguments.size() ? &arguments[++i] : nullptr;
        };
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            return ParseResult{line, {}};
        } else if (argument == "--quiet" || argument == "-q") {
            line.quiet = true;
        } else if (argument == "--classic") {
            line.classic = true;
        } else if (argument == "--hashes") {
            line.hashes = true;
        } else if (argument == "--keep-duplicates") {
            line.keepDuplicates = true;
        } else if (argument == "--raw-names") {
            line.rawNames = true;
        } else if (argument == "--no-dates") {
            line.noDates = true;
        } else if (argument == "--new-folder") {
            const std::string* limit = nextValue();
            if (!limit) return Fail("--new-folder needs a number");
            if (!ParseLimit(*limit, &line.newFolderLimit)) {
                return Fail("--new-folder takes a number from 1 to 65535, not '" + *limit + "'");
            }
        } else if (argument == "--log" || argument == "--report" || argument == "--dfxml") {
            const std::string* file = nextValue();
            if (!file || file->empty()) return Fail(argument + " needs a file name");
            (argument == "--log" ? line.logFile : argument == "--report" ? line.reportFile : line.dfxmlFile) = *file;
        } else {
            return Fail("unknown option '" + argument + "'");
        }
    }
    if (positional.size() != 2) return Fail("recover needs a SOURCE and an OUTPUT-FOLDER");
    line.source = positional[0];
    line.outputFolder = positional[1];
    return ParseResult{line, {}};
}

uint32_t EngineOptionsOf(const CommandLine& commandLine) {
    uint32_t options = 0;
    if (!commandLine.classic) {
        options = VARROW_OPTIONS_BEST;
        if (commandLine.keepDuplicates) options &= ~VARROW_OPTION_SKIP_IDENTICAL;
        if (commandLine.rawNames) options &= ~VARROW_OPTION_READABLE_NAMES;
        if (commandLine.noDates) options &= ~VARROW_OPTION_FILE_DATES;
    }
    if (commandLine.newFolderLimit != 0) {
        options |= VARROW_OPTION_NEW_FOLDER | (commandLine.newFolderLimit << 16);
    }
    return options;
}

}  // namespace varrow::cli
