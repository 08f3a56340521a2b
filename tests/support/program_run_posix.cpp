#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "program_run.h"

namespace varrow::testing {

ProgramRun RunCommand(const std::string& command) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    ProgramRun run{-1, {}};
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const char* const kUnwritableFolder = "/proc/self";

}  // namespace varrow::testing
