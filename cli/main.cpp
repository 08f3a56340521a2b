// varrow: recovers Outlook Express messages from a disk image or a disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>

#include "csv.h"
#include "options.h"
#include "recovery_run.h"
#include "varrow.h"

namespace {

using varrow::cli::CommandLine;

void OnInterrupt(int) {
    // The first Ctrl-C stops at the next stop question; the second ends the
    // program at once.
    varrow::cli::RequestStop();
    std::signal(SIGINT, SIG_DFL);
}

uint64_t SourceSize(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return 0;
    if (S_ISREG(status.st_mode)) return static_cast<uint64_t>(status.st_size);
    if (!S_ISBLK(status.st_mode)) return 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    uint64_t length = 0;
    if (!GetDeviceLength(fd, &length)) length = 0;
    close(fd);
    return length;
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

int Fail(const std::string& message, int status) {
    std::cerr << "varrow: " << message << '\n';
    return status;
}

int Recover(const CommandLine& line) {
    if (!IsFolder(line.outputFolder)) {
        return Fail("the output folder '" + line.outputFolder +
                        "' does not exist or is not a folder; create it first", 2);
    }
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

    std::signal(SIGINT, OnInterrupt);
    std::FILE* terminal = (!line.quiet && isatty(STDERR_FILENO)) ? stderr : nullptr;
    std::ostream& log = line.logFile.empty() ? std::cout : logFile;
    varrow::cli::RecoveryRun run(line, log, terminal, SourceSize(line.source));
    const int32_t result = run.Execute();

    if (reportFile.is_open()) {
        for (const auto& row : run.ReportRows()) reportFile << varrow::cli::CsvRecord(row);
        reportFile.flush();
        if (!reportFile) return Fail("writing the report file '" + line.reportFile + "' failed", 1);
    }
    if (logFile.is_open() && !logFile.flush()) {
        return Fail("writing the log file '" + line.logFile + "' failed", 1);
    }

    const uint64_t messages = run.messageCount();
    if (!line.quiet) {
        std::cerr << "varrow: " << messages << " message(s) written to " << line.outputFolder;
        if (run.errorCount()) std::cerr << "; " << run.errorCount() << " error(s), see the log";
        if (run.stopped()) std::cerr << "; stopped before the end";
        std::cerr << '\n';
    }
    if (result == 0) return 1;
    return run.errorCount() ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const varrow::cli::ParseResult parsed = varrow::cli::ParseCommandLine(arguments);
    if (!parsed.commandLine) {
        std::cerr << "varrow: " << parsed.error << "\nTry 'varrow --help'.\n";
        return 2;
    }
    switch (parsed.commandLine->action) {
        case CommandLine::Action::Help:
            std::cout << varrow::cli::kUsage;
            return 0;
        case CommandLine::Action::Version:
            std::cout << "varrow (Ostrel) " OSTREL_VERSION "\n";
            return 0;
        case CommandLine::Action::Recover:
            break;
    }
    return Recover(*parsed.commandLine);
}
