// Through cmd.exe; the pipe is read in text mode, so the program's CR LF
// line ends arrive as '\n'.
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "program_run.h"

namespace varrow::testing {

namespace {

// Under Wine, starting cmd.exe now and then fails outright while other test
// programs keep the wine server busy; that says nothing about the program
// under test, so the start is tried again a few times before giving up.
std::FILE* StartCommand(const std::string& command, std::string& why) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(250 * attempt));
        if (std::FILE* pipe = _popen(command.c_str(), "rt")) return pipe;
        why = std::strerror(errno);
    }
    return nullptr;
}

}  // namespace

ProgramRun RunCommand(const std::string& command) {
    ProgramRun run{-1, {}};
    std::string why;
    std::FILE* pipe = StartCommand(command + " 2>&1", why);
    if (!pipe) {
        run.output = "the command could not be started: " + why + "\n";
        return run;
    }
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), n);
    run.status = _pclose(pipe);
    return run;
}

const char* const kUnwritableFolder = "Z:\\proc\\self";

}  // namespace varrow::testing
