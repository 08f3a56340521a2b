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
    "  --new-folder N   start a new subfolder Recovered_Msg<k> whenever a folder\n"
    "                   holds N entries (1..65535)\n"
    "  --log FILE       write the recovery log to FILE instead of standard output\n"
    "  --report FILE    write the list of recovered messages to FILE as CSV\n"
    "  --classic        link blocks by their store offset alone, across the whole\n"
    "                   source, instead of store by store\n"
    "  --quiet          no progress line\n"
    "  --help           show this help\n"
    "  --version        show the version\n"
    "\n"
    "Ctrl-C (or SIGTERM, SIGHUP) stops the recovery at the next opportunity and\n"
    "keeps the messages written so far; a second one exits at once, removing the\n"
    "run's temporary files. The report and the log are written as the run goes.\n"
    "The log, the report and the output folder must not lie on the source.\n"
    "\n"
    "Exit status: 0 all messages written; 3 messages written, but some could not\n"
    "be; 1 the recovery failed or found nothing; 2 wrong arguments; 130 stopped.\n";

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
        } else if (argument == "--new-folder") {
            const std::string* limit = nextValue();
            if (!limit) return Fail("--new-folder needs a number");
            if (!ParseLimit(*limit, &line.newFolderLimit)) {
                return Fail("--new-folder takes a number from 1 to 65535, not '" + *limit + "'");
            }
        } else if (argument == "--log" || argument == "--report") {
            const std::string* file = nextValue();
            if (!file || file->empty()) return Fail(argument + " needs a file name");
            (argument == "--log" ? line.logFile : line.reportFile) = *file;
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
    uint32_t options = commandLine.classic ? 0 : VARROW_OPTION_STORE_AWARE;
    if (commandLine.newFolderLimit != 0) {
        options |= VARROW_OPTION_NEW_FOLDER | (commandLine.newFolderLimit << 16);
    }
    return options;
}

}  // namespace varrow::cli
