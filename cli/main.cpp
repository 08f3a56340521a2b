// varrow: recovers Outlook Express messages from a disk image or a disk.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "csv.h"
#include "dfxml_report.h"
#include "file_digests.h"
#include "message_rows.h"
#include "options.h"
#include "recovery_run.h"
#include "run_summary.h"
#include "signals.h"
#include "system.h"
#include "varrow.h"

namespace {

using varrow::cli::CommandLine;
using varrow::cli::SourceKind;

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

int Fail(const std::string& message, int status) {
    std::cerr << "varrow: " << message << '\n';
    return status;
}

// The files a run writes besides the messages, with what the user calls them.
std::vector<std::pair<std::string, std::string>> OutputFilesOf(const CommandLine& line) {
    std::vector<std::pair<std::string, std::string>> files;
    if (!line.logFile.empty()) files.emplace_back("log file", line.logFile);
    if (!line.reportFile.empty()) files.emplace_back("report file", line.reportFile);
    if (!line.dfxmlFile.empty()) files.emplace_back("DFXML report", line.dfxmlFile);
    return files;
}

// Refuses what cannot be run before anything is opened for writing: never
// write to the evidence.
int CheckBeforeWriting(const CommandLine& line, const varrow::cli::SourceFacts& source) {
    if (source.kind == SourceKind::CharacterDevice) {
        return Fail("the source '" + line.source +
                        "' is a character device, which cannot be read by position; give a disk image "
                        "file or a block device (such as /dev/sdb)",
                    2);
    }
    if (!IsFolder(line.outputFolder)) {
        return Fail("the output folder '" + line.outputFolder +
                        "' does not exist or is not a folder; create it first", 2);
    }
    for (const auto& [what, path] : OutputFilesOf(line)) {
        if (varrow::cli::WritesOnSource(path, line.source)) {
            return Fail("the " + what + " '" + path + "' would be written on the source '" + line.source +
                            "'; choose a file elsewhere",
                        2);
        }
    }
    if (source.kind == SourceKind::BlockDevice && varrow::cli::WritesOnSource(line.outputFolder, line.source)) {
        std::cerr << "varrow: warning: the output folder '" << line.outputFolder
                  << "' lies on the device being scanned; the recovered files may overwrite mail that "
                     "is still to be found. A folder on another disk is safer.\n";
    }
    return 0;
}

int Recover(const CommandLine& line) {
    const varrow::cli::SourceFacts source = varrow::cli::ExamineSource(line.source);
    if (const int refused = CheckBeforeWriting(line, source)) return refused;

    std::ofstream logFile;
    if (!line.logFile.empty()) {
        logFile.open(line.logFile, std::ios::binary | std::ios::trunc);
        if (!logFile) return Fail("cannot write the log file '" + line.logFile + "': " + std::strerror(errno), 2);
    }
    std::ofstream reportFile;
    if (!line.reportFile.empty()) {
        reportFile.open(line.reportFile, std::ios::binary | std::ios::trunc);
        if (!reportFile) {
            return Fail("cannot write the report file '" + line.reportFile + "': " + std::strerror(errno), 2);
        }
    }
    varrow::cli::CsvWriter report(reportFile);
    varrow::cli::DfxmlReport dfxml;
    if (!line.dfxmlFile.empty() &&
        !dfxml.Open(line.dfxmlFile, {line.source, source.size, line.invocation, OSTREL_VERSION})) {
        return Fail("cannot write the DFXML report '" + line.dfxmlFile + "'", 2);
    }
    const bool records = (varrow::cli::EngineOptionsOf(line) & VARROW_OPTION_RECORDS) != 0;
    // The engine names files by the absolute form of the folder, made from
    // the current directory as this one is; the reports name them relative
    // to it.
    const std::string outputRoot = std::filesystem::absolute(line.outputFolder).lexically_normal().string();
    if (records && !line.reportFile.empty()) report.Row(varrow::cli::MessageColumns(line.hashes));

    // The engine's temporary files go to a folder of this run's own, so that
    // a run ended by a second signal can remove them, and only them.
    varrow::cli::PrivateTempFolder temporary;
    temporary.Use();
    varrow::cli::SignalWatcher signals([&temporary, &line] {
        temporary.Dispose();
        varrow::cli::RemoveOwnStagingFiles(line.outputFolder);
    });

    varrow::cli::RunOutputs outputs;
    outputs.log = line.logFile.empty() ? &std::cout : &logFile;
    outputs.logIsTerminal = line.logFile.empty() && varrow::cli::IsTerminal(stdout);
    outputs.cellReport = !records && !line.reportFile.empty() ? &report : nullptr;
    outputs.progress = (!line.quiet && varrow::cli::IsTerminal(stderr)) ? stderr : nullptr;
    outputs.onRecord = [&](const VarrowMessageRecord& record) {
        const bool written = record.outcome == VARROW_COPY_WRITTEN;
        std::optional<varrow::cli::FileDigests> digests;
        if (line.hashes && written) digests = varrow::cli::DigestFile(record.path);
        if (!line.reportFile.empty()) report.Row(varrow::cli::MessageRow(record, outputRoot, digests, line.hashes));
        if (written && !line.dfxmlFile.empty()) dfxml.AddFile(record, outputRoot, digests);
    };
    varrow::cli::RecoveryRun run(line, outputs, source.size);
    const int32_t result = run.Execute();

    if (reportFile.is_open() && !report.Good()) {
        return Fail("writing the report file '" + line.reportFile + "' failed", 1);
    }
    if (!line.dfxmlFile.empty() && !dfxml.Close()) {
        return Fail("writing the DFXML report '" + line.dfxmlFile + "' failed", 1);
    }
    if (logFile.is_open() && !logFile.flush()) {
        return Fail("writing the log file '" + line.logFile + "' failed", 1);
    }

    if (const auto& totals = run.totals()) {
        if (!line.quiet) std::cerr << "varrow: " << varrow::cli::SummaryLine(*totals) << '\n';
        return varrow::cli::ExitStatusOf(*totals);
    }
    // Without records the report cells and the errors tell what happened.
    const uint64_t messages = run.messageCount();
    if (!line.quiet) {
        std::cerr << "varrow: " << messages << " message(s) found in " << line.outputFolder;
        if (run.errorCount()) std::cerr << "; " << run.errorCount() << " error(s), see the log";
        if (run.stopped()) std::cerr << "; stopped before the end";
        std::cerr << '\n';
    }
    if (run.stopped()) return varrow::cli::kStoppedStatus;
    if (result == 0) return 1;
    return run.errorCount() ? 3 : 0;
}

// The command line as it was given, each argument quoted where it needs it.
std::string Invocation(int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i > 0) text += ' ';
        if (!argument.empty() && argument.find_first_of(" \t'\"\\$") == std::string::npos) {
            text += argument;
            continue;
        }
        text += '\'';
        for (const char c : argument) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        text += '\'';
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const varrow::cli::ParseResult parsed = varrow::cli::ParseCommandLine(arguments);
    if (!parsed.commandLine) {
        std::cerr << "varrow: " << parsed.error << "\nTry 'varrow --help'.\n";
        return 2;
    }
    CommandLine line = *parsed.commandLine;
    line.invocation = Invocation(argc, argv);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::cout << varrow::cli::kUsage;
            return 0;
        case CommandLine::Action::Version:
            std::cout << "varrow (Ostrel) " OSTREL_VERSION "\n";
            return 0;
        case CommandLine::Action::Recover:
            break;
    }
    return Recover(line);
}
